// Reading a VBA project: its dir stream's module list, the PROJECT stream's kinds, and each
// module's compressed source, decoded by the project's code page.
#include "vba/VbaProject.h"

#include <set>

#include "biff/ByteCursor.h"
#include "cfb/CompoundFile.h"
#include "unicode/TextDecode.h"
#include "vba/VbaDecompress.h"

namespace {

enum : uint16_t {
    idCodePage = 0x0003,
    idVersion = 0x0009,
    idModuleName = 0x0019,
    idStreamName = 0x001A,
    idProcedural = 0x0021,
    idNonProcedural = 0x0022,
    idModuleEnd = 0x002B,
    idModuleOffset = 0x0031,
    idStreamNameUnicode = 0x0032,
    idDirEnd = 0x0010,
};

// What a stream of cb compressed bytes may decompress to: real source shrinks by a few times,
// so this only stops a container built to multiply.
size_t DecompressedMax(size_t cb)
{
    return cb * 64 + 65536;
}

std::u16string Utf16OfUnits(const uint8_t *pb, size_t cb)
{
    std::u16string s;
    for (size_t ib = 0; ib + 1 < cb; ib += 2) {
        s.push_back((char16_t)Le16At(pb + ib));
    }
    return s;
}

// The value after "Key=" on a PROJECT line, up to a '/' (Document= adds its cookie after one).
bool LineNames(const std::string &line, const char *pszKey, const std::string &name)
{
    std::string key = std::string(pszKey) + "=";
    if (line.compare(0, key.size(), key) != 0) {
        return false;
    }
    std::string value = line.substr(key.size());
    if (std::string(pszKey) == "Document") {
        value = value.substr(0, value.find('/'));
    }
    return value == name;
}

} // namespace

void ParseVbaDir(const uint8_t *pb, size_t cb, VbaDir *pDir, std::vector<std::string> *pWarnings)
{
    ByteCursor cursor(pb, cb);
    VbaDirModule module;
    bool fInModule = false;
    bool fEnded = false;
    while (cursor.CbLeft() > 0 && !fEnded) {
        uint16_t id = cursor.Le16();
        // The version record's size field is a constant 4 that does not count its 6 bytes.
        uint32_t cbRecord = cursor.Le32();
        if (id == idVersion) {
            cbRecord = 6;
        }
        const uint8_t *pbRecord = cursor.Bytes(cbRecord);
        if (cursor.FShort()) {
            if (!fInModule) {
                pWarnings->push_back("the VBA project's dir stream is cut short inside a record");
            }
            break;
        }
        ByteCursor record(pbRecord, cbRecord);
        switch (id) {
        case idCodePage: pDir->nCodePage = record.Le16(); break;
        case idModuleName:
            if (fInModule) {
                pDir->modules.push_back(module);
            }
            module = VbaDirModule();
            module.name.assign(reinterpret_cast<const char *>(pbRecord), cbRecord);
            fInModule = true;
            break;
        case idStreamName:
            if (module.stream.empty()) {
                module.stream.assign(pbRecord, pbRecord + cbRecord);
            }
            break;
        case idStreamNameUnicode: module.stream = Utf16OfUnits(pbRecord, cbRecord); break;
        case idModuleOffset: module.ibSource = record.Le32(); break;
        case idProcedural: module.fProcedural = true; break;
        case idNonProcedural: module.fProcedural = false; break;
        case idModuleEnd:
            if (fInModule) {
                pDir->modules.push_back(module);
            }
            fInModule = false;
            break;
        case idDirEnd: fEnded = true; break;
        default: break;
        }
    }
    // A module cut off before its stream's name has nothing to read.
    if (fInModule) {
        pWarnings->push_back("the VBA project's dir stream ends inside module '" + module.name + "'");
        if (!module.stream.empty()) {
            pDir->modules.push_back(module);
        }
    }
}

std::string VbaModuleKind(const std::string &project, const VbaDirModule &module)
{
    if (module.fProcedural) {
        return "standard";
    }
    size_t ib = 0;
    while (ib < project.size()) {
        size_t ibEnd = project.find_first_of("\r\n", ib);
        if (ibEnd == std::string::npos) {
            ibEnd = project.size();
        }
        std::string line = project.substr(ib, ibEnd - ib);
        if (LineNames(line, "Document", module.name)) {
            return "document";
        }
        if (LineNames(line, "BaseClass", module.name)) {
            return "form";
        }
        if (line == "[Workspace]") {
            break;
        }
        ib = ibEnd + 1;
    }
    return "class";
}

