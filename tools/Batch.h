// The batch both modes run: files read in order by one or more workers, each file's output
// on standard output after its '==> FILE <==' line or in files below OUTDIR, then its messages.
#ifndef CELLSIFT_TOOLS_BATCH_H
#define CELLSIFT_TOOLS_BATCH_H

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "TreeFile.h"

struct BatchFile {
    std::string path; // as opened, and as headers and messages name it
    std::string rel;  // its output's name below OUTDIR, before the extension the mode adds
};

// Where one file's output and messages go while it is read; one per file, on the thread
// that reads it.
class BatchOutput {
public:
    BatchOutput(const std::string &outDir, FILE *pfOut, FILE *pfMessages);
    ~BatchOutput();
    BatchOutput(const BatchOutput &) = delete;
    BatchOutput &operator=(const BatchOutput &) = delete;

    bool ToFiles() const { return !m_outDir.empty(); }
    // The stream for the output named rel below OUTDIR; without OUTDIR the one output stream,
    // whatever rel is. Each Open is followed by Close. A file that cannot be made gives a
    // stream that drops what it is given (null only when even that cannot be had), and Close
    // names the failure, after the messages of the reading.
    FILE *Open(const std::string &rel);
    // Ends what Open began: the file written whole under a temporary name, which the batch's
    // writer renames in the run's order (Staged), or why not named in the messages.
    void Close();
    FILE *Messages() const { return m_pfMessages; }
    std::vector<StagedFile> &Staged() { return m_staged; }
    bool AllWritten() const { return m_fAllWritten; }

private:
    std::string m_outDir;
    FILE *m_pfOut;
    FILE *m_pfMessages;
    std::unique_ptr<TreeFile> m_pFile;
    FILE *m_pfDiscard = nullptr;
    std::string m_rel;
    std::string m_error; // why the file at m_rel could not be made
    std::vector<StagedFile> m_staged;
    bool m_fAllWritten = true;
};

class BatchJob {
public:
    virtual ~BatchJob() = default;
    // Reads one file and puts its output through out; true when it was read (with the
    // plug-in: gave text). *pcbIn receives the file's size unless pcbIn is null (only the
    // summary and the progress line count bytes). With several workers it runs on several
    // threads at once.
    virtual bool Read(const BatchFile &file, BatchOutput &out, unsigned long long *pcbIn) const = 0;
};

struct BatchSettings {
    std::string outDir;    // empty: standard output
    bool fHeaders = false; // a '==> FILE <==' line before each output on standard output
    unsigned nWorkers = 1;
    // -r: a progress line on a terminal and a summary, on standard output with OUTDIR, else on
    // standard error; -q leaves both out but the summary on standard output.
    bool fTree = false;
    bool fQuiet = false;
    const char *pszNotRead = "not read"; // the summary's words for the files that failed
};

// Runs job over files in their order; returns the exit status, 0 when every file was read
// and its output written. Below OUTDIR an output never replaces one the run wrote before: it
// is numbered (OutputNames) and named on standard error.
int RunBatch(const BatchJob &job, const std::vector<BatchFile> &files, const BatchSettings &settings);

// The same over the workbooks under dir (-r), each with its path below dir as output name;
// status 1 also when dir or a folder below it could not be read.
int RunTree(const BatchJob &job, const std::string &dir, const BatchSettings &settings);

#endif
