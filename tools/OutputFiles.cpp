// The files -o OUTDIR makes for FILE operands; the tree below OUTDIR is written through
// TreeFile, like -r -o, so a link there is replaced, never written through.
#include "OutputFiles.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <set>

#include "Tree.h"
#include "TreeFile.h"
#include "WorkbookOutput.h"
#include "output/OutputEscape.h"

namespace {

const size_t cbSheetNameMax = 100;

// The sheets of one workbook on their way to their files.
struct SheetFiles {
    std::string outDir;
    std::string base;
    std::set<std::string> used;
    std::unique_ptr<TreeFile> pFile;
    std::string current;
    bool fAllWritten = true;
};

void Report(const SheetFiles &files, const std::string &error)
{
    fprintf(stderr, "cellsift: cannot write %s: %s\n", PrintableName(files.outDir + "/" + files.current).c_str(),
            error.c_str());
}

FILE *OpenSheetFile(void *pContext, const SheetInfo &sheet)
{
    SheetFiles &files = *static_cast<SheetFiles *>(pContext);
    std::string name = files.base + "." + SafeSheetName(sheet.name);
    if (!files.used.insert(name).second)
        name += "~" + std::to_string(sheet.iSheet);
    files.current = name + ".csv";
    files.pFile.reset(new TreeFile());
    if (!files.pFile->Open(files.outDir, files.current)) {
        Report(files, files.pFile->Error());
        files.fAllWritten = false;
        return nullptr;
    }
    return files.pFile->Stream();
}

void CloseSheetFile(void *pContext, FILE *)
{
    SheetFiles &files = *static_cast<SheetFiles *>(pContext);
    if (!files.pFile->Commit()) {
        Report(files, files.pFile->Error());
        files.fAllWritten = false;
    }
}

std::string BaseName(const std::string &path)
{
    if (path == "-")
        return "stdin";
    size_t ich = path.find_last_of('/');
    return ich == std::string::npos ? path : path.substr(ich + 1);
}

} // namespace

std::string SafeSheetName(std::string_view name)
{
    std::string safe;
    for (char ch : name.substr(0, cbSheetNameMax))
        safe.push_back((unsigned char)ch < 0x20 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos
                           ? '_'
                           : ch);
    // Cut where a character starts, not inside one.
    if (name.size() > cbSheetNameMax) {
        while (!safe.empty() && ((unsigned char)safe.back() & 0xC0) == 0x80)
            safe.pop_back();
        if (!safe.empty() && (unsigned char)safe.back() >= 0xC0)
            safe.pop_back();
    }
    if (safe.find_first_not_of('.') == std::string::npos)
        safe = "_";
    return safe;
}

int RunReaderToFiles(OutputFormat format, const WorkbookSelection &selection, const std::vector<std::string> &files,
                     const std::string &outDir)
{
    if (!MakeDirectories(outDir)) {
        fprintf(stderr, "cellsift: cannot create output folder %s: %s\n", PrintableName(outDir).c_str(),
                strerror(errno));
        return 1;
    }
    bool fAll = true;
    for (const std::string &path : files) {
        SheetFiles sheets;
        sheets.outDir = outDir;
        sheets.base = BaseName(path);
        if (format == OutputFormat::Csv) {
            fAll = PrintWorkbookSheets(path, selection, OpenSheetFile, CloseSheetFile, &sheets, stderr) &&
                   sheets.fAllWritten && fAll;
            continue;
        }
        sheets.current = sheets.base + (format == OutputFormat::Jsonl ? ".jsonl" : ".txt");
        TreeFile file;
        if (!file.Open(outDir, sheets.current)) {
            Report(sheets, file.Error());
            fAll = false;
            continue;
        }
        fAll = PrintWorkbook(path, format, selection, file.Stream(), stderr) && fAll;
        if (!file.Commit()) {
            Report(sheets, file.Error());
            fAll = false;
        }
    }
    return fAll ? 0 : 1;
}