void ReadVbaProject(CfbFile *pFile, VbaProject *pProject)
{
    uint32_t idProject = 0, idVba = 0;
    CfbDirEntry entry;
    if (CfbFindEntry(pFile, 0, u"_VBA_PROJECT_CUR", &idProject, &entry) != CfbResult::Ok) {
        return;
    }
    pProject->fPresent = true;
    std::vector<std::string> &warnings = pProject->warnings;
    std::vector<uint8_t> rgb;
    if (CfbFindEntry(pFile, idProject, u"VBA", &idVba, &entry) != CfbResult::Ok ||
        !ReadCompoundStream(pFile, u"dir", &rgb, idVba)) {
        warnings.push_back("the VBA project has no dir stream: its modules cannot be found");
        return;
    }
    uint64_t cbReadMax = pFile->m_cbFile * 2, cbRead = rgb.size();
    std::string dir;
    if (VbaDecompress(rgb.data(), rgb.size(), DecompressedMax(rgb.size()), &dir) != VbaDecompressResult::Ok) {
        warnings.push_back(
            "the VBA project's dir stream is damaged: only the modules before the damage are read");
    }
    VbaDir parsed;
    ParseVbaDir(reinterpret_cast<const uint8_t *>(dir.data()), dir.size(), &parsed, &warnings);
    pProject->cbRead = cbRead;
    dir.clear();
    dir.shrink_to_fit();

    std::string project;
    CodePageDecoder decoder;
    if (!decoder.SetCodePage(parsed.nCodePage)) {
        warnings.push_back("the VBA project's code page " + std::to_string(parsed.nCodePage) +
                           " cannot be converted: its text is read as Windows-1252");
    }
    if (ReadCompoundStream(pFile, u"PROJECT", &rgb, idProject)) {
        cbRead += rgb.size();
        project.assign(rgb.begin(), rgb.end());
    }
    std::set<uint32_t> streamsRead;
    // A module's trouble is said once per module, and at most this many times in all: a
    // damaged dir may list modules by the hundred thousand.
    const size_t cWarningMax = warnings.size() + 100;
    size_t cUnsaid = 0;
    auto warn = [&](const std::string &warning) {
        if (warnings.size() < cWarningMax) {
            warnings.push_back(warning);
        } else {
            cUnsaid++;
        }
    };
    for (const VbaDirModule &dirModule : parsed.modules) {
        VbaModule module;
        decoder.Append(reinterpret_cast<const uint8_t *>(dirModule.name.data()), dirModule.name.size(),
                       &module.name);
        module.kind = VbaModuleKind(project, dirModule);
        std::string where = "VBA module '" + module.name + "'";
        uint32_t idStream = 0;
        if (dirModule.stream.empty() || dirModule.stream.size() > 31 ||
            CfbFindEntry(pFile, idVba, dirModule.stream.c_str(), &idStream, &entry) != CfbResult::Ok) {
            warn(where + " has no stream");
            continue;
        }
        if (!streamsRead.insert(idStream).second) {
            warn(where + " is not read: its stream is another module's");
            continue;
        }
        if (cbRead >= cbReadMax) {
            warn(where + " is not read: the project's streams claim more than the file holds");
            continue;
        }
        ReadCompoundStream(pFile, dirModule.stream.c_str(), &rgb, idVba);
        cbRead += rgb.size();
        if (dirModule.ibSource > rgb.size()) {
            warn(where + ": its source begins past the end of its stream");
            continue;
        }
        size_t cbSource = rgb.size() - dirModule.ibSource;
        std::string source;
        VbaDecompressResult result =
            VbaDecompress(rgb.data() + dirModule.ibSource, cbSource, DecompressedMax(cbSource), &source);
        if (result == VbaDecompressResult::Damaged) {
            warn(where + ": its source is damaged; what comes before the damage is kept");
        } else if (result == VbaDecompressResult::TooLarge) {
            warn(where + ": its source decompresses to more than its stream could hold; it is cut");
        }
        decoder.Append(reinterpret_cast<const uint8_t *>(source.data()), source.size(), &module.code);
        pProject->modules.push_back(std::move(module));
    }
    pProject->cbRead = cbRead;
    if (cUnsaid > 0) {
        warnings.push_back(std::to_string(cUnsaid) + " more warnings about VBA modules are left out");
    }
}
