// The plug-in's mode: the host folder set up once, then each document extracted through the
// plug-in, its text written as UTF-8 or as the plug-in's bytes, its failures named.
#include "PluginMode.h"

#include "Batch.h"
#include "Cp1251.h"
#include "Host.h"
#include "output/OutputEscape.h"

#include "cellsift.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

namespace {

void WriteBytes(FILE *pf, std::string_view data)
{
    fwrite(data.data(), 1, data.size(), pf);
}

// Names on pfMessages a document that gave no text or only part, and what the plug-in wrote
// to standard error where the user is to see it. Returns true when the document gave text.
bool ReportDocument(const HostFolder &host, const ToolConfig &config, const std::string &path,
                    const Extraction &ex, FILE *pfMessages)
{
    if (!ex.errorText.empty()) {
        fprintf(pfMessages, "cellsift: %s: %s\n", PrintableName(path).c_str(), ex.errorText.c_str());
        return false;
    }
    bool fText = ex.cchText != 0;
    bool fExpected = !fText && IsOnlyEmptyTextDiagnostic(ex.diag);
    if (!ex.diag.empty() && (config.fShowDiagnostics || (!fExpected && !config.fQuiet))) {
        fprintf(pfMessages, "cellsift: %s: plug-in said: %s\n", PrintableName(path).c_str(),
                Cp1251ToUtf8(ex.diag).c_str());
    }
    if (!fText) {
        fprintf(pfMessages, "cellsift: %s: no text: %s\n", PrintableName(path).c_str(),
                DescribeFailure(host, ex.scandeck, path).c_str());
    } else if (ex.scandeck.fQuarantined) {
        // The plug-in raised its failure flag yet returned text: part of the workbook was
        // not read. The text stands; the user should still know.
        fprintf(pfMessages, "cellsift: %s: read in part: %s\n", PrintableName(path).c_str(),
                DescribeFailure(host, ex.scandeck, path).c_str());
    }
    return fText;
}

// The text as the tool prints it: the bytes with --raw, else UTF-8 and a newline; nothing
// when there is no text.
class PluginJob : public BatchJob {
public:
    PluginJob(const HostFolder &host, const ToolConfig &config) : m_host(host), m_config(config) {}
    bool Read(const BatchFile &file, BatchOutput &out, unsigned long long *pcbIn) const override
    {
        Extraction ex = ExtractDocument(m_host, file.path, m_config.nCapacity);
        if (pcbIn != nullptr) {
            *pcbIn = ex.cbFile;
        }
        bool fText = ReportDocument(m_host, m_config, file.path, ex, out.Messages());
        FILE *pf = out.Open(file.rel + ".txt");
        if (pf != nullptr && m_config.fRaw) {
            WriteBytes(pf, ex.Text());
        } else if (pf != nullptr && ex.cchText != 0) {
            WriteCp1251AsUtf8(pf, ex.Text());
            fputc('\n', pf);
        }
        out.Close();
        return fText;
    }

private:
    const HostFolder &m_host;
    const ToolConfig &m_config;
};

// --size: one line per file, the size alone or with several files the size and the file.
int PrintSizes(const HostFolder &host, const ToolConfig &config)
{
    bool fNamed = config.files.size() > 1;
    bool fAllMeasured = true;
    for (const std::string &path : config.files) {
        Extraction ex = MeasureDocument(host, path);
        if (!ex.errorText.empty()) {
            fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), ex.errorText.c_str());
            fAllMeasured = false;
            continue;
        }
        if (!ex.diag.empty() && !config.fQuiet) {
            fprintf(stderr, "cellsift: %s: plug-in said: %s\n", PrintableName(path).c_str(),
                    Cp1251ToUtf8(ex.diag).c_str());
        }
        if (fNamed) {
            printf("%d\t%s\n", ex.nSize, PrintableName(path).c_str());
        } else {
            printf("%d\n", ex.nSize);
        }
        if (ex.nSize == 0) {
            fflush(stdout);
            fprintf(stderr, "cellsift: %s: no workbook stream: %s\n", PrintableName(path).c_str(),
                    DescribeFailure(host, ex.scandeck, path).c_str());
            fAllMeasured = false;
        }
    }
    return fAllMeasured ? 0 : 1;
}

// --scandeck DIR is made when missing; its parent must exist.
bool MakeScandeckDir(const std::string &dir)
{
    struct stat st;
    int nErr = mkdir(dir.c_str(), 0777) == 0 ? 0 : errno;
    if (nErr == EEXIST) {
        nErr = stat(dir.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    if (nErr != 0) {
        fprintf(stderr, "cellsift: cannot create %s: %s\n", PrintableName(dir).c_str(), strerror(nErr));
        return false;
    }
    return true;
}

} // namespace

int PrintAbout(const ToolConfig &config)
{
    char szExtensions[4] = {0};
    char szDescription[37] = {0};
    int cchExt = GetProcessableExtensionsString(szExtensions);
    int cchDesc = GetDescription(szDescription);
    std::string ext(szExtensions, cchExt > 0 && cchExt < 4 ? cchExt : 0);
    std::string desc(szDescription, cchDesc > 0 && cchDesc < 37 ? cchDesc : 0);
    WriteBytes(stdout, config.fRaw ? ext : Cp1251ToUtf8(ext));
    fputc('\n', stdout);
    WriteBytes(stdout, config.fRaw ? desc : Cp1251ToUtf8(desc));
    fputc('\n', stdout);
    return 0;
}

int RunPluginMode(const ToolConfig &config, char **argv)
{
    if (!config.scandeckDir.empty() && !MakeScandeckDir(config.scandeckDir)) {
        return 1;
    }
    ExecInPrivateHostFolder(argv, config.scandeckDir);
    HostFolder host = PrepareHostFolder(config.scandeckDir);
    int nStatus;
    if (config.fSize) {
        nStatus = PrintSizes(host, config);
    } else {
        PluginJob job(host, config);
        BatchSettings settings;
        settings.outDir = config.treeOut;
        settings.fQuiet = config.fQuiet;
        // The plug-in is not made for concurrent calls: its failure flag is global.
        settings.nWorkers = 1;
        settings.pszNotRead = "with no text";
        if (config.treeIn.empty()) {
            settings.fHeaders = config.files.size() > 1;
            std::vector<BatchFile> files;
            for (const std::string &path : config.files) {
                files.push_back({path, path});
            }
            nStatus = RunBatch(job, files, settings);
        } else {
            settings.fTree = true;
            nStatus = RunTree(job, config.treeIn, settings);
        }
    }
    ReleaseHostFolder(host);
    return nStatus;
}
