// Fuzz target: the VBA project reader. The first byte's low bit picks the part: 0, the rest is
// a compressed container, decompressed against a bound; 1, the rest is a dir stream (a 2-byte
// size first) and the source of every stream it may name, put into a workbook's project
// compressed and read whole. Texts must be UTF-8, outputs within their bounds.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "FuzzUtf8.h"
#include "support/Biff.h"
#include "support/VbaBuilder.h"
#include "vba/VbaDecompress.h"
#include "workbook/Workbook.h"

namespace {

void Check(bool f)
{
    if (!f) {
        abort();
    }
}

class Modules : public WorkbookVisitor {
public:
    size_t cModules = 0, cbCode = 0;
    void OnVbaModule(const VbaModule &module) override
    {
        Check(IsUtf8(module.name) && IsUtf8(module.code));
        cModules++;
        cbCode += module.code.size();
    }
};

// The smallest workbook stream: a globals BOF and EOF.
std::string EmptyWorkbook()
{
    BiffStream stream;
    stream.Record(0x0809, Cat({Le16(0x0600), Le16(0x0005), Le32(0), Le32(0), Le32(0)}));
    stream.Record(0x000A, {});
    return std::string(stream.bytes.begin(), stream.bytes.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pb, size_t cb)
{
    if (cb < 3) {
        return 0;
    }
    if ((pb[0] & 1) == 0) {
        std::vector<uint8_t> rgb(pb + 1, pb + cb);
        size_t cbMax = rgb.size() * 64;
        std::string out;
        VbaDecompress(rgb.data(), rgb.size(), cbMax, &out);
        Check(out.size() <= cbMax);
        return 0;
    }
    size_t cbDir = (size_t)(pb[1] | pb[2] << 8) % (cb - 2);
    std::string dir(reinterpret_cast<const char *>(pb + 3), cbDir);
    std::string code(reinterpret_cast<const char *>(pb + 3 + cbDir), cb - 3 - cbDir);
    // Every name the dictionary offers has a stream, a cache of a few bytes before its source.
    std::vector<VbaModuleDesc> streams;
    for (const char *pszName : {"Module1", "Sheet1", "ThisWorkbook", "Class1"}) {
        streams.push_back({pszName, code, 0x21, std::string(code.size() % 7, 'c'), ""});
    }
    std::string file =
        VbaWorkbookFile(EmptyWorkbook(), "Document=Sheet1/&H00000000\r\nBaseClass=Class1\r\n", dir, streams);
    WorkbookStream stream;
    WorkbookError error;
    Modules modules;
    if (OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(file.data()), file.size(), &stream, &error)) {
        ReadWorkbook(stream, modules, &error);
        // Each stream's source is read once at most, up to 64 times its bytes plus a margin,
        // and a code page's byte becomes at most 3 bytes of UTF-8.
        Check(modules.cbCode <= 3 * (64 * file.size() + 65536 * streams.size()));
    }
    return 0;
}
