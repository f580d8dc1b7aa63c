// Writes damaged copies of real workbooks: cut short, chains cut or sent out of range, unused
// directory fields filled, sizes larger than the chain, FAT sectors missing.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const uint32_t sectFree = 0xFFFFFFFFu;
const uint32_t sectEnd = 0xFFFFFFFEu;

uint32_t Le32(const std::string &s, size_t ib)
{
    if (ib + 4 > s.size()) {
        return sectFree;
    }
    return (uint32_t)(unsigned char)s[ib] | (uint32_t)(unsigned char)s[ib + 1] << 8 |
           (uint32_t)(unsigned char)s[ib + 2] << 16 | (uint32_t)(unsigned char)s[ib + 3] << 24;
}

void Put32(std::string *ps, size_t ib, uint32_t dw)
{
    for (int i = 0; i < 4; i++) {
        (*ps)[ib + i] = (char)(dw >> (8 * i));
    }
}

// Where the parts of one intact compound document lie; the inputs are trusted.
struct Layout {
    uint32_t m_cbSector = 512;
    std::vector<uint32_t> m_rgsectFat; // the FAT's own sectors
    std::vector<uint32_t> m_rgFat;     // its entries
    std::vector<uint32_t> m_rgsectDir; // the directory's chain
    std::vector<uint32_t> m_rgsectMiniFat;
    std::vector<uint32_t> m_rgsectDif;
    std::vector<uint32_t> m_rgsectMiniStream;
    uint32_t m_idStream = 0; // "Workbook", else "Book"
    uint32_t m_cbStream = 0;
    std::vector<uint32_t> m_rgsectStream; // its chain: sectors, or mini sectors when small

    size_t IbSector(uint32_t sect) const { return ((size_t)sect + 1) * m_cbSector; }
    size_t IbDir(uint32_t id) const
    {
        uint32_t cPer = m_cbSector / 128;
        return IbSector(m_rgsectDir[id / cPer]) + (id % cPer) * 128;
    }
    size_t IbFat(uint32_t sect) const
    {
        uint32_t cPer = m_cbSector / 4;
        return IbSector(m_rgsectFat[sect / cPer]) + (sect % cPer) * 4;
    }
    size_t IbMiniFat(uint32_t sect) const
    {
        uint32_t cPer = m_cbSector / 4;
        return IbSector(m_rgsectMiniFat[sect / cPer]) + (sect % cPer) * 4;
    }
};

std::vector<uint32_t> Chain(const std::vector<uint32_t> &rgTable, uint32_t sect)
{
    std::vector<uint32_t> rg;
    while (sect < rgTable.size() && rg.size() <= rgTable.size()) {
        rg.push_back(sect);
        sect = rgTable[sect];
    }
    return rg;
}

bool NameIs(const std::string &s, size_t ib, const char *psz)
{
    size_t cch = strlen(psz);
    if (Le32(s, ib + 0x40) % 0x10000 != (cch + 1) * 2) {
        return false;
    }
    for (size_t i = 0; i < cch; i++) {
        if (s[ib + i * 2] != psz[i] || s[ib + i * 2 + 1] != 0) {
            return false;
        }
    }
    return true;
}

