// Property sets: the stream's header and its sections by format id, each section's table of ids
// and offsets, its code page and names, and the mapping of its ids to the document's properties.
#include "workbook/PropertySet.h"

#include <string.h>

#include <unordered_map>
#include <unordered_set>

#include "cfb/CompoundFile.h"
#include "workbook/CompoundStream.h"
#include "workbook/PropertyValue.h"

namespace {

const uint8_t rgbFmtidSummary[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                     0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
const uint8_t rgbFmtidDocSummary[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                        0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
const uint8_t rgbFmtidUserDefined[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                         0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

const uint32_t pidDictionary = 0;
const uint32_t pidCodePage = 1;
const int nCodePageUnicode = 1200;

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

// One section: its bytes (bounded by the size it declares and by the stream), its code page.
class Section {
public:
    Section(const uint8_t *pb, size_t cb, PropertyBudget *pBudget)
            : m_pb(pb), m_cb(cb), m_pBudget(pBudget), m_nCodePage(1252), m_text(pBudget)
    {}
    void Read(SetKind kind, DocumentProperties *pProps);

private:
    void Warn(const char *psz) { m_pBudget->Warn(psz); }
    // Appends the text of the value at ib; false when its type is not one shown as text, or
    // when the budget for it is spent.
    bool ReadValue(size_t ib, std::string *ps) { return m_text.AppendValue(CursorAt(m_pb, m_cb, ib), ps); }
    // The id and offset of entry i of the table of cProperty entries after the section's header.
    void TableEntry(uint32_t cProperty, uint32_t i, uint32_t *ppid, size_t *pib) const;
    void ReadDictionary(size_t ib, std::unordered_map<uint32_t, std::string> *pmapName);

    const uint8_t *m_pb;
    size_t m_cb;
    PropertyBudget *m_pBudget;
    int m_nCodePage;
    PropertyText m_text;
};

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
        if (!m_pBudget->ChargeOther(8)) {
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
        if (fUnicode) {
            m_text.AppendWideText(pbName, cbName, &name);
        } else {
            m_text.AppendCodePageText(pbName, cbName, &name);
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
    if (cProperty > m_pBudget->CbOtherLeft() / 8) {
        Warn("damaged document properties: their values overlap; the rest are left out");
        cProperty = static_cast<uint32_t>(m_pBudget->CbOtherLeft() / 8);
    }
    m_pBudget->ChargeOther(8 * static_cast<size_t>(cProperty));
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
    if (!m_text.SetCodePage(m_nCodePage)) {
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
            if (m_pBudget->ChargeOther(name.size())) {
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
    PropertyBudget budget(cb, prgWarning);
    ByteCursor header(pb, cb);
    uint16_t wByteOrder = header.Le16();
    header.Skip(22); // version, system, class id
    uint32_t cSection = header.Le32();
    if (header.FShort() || wByteOrder != 0xFFFE) {
        budget.Warn("damaged document properties: a property set has no valid header");
        return;
    }
    if (cSection > (cb - 28) / 20) {
        budget.Warn("damaged document properties: a property set lists more sections than it holds");
        cSection = static_cast<uint32_t>((cb - 28) / 20);
    }
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
            budget.Warn("damaged document properties: a section lies outside its stream");
            continue;
        }
        if (!setRead.insert(ibSection).second) {
            budget.Warn("damaged document properties: a section is listed twice");
            continue;
        }
        size_t cbSection = CursorAt(pb, cb, ibSection).Le32();
        if (cbSection > cb - ibSection) {
            budget.Warn("damaged document properties: a section runs past the end of its stream");
            cbSection = cb - ibSection;
        }
        Section(pb + ibSection, cbSection, &budget).Read(kind, pProps);
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
