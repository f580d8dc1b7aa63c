// The workbook reader's mode as a batch job: each workbook printed through the reader into
// the batch's output, and with CSV into OUTDIR each sheet into a file of its own.
#include "ReaderMode.h"

#include <sys/stat.h>

#include <set>

#include "Batch.h"
#include "WorkbookOutput.h"
#include "output/CaseFold.h"

namespace {

const size_t cbSheetNameMax = 100;

const char *Extension(OutputFormat format)
{
    return format == OutputFormat::Csv     ? ".csv"
           : format == OutputFormat::Jsonl ? ".jsonl"
           : format == OutputFormat::Html  ? ".html"
                                           : ".txt";
}

// The sheets of one workbook on their way to their files.
struct SheetFiles {
    BatchOutput *pOut;
    std::string base;
    std::set<std::string> used;
};

FILE *OpenSheetFile(void *pContext, const SheetInfo &sheet)
{
    SheetFiles &files = *static_cast<SheetFiles *>(pContext);
    std::string name = files.base + "." + SafeSheetName(sheet.name);
    // Every name given is taken, the numbered ones too: a sheet named like one of those must
    // not write over it. Names that differ in letter case only are one file on some systems.
    while (!files.used.insert(FoldCase(name)).second) {
        name += "~" + std::to_string(sheet.iSheet);
    }
    FILE *pf = files.pOut->Open(name + ".csv");
    // The writer closes no sheet it was given no stream for; this close names the failure.
    if (pf == nullptr) {
        files.pOut->Close();
    }
    return pf;
}

void CloseSheetFile(void *pContext, FILE *)
{
    static_cast<SheetFiles *>(pContext)->pOut->Close();
}

class ReaderJob : public BatchJob {
public:
    ReaderJob(OutputFormat format, const WorkbookSelection &selection)
            : m_format(format), m_selection(selection)
    {}
    bool Read(const BatchFile &file, BatchOutput &out, unsigned long long *pcbIn) const override
    {
        struct stat st;
        if (pcbIn != nullptr) {
            *pcbIn = stat(file.path.c_str(), &st) == 0 ? static_cast<unsigned long long>(st.st_size) : 0;
        }
        if (m_format == OutputFormat::Csv && out.ToFiles()) {
            SheetFiles sheets = {&out, file.rel, {}};
            return PrintWorkbookSheets(file.path, m_selection, OpenSheetFile, CloseSheetFile, &sheets,
                                       out.Messages());
        }
        FILE *pf = out.Open(file.rel + Extension(m_format));
        bool fRead = pf != nullptr && PrintWorkbook(file.path, m_format, m_selection, pf, out.Messages());
        out.Close();
        return fRead;
    }

private:
    OutputFormat m_format;
    const WorkbookSelection &m_selection;
};

std::string BaseName(const std::string &path)
{
    if (path == "-") {
        return "stdin";
    }
    size_t ich = path.find_last_of('/');
    return ich == std::string::npos ? path : path.substr(ich + 1);
}

} // namespace

std::string SafeSheetName(std::string_view name)
{
    std::string safe;
    for (char ch : name.substr(0, cbSheetNameMax)) {
        safe.push_back(static_cast<unsigned char>(ch) < 0x20 ||
                               std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos
                           ? '_'
                           : ch);
    }
    // Cut where a character starts, not inside one.
    if (name.size() > cbSheetNameMax) {
        while (!safe.empty() && (static_cast<unsigned char>(safe.back()) & 0xC0) == 0x80) {
            safe.pop_back();
        }
        if (!safe.empty() && static_cast<unsigned char>(safe.back()) >= 0xC0) {
            safe.pop_back();
        }
    }
    if (safe.find_first_not_of('.') == std::string::npos) {
        safe = "_";
    }
    return safe;
}

int RunReaderMode(const ToolConfig &config)
{
    ReaderJob job(config.format, config.selection);
    BatchSettings settings;
    settings.outDir = config.treeOut;
    settings.fQuiet = config.fQuiet;
    if (!config.treeIn.empty()) {
        settings.fTree = true;
        settings.fHeaders = config.format != OutputFormat::Jsonl;
        settings.nWorkers = config.nWorkers;
        return RunTree(job, config.treeIn, settings);
    }
    settings.fHeaders = config.files.size() > 1 && config.format != OutputFormat::Jsonl;
    std::vector<BatchFile> files;
    for (const std::string &path : config.files) {
        files.push_back({path, BaseName(path)});
    }
    return RunBatch(job, files, settings);
}
