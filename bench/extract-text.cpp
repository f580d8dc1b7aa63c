// extract-text: what an indexing host does with the shared library, for the benchmark.
// Loads it at run time, asks for the stream size, then the text, and writes the text out.
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

typedef int (*LengthFn)(const char *, int);
typedef int (*TextFn)(const char *, char *, int);

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: extract-text LIBRARY FILE\n");
        return 2;
    }
    void *hLib = dlopen(argv[1], RTLD_NOW);
    if (hLib == nullptr) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    LengthFn pfnLength = reinterpret_cast<LengthFn>(dlsym(hLib, "GetLengthOfTextPortion"));
    TextFn pfnText = reinterpret_cast<TextFn>(dlsym(hLib, "GetTextPortionOfDocument"));
    if (pfnLength == nullptr || pfnText == nullptr) {
        return 1;
    }
    int cb = pfnLength(argv[2], 0);
    char *psz = static_cast<char *>(malloc(static_cast<size_t>(cb) + 1));
    int cch = pfnText(argv[2], psz, cb);
    fwrite(psz, 1, static_cast<size_t>(cch), stdout);
    free(psz);
    dlclose(hLib);
    return 0;
}
