// Property sets: a stream header listing sections by format id, each section a table of
// property ids and offsets into it, each value a typed field. Every offset is checked against
// its section and the stream; sections, tables and values that overlap may not multiply the
// work or the output, so the bytes of strings decoded, and every table entry walked and every
// other value and name written, are charged to budgets the stream's size sets.
#include "workbook/PropertySet.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "biff/ByteCursor.h"
#include "cfb/CompoundFile.h"
#include "numformat/CellValue.h"
#include "unicode/TextDecode.h"
#include "workbook/CompoundStream.h"

namespace {

const uint8_t rgbFmtidSummary[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                     0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
const uint8_t rgbFmtidDocSummary[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                        0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
const uint8_t rgbFmtidUserDefined[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                         0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

enum : uint16_t {
    vtI2 = 2,
    vtI4 = 3,
    vtR4 = 4,
    vtR8 = 5,
    vtBstr = 8,
    vtBool = 11,
    vtI1 = 16,
    vtUi1 = 17,
    vtUi2 = 18,
    vtUi4 = 19,
    vtI8 = 20,
    vtUi8 = 21,
    vtInt = 22,
    vtUint = 23,
    vtLpstr = 30,
    vtLpwstr = 31,
    vtFiletime = 64
};

const uint32_t pidDictionary = 0;
const uint32_t pidCodePage = 1;
const int nCodePageUnicode = 1200;

// What may be spent on a stream. A sound one decodes each string's bytes once, so those fit
// its size. The rest fits three times its size, and four are allowed: each entry of a table
// or a dictionary (8 bytes) is charged once, a fixed value (4 to 8 bytes and its type) writes
// at most 24 characters, and a user-defined property's name, stored once in as few as a third
// of the bytes its UTF-8 form takes, is written once.
struct Budget {
    explicit Budget(size_t cbStream)
            : cbText(cbStream), cbOther(cbStream <= SIZE_MAX / 4 ? 4 * cbStream : SIZE_MAX)
    {}
    size_t cbText;  // bytes of strings decoded
    size_t cbOther; // table and dictionary entries walked (8 each), other values and names written
};

enum class SetKind {
    Summary,
    DocSummary,
    UserDefined
};

struct PropertyId {
    SetKind kind;
    uint32_t pid;
    DocProperty property;
};

const PropertyId rgPropertyId[] = {
    {SetKind::Summary, 2, DocProperty::Title},        {SetKind::Summary, 3, DocProperty::Subject},
    {SetKind::Summary, 4, DocProperty::Author},       {SetKind::Summary, 5, DocProperty::Keywords},
    {SetKind::Summary, 6, DocProperty::Comments},     {SetKind::Summary, 8, DocProperty::LastSavedBy},
    {SetKind::Summary, 12, DocProperty::Created},     {SetKind::Summary, 13, DocProperty::LastSaved},
    {SetKind::Summary, 18, DocProperty::Application}, {SetKind::DocSummary, 2, DocProperty::Category},
    {SetKind::DocSummary, 14, DocProperty::Manager},  {SetKind::DocSummary, 15, DocProperty::Company},
};

// Appends a FILETIME (100 ns ticks since 1601) as ISO 8601 UTC, whole seconds.
void AppendFiletime(uint64_t qwTicks, std::string *ps)
{
    uint64_t cSeconds = qwTicks / 10000000;
    int64_t z = static_cast<int64_t>(cSeconds / 86400) - 134774 + 719468; // days from 0000-03-01
    uint32_t nSecondOfDay = static_cast<uint32_t>(cSeconds % 86400);
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t nDay = doy - (153 * mp + 2) / 5 + 1;
    int64_t nMonth = mp < 10 ? mp + 3 : mp - 9;
    int64_t nYear = yoe + era * 400 + (nMonth <= 2);
    // 2^64 ticks reach the year 60056: every field fits its unsigned form. A year past 9999
    // takes ISO 8601's expanded form, whose sign tells a reader the year has more digits.
    char sz[64];
    snprintf(sz, sizeof(sz), "%s%04u-%02u-%02uT%02u:%02u:%02uZ", nYear > 9999 ? "+" : "",
             static_cast<unsigned>(nYear), static_cast<unsigned>(nMonth), static_cast<unsigned>(nDay),
             nSecondOfDay / 3600 % 24, nSecondOfDay / 60 % 60, nSecondOfDay % 60);
    ps->append(sz);
}

// Each kind of damage once: a set of a million broken entries is one warning, not a million.
void AddWarning(std::vector<std::string> *prgWarning, const char *psz)
{
    if (std::find(prgWarning->begin(), prgWarning->end(), psz) == prgWarning->end()) {
        prgWarning->push_back(psz);
    }
}

void EraseNuls(std::string *ps)
{
    ps->erase(std::remove(ps->begin(), ps->end(), '\0'), ps->end());
}

// The bytes of a block from ib on, where an offset read from the stream points; none when ib
// lies past the block's end.
ByteCursor CursorAt(const uint8_t *pb, size_t cb, size_t ib)
{
    return ib <= cb ? ByteCursor(pb + ib, cb - ib) : ByteCursor(pb + cb, 0);
}

// One section: its bytes (bounded by the size it declares and by the stream), its code page.
class Section {
public:
    Section(const uint8_t *pb, size_t cb, Budget *pBudget, std::vector<std::string> *prgWarning)
            : m_pb(pb), m_cb(cb), m_pBudget(pBudget), m_prgWarning(prgWarning), m_nCodePage(1252)
    {}
    void Read(SetKind kind, DocumentProperties *pProps);

private:
    // Takes cb from *pcbLeft, one of the budget's: false, and the rest of it spent, when it
    // has less.
    bool Charge(size_t *pcbLeft, size_t cb);
    bool ChargeText(size_t cb) { return Charge(&m_pBudget->cbText, cb); }
    bool ChargeOther(size_t cb) { return Charge(&m_pBudget->cbOther, cb); }
    void Warn(const char *psz) { AddWarning(m_prgWarning, psz); }
    // Appends the text of the value at ib; false when its type is not one shown as text, or
    // when the budget for text is spent.
    bool ReadValue(size_t ib, std::string *ps);
    bool AppendCodePageText(const uint8_t *pb, size_t cb, std::string *ps);
    // The id and offset of entry i of the table of cProperty entries after the section's header.
    void TableEntry(uint32_t cProperty, uint32_t i, uint32_t *ppid, size_t *pib) const;
    void ReadDictionary(size_t ib, std::unordered_map<uint32_t, std::string> *pmapName);

    const uint8_t *m_pb;
    size_t m_cb;
    Budget *m_pBudget;
    std::vector<std::string> *m_prgWarning;
    int m_nCodePage;
    CodePageDecoder m_decoder;
};

bool Section::Charge(size_t *pcbLeft, size_t cb)
{
    if (cb > *pcbLeft) {
        if (*pcbLeft != 0) {
            Warn("damaged document properties: their values overlap; the rest are left out");
        }
        *pcbLeft = 0;
        return false;
    }
    *pcbLeft -= cb;
    return true;
}

bool Section::AppendCodePageText(const uint8_t *pb, size_t cb, std::string *ps)
{
    if (!ChargeText(cb)) {
        return false;
    }
    m_decoder.Append(pb, cb, ps);
    EraseNuls(ps);
    return true;
}

bool Section::ReadValue(size_t ib, std::string *ps)
{
    ByteCursor value = CursorAt(m_pb, m_cb, ib);
    uint16_t vt = value.Le16();
    size_t cbFixed = vt == vtI8 || vt == vtUi8 || vt == vtR8 || vt == vtFiletime ? 8 : 4;
    if (!value.Skip(2) || value.CbLeft() < cbFixed) {
        Warn("damaged document properties: a value runs past the end of its section");
        return false;
    }
    uint32_t dw = value.Le32();
    if (vt == vtLpstr || vt == vtBstr || vt == vtLpwstr) {
        size_t cbThere = value.CbLeft();
        size_t cbText = vt == vtLpwstr ? (dw <= cbThere / 2 ? static_cast<size_t>(dw) * 2 : cbThere + 1) : dw;
        if (cbText > cbThere) {
            Warn("damaged document properties: a string runs past the end of its section");
            cbText = cbThere;
        }
        const uint8_t *pbText = value.Bytes(cbText);
        if (vt != vtLpwstr) {
            return AppendCodePageText(pbText, cbText, ps);
        }
        if (!ChargeText(cbText)) {
            return false;
        }
        Utf8Writer writer(ps);
        writer.AppendUtf16Le(pbText, cbText / 2);
        writer.Finish();
        EraseNuls(ps);
        return true;
    }
    // The high half is there only for the 8-byte types, the only ones that use it.
    uint64_t qw = dw | (static_cast<uint64_t>(value.Le32()) << 32);
    std::string text;
    switch (vt) {
    case vtFiletime:
        if (qw != 0) {
            AppendFiletime(qw, &text);
        }
        break;
    case vtBool: text = static_cast<uint16_t>(dw) != 0 ? "TRUE" : "FALSE"; break;
    case vtI1: text = std::to_string(static_cast<int8_t>(dw)); break;
    case vtUi1: text = std::to_string(static_cast<uint8_t>(dw)); break;
    case vtI2: text = std::to_string(static_cast<int16_t>(dw)); break;
    case vtUi2: text = std::to_string(static_cast<uint16_t>(dw)); break;
    case vtI4:
    case vtInt: text = std::to_string(static_cast<int32_t>(dw)); break;
    case vtUi4:
    case vtUint: text = std::to_string(dw); break;
    case vtI8: text = std::to_string(static_cast<int64_t>(qw)); break;
    case vtUi8: text = std::to_string(qw); break;
    case vtR4: {
        float f;
        memcpy(&f, &dw, sizeof(f));
        AppendNumber(f, &text);
        break;
    }
    case vtR8: {
        double d;
        memcpy(&d, &qw, sizeof(d));
        AppendNumber(d, &text);
        break;
    }
    default: return false; // pictures, lists, blobs: nothing a reader shows as text
    }
    if (!ChargeOther(text.size())) {
        return false;
    }
    ps->append(text);
    return true;
}

// The names of the user-defined properties: a count, then per entry an id, a count of
// characters with the NUL and the characters; in a Unicode section these are UTF-16 and
// each entry is padded to four bytes.
void Section::ReadDictionary(size_t ib, std::unordered_map<uint32_t, std::string> *pmapName)
{
    const char *pszCut = "damaged document properties: the names of the user's properties are cut short";
    ByteCursor dictionary = CursorAt(m_pb, m_cb, ib);
    uint32_t cEntry = dictionary.Le32();
    if (dictionary.FShort() && dictionary.CbLeft() > 0) {
        Warn(pszCut); // the count itself is cut off
        return;
    }
    bool fUnicode = m_nCodePage == nCodePageUnicode;
    for (uint32_t i = 0; i < cEntry; i++) {
        if (dictionary.CbLeft() < 8) {
            Warn(pszCut);
            return;
        }
        if (!ChargeOther(8)) {
            return;
        }
        uint32_t pid = dictionary.Le32();
        size_t cch = dictionary.Le32();
        size_t cbName = fUnicode ? (cch <= m_cb / 2 ? cch * 2 : m_cb + 1) : cch;
        const uint8_t *pbName = dictionary.Bytes(cbName);
        if (pbName == nullptr) {
            Warn(pszCut);
            return;
        }
        std::string name;
        if (fUnicode && ChargeText(cbName)) {
            Utf8Writer writer(&name);
            writer.AppendUtf16Le(pbName, cch);
            writer.Finish();
            EraseNuls(&name);
        } else if (!fUnicode) {
            AppendCodePageText(pbName, cbName, &name);
        }
        // Unicode entries are padded to four bytes of the section; padding cut off by the
        // section's end leaves too little for another entry.
        size_t ibHere = ib + dictionary.Tell();
        if (fUnicode) {
            dictionary.Skip(((ibHere + 3) & ~static_cast<size_t>(3)) - ibHere);
        }
        (*pmapName)[pid] = std::move(name);
    }
}

void Section::TableEntry(uint32_t cProperty, uint32_t i, uint32_t *ppid, size_t *pib) const
{
    ByteCursor entry = CursorAt(m_pb + 8, 8 * static_cast<size_t>(cProperty), 8 * static_cast<size_t>(i));
    *ppid = entry.Le32();
    *pib = entry.Le32();
}

void Section::Read(SetKind kind, DocumentProperties *pProps)
{
    uint32_t cProperty = CursorAt(m_pb, m_cb, 4).Le32();
    if (m_cb < 8 || cProperty > (m_cb - 8) / 8) {
        Warn("damaged document properties: a section lists more properties than it holds");
        cProperty = m_cb < 8 ? 0 : static_cast<uint32_t>((m_cb - 8) / 8);
    }
    // Sections that overlap share their tables: each walk of one is paid for.
    if (cProperty > m_pBudget->cbOther / 8) {
        Warn("damaged document properties: their values overlap; the rest are left out");
        cProperty = static_cast<uint32_t>(m_pBudget->cbOther / 8);
    }
    ChargeOther(8 * static_cast<size_t>(cProperty));
    uint32_t pid;
    size_t ib;
    for (uint32_t i = 0; i < cProperty; i++) {
        TableEntry(cProperty, i, &pid, &ib);
        if (pid == pidCodePage) {
            ByteCursor value = CursorAt(m_pb, m_cb, ib);
            m_nCodePage = value.Skip(4) ? value.Le16() : 0;
            break;
        }
    }
    if (!m_decoder.SetCodePage(m_nCodePage)) {
        Warn("document properties in a code page this system cannot convert: read as Windows-1252");
    }
    std::unordered_map<uint32_t, std::string> mapName;
    for (uint32_t i = 0; kind == SetKind::UserDefined && i < cProperty; i++) {
        TableEntry(cProperty, i, &pid, &ib);
        if (pid == pidDictionary) {
            ReadDictionary(ib, &mapName);
            break;
        }
    }
    for (uint32_t i = 0; i < cProperty; i++) {
        TableEntry(cProperty, i, &pid, &ib);
        if (pid == pidDictionary || pid == pidCodePage || pid >= 0x80000000u) {
            continue;
        }
        if (!FitsIn(ib, 4, m_cb)) {
            Warn("damaged document properties: a property points outside its section");
            continue;
        }
        if (kind == SetKind::UserDefined) {
            std::string value;
            if (!ReadValue(ib, &value)) {
                continue;
            }
            // One long name may be given to many properties: each copy is charged.
            std::unordered_map<uint32_t, std::string>::iterator it = mapName.find(pid);
            std::string name = it != mapName.end() ? it->second : std::to_string(pid);
            if (ChargeOther(name.size())) {
                pProps->rgCustom.emplace_back(std::move(name), std::move(value));
            }
            continue;
        }
        for (const PropertyId &id : rgPropertyId) {
            std::string &value = pProps->rgsValue[static_cast<size_t>(id.property)];
            if (id.kind == kind && id.pid == pid && value.empty()) {
                ReadValue(ib, &value);
            }
        }
    }
}

} // namespace

const char *DocPropertyKey(DocProperty property)
{
    static const char *const rgpszKey[] = {"title",      "subject",       "author",      "keywords",
                                           "comments",   "last_saved_by", "application", "created",
                                           "last_saved", "company",       "manager",     "category"};
    return rgpszKey[static_cast<size_t>(property)];
}

bool DocumentProperties::Empty() const
{
    for (const std::string &value : rgsValue) {
        if (!value.empty()) {
            return false;
        }
    }
    return rgCustom.empty();
}

void ReadPropertySetStream(const uint8_t *pb, size_t cb, DocumentProperties *pProps,
                           std::vector<std::string> *prgWarning)
{
    ByteCursor header(pb, cb);
    uint16_t wByteOrder = header.Le16();
    header.Skip(22); // version, system, class id
    uint32_t cSection = header.Le32();
    if (header.FShort() || wByteOrder != 0xFFFE) {
        AddWarning(prgWarning, "damaged document properties: a property set has no valid header");
        return;
    }
    if (cSection > (cb - 28) / 20) {
        AddWarning(prgWarning,
                   "damaged document properties: a property set lists more sections than it holds");
        cSection = static_cast<uint32_t>((cb - 28) / 20);
    }
    Budget budget(cb);
    // A section listed again at its offset (under any format id) would give its properties again.
    std::unordered_set<size_t> setRead;
    for (uint32_t i = 0; i < cSection; i++) {
        // Each entry, which the count above keeps inside the stream, is a format id and an offset.
        const uint8_t *pbFmtid = header.Bytes(16);
        size_t ibSection = header.Le32();
        SetKind kind;
        if (memcmp(pbFmtid, rgbFmtidSummary, 16) == 0) {
            kind = SetKind::Summary;
        } else if (memcmp(pbFmtid, rgbFmtidDocSummary, 16) == 0) {
            kind = SetKind::DocSummary;
        } else if (memcmp(pbFmtid, rgbFmtidUserDefined, 16) == 0) {
            kind = SetKind::UserDefined;
        } else {
            continue; // a section of some other program's own
        }
        if (!FitsIn(ibSection, 8, cb)) {
            AddWarning(prgWarning, "damaged document properties: a section lies outside its stream");
            continue;
        }
        if (!setRead.insert(ibSection).second) {
            AddWarning(prgWarning, "damaged document properties: a section is listed twice");
            continue;
        }
        size_t cbSection = CursorAt(pb, cb, ibSection).Le32();
        if (cbSection > cb - ibSection) {
            AddWarning(prgWarning, "damaged document properties: a section runs past the end of its stream");
            cbSection = cb - ibSection;
        }
        Section(pb + ibSection, cbSection, &budget, prgWarning).Read(kind, pProps);
    }
}

void ReadDocumentProperties(CfbFile *pFile, DocumentProperties *pProps, std::vector<std::string> *prgWarning)
{
    static const char16_t *const rgpwzStream[] = {u"\005SummaryInformation",
                                                  u"\005DocumentSummaryInformation"};
    for (const char16_t *pwzStream : rgpwzStream) {
        std::vector<uint8_t> rgb;
        if (ReadCompoundStream(pFile, pwzStream, &rgb)) {
            ReadPropertySetStream(rgb.data(), rgb.size(), pProps, prgWarning);
        }
    }
}
