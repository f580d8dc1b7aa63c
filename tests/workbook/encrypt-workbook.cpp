// The encrypted-workbook generator: copies a workbook of ours with its workbook stream
// encrypted in a chosen scheme and password, for the tool's tests, the benchmark and the fuzz
// regressions (OUT.biff: the bare stream, no compound document around it).
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "EncryptWorkbook.h"
#include "support/CfbWriter.h"
#include "workbook/Workbook.h"

int main(int argc, char **argv)
{
    EncryptScheme scheme;
    if (argc != 5 || !ParseEncryptScheme(argv[1], &scheme)) {
        fprintf(stderr, "usage: %s xor|rc4|cryptoapi40|cryptoapi128 PASSWORD IN.xls OUT.xls|OUT.biff\n",
                argv[0]);
        return 2;
    }
    WorkbookStream stream;
    WorkbookError error;
    if (!OpenWorkbookFile(argv[3], &stream, &error)) {
        fprintf(stderr, "%s: %s\n", argv[3], error.message.c_str());
        return 1;
    }
    try {
        std::vector<uint8_t> plain(stream.pbData, stream.pbData + stream.cbData);
        std::vector<uint8_t> encrypted = EncryptStream(WithFilePass(plain, scheme, argv[2], 1), argv[2]);
        std::string sStream(encrypted.begin(), encrypted.end());
        std::string sOut = argv[4];
        bool fBare = sOut.size() > 5 && sOut.compare(sOut.size() - 5, 5, ".biff") == 0;
        std::string sFile =
            fBare ? sStream
                  : WriteCfb({{stream.fBook ? u"Book" : u"Workbook", sStream, false}}, CfbOptions(), nullptr);
        std::ofstream out(argv[4], std::ios::binary);
        out.write(sFile.data(), static_cast<std::streamsize>(sFile.size()));
        if (!out.flush()) {
            fprintf(stderr, "%s: cannot be written\n", argv[4]);
            return 1;
        }
    } catch (const std::exception &e) {
        fprintf(stderr, "%s: %s\n", argv[3], e.what());
        return 1;
    }
    return 0;
}
