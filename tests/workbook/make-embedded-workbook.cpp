// Writes tests/workbook/embedded/embedded.xls, the workbook of EmbeddedBuilder.h, for the tool's
// and the Python module's tests.
#include <fstream>
#include <iostream>

#include "workbook/EmbeddedBuilder.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-embedded-workbook OUT.xls\n";
        return 2;
    }
    std::ofstream(argv[1], std::ios::binary) << EmbeddingFile();
    return 0;
}