bool ReadLayout(const std::string &s, Layout *pL)
{
    if (s.size() < 512) {
        return false;
    }
    pL->m_cbSector = 1u << ((unsigned char)s[0x1E]);
    uint32_t csectFat = Le32(s, 0x2C), sectDif = Le32(s, 0x44);
    for (uint32_t i = 0; i < 109 && pL->m_rgsectFat.size() < csectFat; i++) {
        pL->m_rgsectFat.push_back(Le32(s, 0x4C + i * 4));
    }
    while (pL->m_rgsectFat.size() < csectFat && pL->IbSector(sectDif) < s.size()) {
        pL->m_rgsectDif.push_back(sectDif);
        uint32_t cPer = pL->m_cbSector / 4 - 1;
        for (uint32_t i = 0; i < cPer && pL->m_rgsectFat.size() < csectFat; i++) {
            pL->m_rgsectFat.push_back(Le32(s, pL->IbSector(sectDif) + i * 4));
        }
        sectDif = Le32(s, pL->IbSector(sectDif) + cPer * 4);
    }
    for (uint32_t sect : pL->m_rgsectFat) {
        for (uint32_t i = 0; i < pL->m_cbSector / 4; i++) {
            pL->m_rgFat.push_back(Le32(s, pL->IbSector(sect) + i * 4));
        }
    }
    pL->m_rgsectDir = Chain(pL->m_rgFat, Le32(s, 0x30));
    pL->m_rgsectMiniFat = Chain(pL->m_rgFat, Le32(s, 0x3C));
    pL->m_rgsectMiniStream = Chain(pL->m_rgFat, Le32(s, pL->IbDir(0) + 0x74));
    uint32_t cEntries = (uint32_t)pL->m_rgsectDir.size() * (pL->m_cbSector / 128);
    for (const char *pszName : {"Workbook", "Book"}) {
        for (uint32_t id = 0; id < cEntries && pL->m_idStream == 0; id++) {
            if (s[pL->IbDir(id) + 0x42] == 2 && NameIs(s, pL->IbDir(id), pszName)) {
                pL->m_idStream = id;
            }
        }
    }
    if (pL->m_idStream == 0) {
        return false;
    }
    size_t ibEntry = pL->IbDir(pL->m_idStream);
    pL->m_cbStream = Le32(s, ibEntry + 0x78);
    if (pL->m_cbStream >= 4096) {
        pL->m_rgsectStream = Chain(pL->m_rgFat, Le32(s, ibEntry + 0x74));
    } else {
        std::vector<uint32_t> rgMiniFat;
        for (uint32_t sect : pL->m_rgsectMiniFat) {
            for (uint32_t i = 0; i < pL->m_cbSector / 4; i++) {
                rgMiniFat.push_back(Le32(s, pL->IbSector(sect) + i * 4));
            }
        }
        pL->m_rgsectStream = Chain(rgMiniFat, Le32(s, ibEntry + 0x74));
    }
    return !pL->m_rgsectStream.empty();
}

struct Writer {
    std::string m_sDir, m_sStem;
    int m_cWritten = 0;

    void Write(const std::string &sKind, const std::string &sBytes)
    {
        std::string sPath = m_sDir + "/" + m_sStem + "." + sKind + ".xls";
        FILE *pf = fopen(sPath.c_str(), "wb");
        if (pf == nullptr || fwrite(sBytes.data(), 1, sBytes.size(), pf) != sBytes.size()) {
            fprintf(stderr, "cannot write %s\n", sPath.c_str());
            exit(1);
        }
        fclose(pf);
        m_cWritten++;
    }
};

// Whether cutting the file inside sector sect leaves a result that the system's reader
// does not decide: it reads the rest of a cut table sector, and of the last sector of a
// read, from memory it never filled.
bool CutIsUndecided(const Layout &L, uint32_t sect)
{
    for (const std::vector<uint32_t> *prg :
         {&L.m_rgsectFat, &L.m_rgsectDif, &L.m_rgsectDir, &L.m_rgsectMiniFat, &L.m_rgsectMiniStream}) {
        for (uint32_t sectTable : *prg) {
            if (sectTable == sect) {
                return true;
            }
        }
    }
    return L.m_cbStream >= 4096 && !L.m_rgsectStream.empty() && L.m_rgsectStream.back() == sect;
}

