// Test helper: the two document exports called directly, the reference the tool's --raw and
// --size output are compared with.
#include "cellsift.h"

#include <stdio.h>
#include <string.h>

#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3 || (strcmp(argv[1], "text") != 0 && strcmp(argv[1], "size") != 0)) {
        fputs("usage: cellsift_exports_dump text|size PATH\n", stderr);
        return 2;
    }
    int nSize = GetLengthOfTextPortion(argv[2], 0);
    if (strcmp(argv[1], "size") == 0) {
        printf("%d\n", nSize);
        return 0;
    }
    std::vector<char> buffer(static_cast<size_t>(nSize > 0 ? nSize : 0) + 1);
    int cch = GetTextPortionOfDocument(argv[2], buffer.data(), nSize > 0 ? nSize : 0);
    fwrite(buffer.data(), 1, static_cast<size_t>(cch), stdout);
    return 0;
}
