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

// One chunk of at most 4096 bytes compressed: at each position the longest of the 64 nearest
// earlier matches in the chunk, of 3 bytes or more, as a copy token, else a literal.
std::string CompressedChunkBody(const std::string &block)
{
    std::string body;
    std::vector<std::vector<size_t>> rgrgib(256); // where each byte value was seen
    auto see = [&](size_t ibFirst, size_t ibEnd) {
        for (size_t i = ibFirst; i < ibEnd; i++) {
            rgrgib[(uint8_t)block[i]].push_back(i);
        }
    };
    size_t ib = 0;
    while (ib < block.size()) {
        size_t ibFlags = body.size();
        body.push_back('\0');
        for (int iBit = 0; iBit < 8 && ib < block.size(); iBit++) {
            unsigned nOffsetBits = 4;
            while (((size_t)1 << nOffsetBits) < ib) {
                nOffsetBits++;
            }
            size_t cbMaxCopy = (0xFFFFu >> nOffsetBits) + 3;
            size_t cbBest = 0, ibBest = 0;
            const std::vector<size_t> &rgibSeen = rgrgib[(uint8_t)block[ib]];
            for (size_t k = rgibSeen.size(); k > 0 && k + 64 > rgibSeen.size(); k--) {
                size_t ibFrom = rgibSeen[k - 1], cb = 0;
                while (cb < cbMaxCopy && ib + cb < block.size() && block[ibFrom + cb] == block[ib + cb]) {
                    cb++;
                }
                if (cb > cbBest) {
                    cbBest = cb;
                    ibBest = ibFrom;
                }
            }
            if (cbBest >= 3) {
                uint16_t wToken = (uint16_t)(((ib - ibBest - 1) << (16 - nOffsetBits)) | (cbBest - 3));
                PutLe16(wToken, &body);
                body[ibFlags] = (char)(body[ibFlags] | (1 << iBit));
                see(ib, ib + cbBest);
                ib += cbBest;
            } else {
                body.push_back(block[ib]);
                see(ib, ib + 1);
                ib++;
            }
        }
    }
    return body;
}

void PutChunk(const std::string &block, std::string *ps)
{
    std::string body = CompressedChunkBody(block);
    if (body.size() <= 4096) {
        PutLe16((uint16_t)(0xB000 | (body.size() - 1)), ps);
        ps->append(body);
    } else if (block.size() == 4096) {
        PutLe16(0x3FFF, ps); // stored as it is
        ps->append(block);
    } else {
        // A short block too random to compress cannot be stored: two chunks, each fits.
        PutChunk(block.substr(0, block.size() / 2), ps);
        PutChunk(block.substr(block.size() / 2), ps);
    }
}

} // namespace

std::string VbaContainer(const std::string &s)
{
    std::string out(1, '\x01');
    for (size_t ib = 0; ib < s.size(); ib += 4096) {
        PutChunk(s.substr(ib, 4096), &out);
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

std::string VbaWorkbookFile(const std::string &workbookStream, const std::string &project,
                            const std::string &dir, const std::vector<VbaModuleDesc> &modules)
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
