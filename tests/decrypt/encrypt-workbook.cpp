// The encrypted-workbook generator: copies a workbook of ours with its workbook stream
// encrypted in a chosen scheme and password, for the tool's tests, the benchmark and the fuzz
// regressions (OUT.biff: the bare stream, no compound document around it).
#include <stdio.h>
#include <stdlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "EncryptWorkbook.h"
#include "cfb/CompoundFile.h"
#include "support/CfbWriter.h"
#include "workbook/CompoundStream.h"
#include "workbook/Workbook.h"

namespace {

// The document's property sets, which writers leave unencrypted beside the workbook stream.
void AddPropertyStreams(const char *pszPath, std::vector<CfbEntryDesc> *prgEntry)
{
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    struct stat st;
    CfbFile file;
    if (fd >= 0 && fstat(fd, &st) == 0 && CfbOpenFile(fd, (uint64_t)st.st_size, &file) == CfbResult::Ok) {
        for (const char16_t *pwzName : {u"\005SummaryInformation", u"\005DocumentSummaryInformation"}) {
            std::vector<uint8_t> rgb;
            if (ReadCompoundStream(&file, pwzName, &rgb)) {
                prgEntry->push_back({pwzName, std::string(rgb.begin(), rgb.end()), false});
            }
        }
    }
    if (fd >= 0) {
        close(fd);
    }
}

} // namespace

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
        std::vector<CfbEntryDesc> rgEntry = {{stream.fBook ? u"Book" : u"Workbook", sStream, false}};
        AddPropertyStreams(argv[3], &rgEntry);
        std::string sFile = fBare ? sStream : WriteCfb(rgEntry, CfbOptions(), nullptr);
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