void Damage(const std::string &sFile, const Layout &L, Writer *pW)
{
    const uint32_t cb = (uint32_t)sFile.size();
    // Cut short: inside the header, at and around sector boundaries, and through the file;
    // a cut the system leaves undecided moves to the start of its sector.
    std::vector<uint32_t> rgcbCut = {0, 8, 76, 511, 512, 513, 1024, 1500, cb - 1, cb - 512, cb - 513};
    for (uint32_t i = 1; i < 16; i++) {
        rgcbCut.push_back((uint32_t)((uint64_t)cb * i / 16));
    }
    for (uint32_t cbCut : rgcbCut) {
        if (cbCut > 512 && CutIsUndecided(L, (cbCut - 512) / L.m_cbSector)) {
            cbCut -= (cbCut - 512) % L.m_cbSector;
        }
        if (cbCut < cb) {
            pW->Write("cut" + std::to_string(cbCut), sFile.substr(0, cbCut));
        }
    }
    // Header fields the system does and does not look at.
    const struct {
        const char *pszKind;
        size_t ib;
        uint32_t dw;
        int cb;
    } rgHeader[] = {
        {"hdr-oldmagic", 4, 0x0DFC110E, 4},
        {"hdr-major5", 0x1A, 5, 2},
        {"hdr-major4", 0x1A, 4, 2},
        {"hdr-byteorder", 0x1C, 0xFEFF, 2},
        {"hdr-shift12", 0x1E, 12, 2},
        {"hdr-shift10", 0x1E, 10, 2},
        {"hdr-minishift", 0x20, 7, 2},
        {"hdr-cutoff", 0x38, 4095, 4},
        {"hdr-difcount", 0x48, 3, 4},
        {"hdr-difstart", 0x44, 0, 4},
        {"hdr-dir-end", 0x30, sectEnd, 4},
        {"hdr-dir-free", 0x30, sectFree, 4},
        {"hdr-minifat-end", 0x3C, sectEnd, 4},
        {"hdr-minifat-free", 0x3C, sectFree, 4},
    };
    for (const auto &h : rgHeader) {
        std::string s = sFile;
        if (h.cb == 2) {
            s[h.ib] = (char)(h.dw & 0xFF);
            s[h.ib + 1] = (char)(h.dw >> 8);
        } else {
            Put32(&s, h.ib, h.dw);
        }
        pW->Write(h.pszKind, s);
    }

    // The stream's own chain, when it lies in regular sectors.
    const size_t ibEntry = L.IbDir(L.m_idStream);
    const bool fMini = L.m_cbStream < 4096;
    const size_t csect = L.m_rgsectStream.size();
    auto PatchLink = [&](const char *pszKind, size_t iLink, uint32_t sectTo) {
        std::string s = sFile;
        uint32_t sect = L.m_rgsectStream[iLink];
        Put32(&s, fMini ? L.IbMiniFat(sect) : L.IbFat(sect), sectTo);
        pW->Write(std::string(pszKind) + std::to_string(iLink), s);
    };
    for (size_t iLink : {(size_t)0, csect / 3, csect / 2, csect - 1}) {
        if (iLink + 1 < csect) {
            PatchLink("chain-end", iLink, sectEnd);
            PatchLink("chain-free", iLink, sectFree);
            PatchLink("chain-far", iLink, 0x00FFFFFF);
            PatchLink("chain-neg", iLink, 0xFFFFFFFA);
        }
        PatchLink("chain-fat", iLink, L.m_rgsectFat[0]);
    }
    auto PatchEntry = [&](const std::string &sKind, size_t ib, uint32_t dw) {
        std::string s = sFile;
        Put32(&s, ibEntry + ib, dw);
        pW->Write(sKind, s);
    };
    PatchEntry("start-far", 0x74, 0x00FFFFFF);
    PatchEntry("start-end", 0x74, sectEnd);
    PatchEntry("start-free", 0x74, sectFree);
    // Sizes larger than the chain: by a byte, by a unit, double, across the small-stream cutoff, huge.
    for (uint32_t cbSize : {L.m_cbStream + 1, L.m_cbStream + 64, L.m_cbStream + 512, L.m_cbStream * 2, 4096u,
                            8191u, 1u << 20, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
        PatchEntry("size" + std::to_string(cbSize), 0x78, cbSize);
    }
    PatchEntry("size-smaller", 0x78, L.m_cbStream / 2);
    {
        // The stream marked as a storage, the root's child out of range, and the root not
        // marked as one.
        std::string s = sFile;
        s[ibEntry + 0x42] = 1;
        pW->Write("type-storage", s);
        s = sFile;
        Put32(&s, L.IbDir(0) + 0x4C, 5000);
        pW->Write("root-child-far", s);
        s = sFile;
        s[L.IbDir(0) + 0x42] = 0;
        pW->Write("root-untyped", s);
    }
    PatchEntry("size-high", 0x7C, 0x12345678);
    // Unused directory fields: colour, CLSID, state bits, times; in the entry and the root.
    for (size_t ibBase : {ibEntry, L.IbDir(0)}) {
        std::string s = sFile;
        s[ibBase + 0x43] = (char)0x7E;
        for (size_t ib = 0x50; ib < 0x74; ib++) {
            s[ibBase + ib] = (char)(0xA5 ^ ib);
        }
        pW->Write(ibBase == ibEntry ? "unused-entry" : "unused-root", s);
    }
    {
        // Name garbage after its terminator.
        std::string s = sFile;
        for (size_t ib = Le32(s, ibEntry + 0x40) % 0x10000; ib < 0x40; ib++) {
            s[ibEntry + ib] = (char)0xCC;
        }
        pW->Write("unused-name", s);
    }

    // FAT sectors missing or out of range, and counts that disagree with the list.
    for (size_t iFat : {(size_t)0, L.m_rgsectFat.size() - 1}) {
        for (uint32_t sect : {sectFree, 0x00FFFFFFu, sectEnd}) {
            std::string s = sFile;
            Put32(&s, 0x4C + iFat * 4, sect);
            pW->Write("fatsect" + std::to_string(iFat) + "-" + std::to_string(sect), s);
        }
    }
    for (uint32_t csectFat : {0u, (uint32_t)L.m_rgsectFat.size() + 1, 200u, 0x7FFFFFFEu}) {
        std::string s = sFile;
        Put32(&s, 0x2C, csectFat);
        pW->Write("fatcount" + std::to_string(csectFat), s);
    }
    // Directory and mini FAT chains cut.
    if (L.m_rgsectDir.size() > 1) {
        std::string s = sFile;
        Put32(&s, L.IbFat(L.m_rgsectDir[0]), sectEnd);
        pW->Write("dir-cut", s);
    }
    {
        std::string s = sFile;
        Put32(&s, 0x3C, 0x00FFFFFF);
        pW->Write("minifat-far", s);
        s = sFile;
        Put32(&s, L.IbDir(0) + 0x78, Le32(sFile, L.IbDir(0) + 0x78) * 4 + 4096);
        pW->Write("ministream-size", s);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s OUTDIR WORKBOOK...\n", argv[0]);
        return 2;
    }
    Writer w;
    w.m_sDir = argv[1];
    for (int i = 2; i < argc; i++) {
        FILE *pf = fopen(argv[i], "rb");
        if (pf == nullptr) {
            fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::string sFile;
        char rgch[65536];
        size_t cbGot;
        while ((cbGot = fread(rgch, 1, sizeof(rgch), pf)) > 0) {
            sFile.append(rgch, cbGot);
        }
        fclose(pf);
        std::string sName = argv[i];
        sName = sName.substr(sName.find_last_of('/') + 1);
        w.m_sStem = sName.substr(0, sName.rfind('.'));
        Layout L;
        if (!ReadLayout(sFile, &L)) {
            fprintf(stderr, "%s: no workbook stream found\n", argv[i]);
            return 1;
        }
        Damage(sFile, L, &w);
    }
    printf("%d files\n", w.m_cWritten);
    return 0;
}
