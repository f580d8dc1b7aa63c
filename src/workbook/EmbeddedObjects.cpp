// Embedded documents: the storages an OLE object keeps in the workbook's compound document, their
// \001CompObj class, \001Ole10Native package, property sets and, for a workbook, its stream.
#include "workbook/EmbeddedObjects.h"

#include <string>

#include "biff/ByteCursor.h"
#include "cfb/CompoundFile.h"
#include "properties/PropertySet.h"
#include "unicode/TextDecode.h"
#include "workbook/Workbook.h"

namespace {

struct EmbeddedBudget {
    uint64_t cbLeft;     // bytes the copies may still take
    size_t cObjectsLeft; // objects still to be read
    size_t cObjectsSkipped;
};

std::string Utf8Name(const char16_t *pwz)
{
    std::string s;
    Utf8Writer writer(&s);
    for (size_t i = 0; i < 32 && pwz[i] != 0; i++) {
        uint8_t rgb[2] = {(uint8_t)(pwz[i] & 0xFF), (uint8_t)(pwz[i] >> 8)};
        writer.AppendUtf16Le(rgb, 1);
    }
    writer.Finish();
    return s;
}

bool StartsWith(const char16_t *pwz, const char16_t *pwzPrefix)
{
    for (; *pwzPrefix != 0; pwz++, pwzPrefix++) {
        if (*pwz != *pwzPrefix) {
            return false;
        }
    }
    return true;
}

// A string of Windows-1252 bytes up to its first NUL, as UTF-8.
std::string AnsiText(const uint8_t *pb, size_t cb)
{
    size_t cch = 0;
    while (cch < cb && pb[cch] != 0) {
        cch++;
    }
    std::string s;
    CodePageDecoder decoder;
    decoder.Append(pb, cch, &s);
    return s;
}

// The user type of a \001CompObj stream: after a 28-byte header, a length-prefixed string.
std::string CompObjClass(const std::vector<uint8_t> &rgb)
{
    ByteCursor cursor(rgb.data(), rgb.size());
    cursor.Skip(28);
    uint32_t cch = cursor.Le32();
    const uint8_t *pb = cursor.Bytes(cch);
    return pb == nullptr ? std::string() : AnsiText(pb, cch);
}

// The label of a \001Ole10Native package: after its size and a 2-byte type, a NUL-ended
// string; the packaged file's name as the object shows it.
std::string PackageLabel(const std::vector<uint8_t> &rgb)
{
    if (rgb.size() <= 6) {
        return std::string();
    }
    return AnsiText(rgb.data() + 6, rgb.size() - 6);
}

void ReadObjectsOf(CfbFile *pFile, uint32_t idStorage, const std::string &prefix, int nDepth, bool fPool,
                   EmbeddedBudget *pBudget, std::vector<EmbeddedObject> *pObjects);

void ReadObject(CfbFile *pFile, uint32_t id, const std::string &path, int nDepth, EmbeddedBudget *pBudget,
                std::vector<EmbeddedObject> *pObjects)
{
    EmbeddedObject object;
    object.path = path;
    std::vector<uint8_t> rgb;
    // Each stream is charged before it is read: a hostile directory may point many objects at
    // the same sectors.
    auto take = [&](const char16_t *pwzStream) {
        CfbStreamMap map;
        if (CfbOpenStreamIn(pFile, id, pwzStream, &map) != CfbResult::Ok) {
            return false;
        }
        uint64_t cbWant = map.m_cbSize < pFile->m_cbFile ? map.m_cbSize : pFile->m_cbFile;
        if (cbWant > pBudget->cbLeft) {
            object.warnings.push_back("embedded object " + path +
                                      ": its streams claim more than the file holds");
            pBudget->cbLeft = 0;
            return false;
        }
        pBudget->cbLeft -= cbWant;
        return ReadCompoundStream(pFile, pwzStream, &rgb, id);
    };
    if (take(u"\001CompObj")) {
        object.className = CompObjClass(rgb);
    }
    if (take(u"\001Ole10Native")) {
        object.packageName = PackageLabel(rgb);
    }
    for (const char16_t *pwzStream : {u"\005SummaryInformation", u"\005DocumentSummaryInformation"}) {
        if (take(pwzStream)) {
            ReadPropertySetStream(rgb.data(), rgb.size(), &object.properties, &object.warnings);
        }
    }
    bool fBook = false;
    if (take(u"Workbook") || (fBook = take(u"Book"))) {
        object.workbook = std::make_shared<WorkbookStream>();
        WorkbookStream &stream = *object.workbook;
        stream.Assign(rgb.data(), rgb.size());
        stream.cbDeclared = rgb.size();
        stream.fBook = fBook;
        stream.properties = object.properties;
        if (nDepth + 1 < cEmbeddedDepthMax) {
            ReadObjectsOf(pFile, id, path + "/", nDepth + 1, false, pBudget, &stream.embedded);
        }
    }
    pObjects->push_back(std::move(object));
}

// The object storages in storage idStorage: those named MBD…, or in an ObjectPool every one.
void ReadObjectsOf(CfbFile *pFile, uint32_t idStorage, const std::string &prefix, int nDepth, bool fPool,
                   EmbeddedBudget *pBudget, std::vector<EmbeddedObject> *pObjects)
{
    std::vector<std::pair<uint32_t, CfbDirEntry>> rgEntry;
    CfbListStorage(pFile, idStorage, &rgEntry);
    for (const auto &[id, entry] : rgEntry) {
        if (entry.m_bType != bTypeStorage) {
            continue;
        }
        std::string name = Utf8Name(entry.m_rgwName);
        if (!fPool && name == "ObjectPool") {
            ReadObjectsOf(pFile, id, prefix + name + "/", nDepth, true, pBudget, pObjects);
        } else if (fPool || StartsWith(entry.m_rgwName, u"MBD")) {
            if (pBudget->cObjectsLeft == 0) {
                pBudget->cObjectsSkipped++;
                continue;
            }
            pBudget->cObjectsLeft--;
            ReadObject(pFile, id, prefix + name, nDepth, pBudget, pObjects);
        }
    }
}

} // namespace

void ReadEmbeddedObjects(CfbFile *pFile, std::vector<EmbeddedObject> *pObjects,
                         std::vector<std::string> *pWarnings)
{
    EmbeddedBudget budget = {pFile->m_cbFile * 2, cEmbeddedObjectsMax, 0};
    ReadObjectsOf(pFile, 0, "", 0, false, &budget, pObjects);
    if (budget.cObjectsSkipped > 0) {
        pWarnings->push_back(std::to_string(budget.cObjectsSkipped) + " more embedded objects are not read");
    }
}
