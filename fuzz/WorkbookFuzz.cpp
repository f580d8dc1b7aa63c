// Fuzz target: the Unicode workbook reader and its printers, on the input as a compound document
// (its property sets too) and as a bare workbook stream, and the reader on that stream encrypted
// with the default password (the first byte picks the scheme). Every text must be valid UTF-8
// (values as their formats show them too), all text together linear in the input, every JSON
// line valid JSON, CSV well formed, and every written form linear too.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "EncryptWorkbook.h"
#include "FormCheck.h"
#include "FuzzUtf8.h"
#include "output/OutputForms.h"
#include "output/SelectingVisitor.h"
#include "workbook/Workbook.h"

namespace {

// The reader's own bound on repeated text, with room for each text's first appearance,
// which can grow up to threefold from its bytes in the file.
const size_t cbOutPerInByte = 64 + 4;
// What a cell's shown text and format code may add to its value: 32 bytes, and beyond that
// the reader's budget for repeated text.
const size_t cbShownFree = 32;
const size_t cbShownPerInByte = 64;
// The printers' own bound (WrittenBudget), with room for the item that crosses it: a string of
// 65,535 characters of up to three bytes, each written in up to six. The bytes it counts are
// the workbook stream's, less than three times the file's of VBA streams and at most twice of
// embedded workbooks': linear in the input.
const size_t cbWrittenPerInByte = 128 * 6;
const size_t cbWrittenSlack = (1 << 20) + 4 * 65535 * 3 * 6;

class CheckingVisitor : public WorkbookVisitor {
public:
    size_t m_cbText = 0;
    size_t m_cbShownExtra = 0;

    void Check(std::string_view text)
    {
        if (!IsUtf8(text)) {
            abort();
        }
        m_cbText += text.size();
    }
    void OnWorkbook(const WorkbookInfo &info) override { Check(info.author); }
    void OnSheet(const SheetInfo &sheet) override { Check(sheet.name); }
    void OnCell(const Cell &cell) override
    {
        Check(cell.text);
        if (!IsUtf8(cell.shown) || !IsUtf8(cell.format) || !IsUtf8(cell.formula)) {
            abort();
        }
        size_t cbShown = cell.shown.size() + cell.format.size();
        m_cbShownExtra +=
            cbShown > cell.text.size() + cbShownFree ? cbShown - cell.text.size() - cbShownFree : 0;
    }
    void OnComment(const Comment &comment) override
    {
        Check(comment.author);
        Check(comment.text);
    }
    void OnTextBox(const TextBox &box) override { Check(box.text); }
    void OnProperties(const DocumentProperties &props) override
    {
        for (const std::string &value : props.rgsValue) {
            Check(value);
        }
        for (const auto &prop : props.rgCustom) {
            Check(prop.first);
            Check(prop.second);
        }
    }
    void OnPageText(const PageText &page) override { Check(page.text); }
    void OnHyperlink(const Hyperlink &link) override
    {
        Check(link.target);
        Check(link.description);
        Check(link.tooltip);
    }
    void OnChart(const Chart &chart) override
    {
        Check(chart.text.title);
        for (const std::vector<std::string> *prgs :
             {&chart.text.series, &chart.text.axes, &chart.text.labels}) {
            for (const std::string &text : *prgs) {
                Check(text);
            }
        }
    }
    void OnWarning(std::string_view message) override { Check(message); }
    // Formulas, names and links are read too, their text UTF-8; their size is the formula
    // engine's to bound, per formula.
    bool WantsFormulas() const override { return true; }
    void CheckUtf8(std::string_view text)
    {
        if (!IsUtf8(text)) {
            abort();
        }
    }
    void OnName(const DefinedName &name) override
    {
        CheckUtf8(name.name);
        CheckUtf8(name.formula);
    }
    void OnExternalLink(const ExternalLink &link) override { CheckUtf8(link.path); }
};

void ReadAndCheck(const WorkbookStream &stream, size_t cbInput)
{
    CheckingVisitor visitor;
    WorkbookError error;
    if (!ReadWorkbook(stream, visitor, &error) && (error.message.empty() || visitor.m_cbText != 0)) {
        abort(); // a failure is reported, and then nothing was visited
    }
    if (visitor.m_cbText > cbOutPerInByte * cbInput + 4096 ||
        visitor.m_cbShownExtra > cbShownPerInByte * cbInput) {
        abort();
    }
}

// Small pieces: the printers reserve half as much again for each, fresh memory on every run
// under the sanitizer, and smaller pieces cross more item boundaries.
const size_t cbPiece = 4096;

void AppendPiece(void *pContext, std::string *ps)
{
    static_cast<std::string *>(pContext)->append(*ps);
}

void PrintAndCheck(const WorkbookStream &stream, size_t cbInput)
{
    for (OutputFormat format : {OutputFormat::Text, OutputFormat::Csv, OutputFormat::Jsonl}) {
        std::string out;
        WorkbookError error;
        if (!StreamWorkbook(stream, format, cbPiece, AppendPiece, &out, nullptr, nullptr, &error) &&
            error.message.empty()) {
            abort();
        }
        if (WrittenBudget(stream) > cbWrittenPerInByte * cbInput + (1 << 20) ||
            out.size() > WrittenBudget(stream) + cbWrittenSlack) {
            abort();
        }
        if ((format == OutputFormat::Jsonl && !IsJsonLines(out)) ||
            (format == OutputFormat::Csv && !IsCsv(out))) {
            abort();
        }
    }
}

// What a workbook that could not be opened still writes (the properties of an encrypted one):
// valid JSON lines, linear in the input.
void CheckFailedOutput(const WorkbookStream &stream, const WorkbookError &error, size_t cbInput)
{
    char *pch = nullptr;
    size_t cb = 0;
    FILE *pf = open_memstream(&pch, &cb);
    if (pf == nullptr) {
        return;
    }
    WriteLockedProperties(stream, error, OutputFormat::Jsonl, WorkbookSelection(), "f", pf);
    fclose(pf);
    bool fOk = cb <= cbWrittenPerInByte * cbInput + cbWrittenSlack && IsJsonLines(std::string_view(pch, cb));
    free(pch);
    if (!fOk) {
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    WorkbookStream stream;
    WorkbookError error;
    if (OpenWorkbookMemory(pbData, cbData, &stream, &error)) {
        ReadAndCheck(stream, cbData);
        PrintAndCheck(stream, cbData);
    } else if (error.message.empty()) {
        abort();
    } else {
        CheckFailedOutput(stream, error, cbData);
    }
    stream.Assign(pbData, cbData);
    ReadAndCheck(stream, cbData);
    PrintAndCheck(stream, cbData);
    if (cbData > 1) {
        std::vector<uint8_t> plain(pbData + 1, pbData + cbData), cipher;
        try {
            cipher = EncryptStream(
                WithFilePass(plain, static_cast<EncryptScheme>(pbData[0] % 4), "VelvetSweatshop", pbData[0]),
                "VelvetSweatshop");
        } catch (const std::invalid_argument &) {
            return 0; // no BOF to put FILEPASS after, or RC4 asked of an older version
        }
        stream.Assign(cipher.data(), cipher.size());
        ReadAndCheck(stream, cipher.size());
    }
    return 0;
}
