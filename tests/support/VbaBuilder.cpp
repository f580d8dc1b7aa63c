// Test-only VBA projects, written as the format's own writer lays them out, to the extent
// the reader looks at them.
#include "support/VbaBuilder.h"

#include "support/CfbWriter.h"

namespace {

void PutLe16(uint16_t w, std::string *ps)
{
    ps->push_back((char)(w & 0xFF));
    ps->push_back((char)(w >> 8));
}

void PutLe32(uint32_t dw, std::string *ps)
{
    PutLe16((uint16_t)(dw & 0xFFFF), ps);
    PutLe16((uint16_t)(dw >> 16), ps);
}

void PutRecord(uint16_t id, const std::string &body, std::string *ps)
{
    PutLe16(id, ps);
    PutLe32((uint32_t)body.size(), ps);
    ps->append(body);
}

std::string Widened(const std::string &s)
{
    std::string w;
    for (char ch : s) {
        w.push_back(ch);
        w.push_back('\0');
    }
    return w;
}

std::u16string Units(const std::string &s)
{
    return std::u16string(s.begin(), s.end());
}

} // namespace

std::string VbaContainer(const std::string &s)
{
    std::string out(1, '\x01');
    size_t ib = 0;
    while (ib < s.size()) {
        if (s.size() - ib >= 4096) {
            PutLe16(0x3FFF, &out);
            out.append(s, ib, 4096);
            ib += 4096;
            continue;
        }
        // 8 literals take 9 bytes: a chunk's 4096 bytes of body hold 3640 of them.
        std::string block = s.substr(ib, 3640), body;
        for (size_t i = 0; i < block.size(); i += 8) {
            body.push_back('\0');
            body.append(block.substr(i, 8));
        }
        PutLe16((uint16_t)(0xB000 | (body.size() - 1)), &out);
        out.append(body);
        ib += block.size();
    }
    return out;
}

std::string VbaDirStream(const std::vector<VbaModuleDesc> &modules, uint16_t nCodePage)
{
    std::string dir, body;
    PutRecord(0x0001, std::string("\x01\0\0\0", 4), &dir);
    PutRecord(0x0002, std::string("\x09\x04\0\0", 4), &dir);
    PutRecord(0x0014, std::string("\x09\x04\0\0", 4), &dir);
    PutLe16(nCodePage, &body);
    PutRecord(0x0003, body, &dir);
    PutRecord(0x0004, "VBAProject", &dir);
    PutRecord(0x0005, "", &dir);
    PutRecord(0x0040, "", &dir);
    PutRecord(0x0006, "", &dir);
    PutRecord(0x003D, "", &dir);
    PutRecord(0x0007, std::string(4, '\0'), &dir);
    PutRecord(0x0008, std::string(4, '\0'), &dir);
    // The version record: a size field of 4, then 6 bytes.
    PutLe16(0x0009, &dir);
    PutLe32(4, &dir);
    PutLe32(1, &dir);
    PutLe16(0, &dir);
    PutRecord(0x000C, "", &dir);
    PutRecord(0x003C, "", &dir);
    body.clear();
    PutLe16((uint16_t)modules.size(), &body);
    PutRecord(0x000F, body, &dir);
    PutRecord(0x0013, "\xFF\xFF", &dir);
    for (const VbaModuleDesc &module : modules) {
        std::string stream = module.stream.empty() ? module.name : module.stream;
        PutRecord(0x0019, module.name, &dir);
        PutRecord(0x0047, Widened(module.name), &dir);
        PutRecord(0x001A, stream, &dir);
        PutRecord(0x0032, Widened(stream), &dir);
        PutRecord(0x001C, "", &dir);
        PutRecord(0x0048, "", &dir);
        body.clear();
        PutLe32((uint32_t)module.cache.size(), &body);
        PutRecord(0x0031, body, &dir);
        PutRecord(0x001E, std::string(4, '\0'), &dir);
        PutRecord(0x002C, "\xFF\xFF", &dir);
        PutRecord(module.wType, "", &dir);
        PutRecord(0x002B, "", &dir);
    }
    PutRecord(0x0010, "", &dir);
    return dir;
}

std::string VbaWorkbookFile(const std::string &workbookStream, const std::string &project, const std::string &dir,
                            const std::vector<VbaModuleDesc> &modules)
{
    // Entry i is directory id i + 1: the project storage is 2, its VBA storage 4.
    std::vector<CfbEntryDesc> entries = {
        {u"Workbook", workbookStream, false},
        {u"_VBA_PROJECT_CUR", "", true},
        {u"PROJECT", project, false, 2},
        {u"VBA", "", true, 2},
        {u"dir", VbaContainer(dir), false, 4},
        {u"_VBA_PROJECT", std::string("\xCC\x61\xFF\xFF\0\0\0", 7), false, 4},
    };
    for (const VbaModuleDesc &module : modules) {
        std::string stream = module.stream.empty() ? module.name : module.stream;
        bool fListed = false;
        for (const CfbEntryDesc &entry : entries) {
            fListed = fListed || (entry.m_idParent == 4 && entry.m_sName == Units(stream));
        }
        if (!fListed) {
            entries.push_back({Units(stream), module.cache + VbaContainer(module.code), false, 4});
        }
    }
    CfbLayout layout;
    return WriteCfb(entries, CfbOptions(), &layout);
}
