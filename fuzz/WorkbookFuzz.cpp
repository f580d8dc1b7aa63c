// Fuzz target: the Unicode workbook reader, on the input as a compound document and as a bare
// workbook stream. Every text must be valid UTF-8 and all text together linear in the input.
#include <stdint.h>
#include <stdlib.h>

#include "FuzzUtf8.h"
#include "workbook/Workbook.h"

namespace {

// The reader's own bound on repeated text, with room for each text's first appearance,
// which can grow up to threefold from its bytes in the file.
const size_t cbOutPerInByte = 64 + 4;

class CheckingVisitor : public WorkbookVisitor {
public:
    size_t m_cbText = 0;

    void Check(std::string_view text)
    {
        if (!IsUtf8(text))
            abort();
        m_cbText += text.size();
    }
    void OnWorkbook(const WorkbookInfo &info) override { Check(info.author); }
    void OnSheet(const SheetInfo &sheet) override { Check(sheet.name); }
    void OnCell(const Cell &cell) override { Check(cell.text); }
    void OnComment(const Comment &comment) override
    {
        Check(comment.author);
        Check(comment.text);
    }
    void OnTextBox(const TextBox &box) override { Check(box.text); }
    void OnWarning(std::string_view message) override { Check(message); }
};

void ReadAndCheck(const WorkbookStream &stream, size_t cbInput)
{
    CheckingVisitor visitor;
    WorkbookError error;
    if (!ReadWorkbook(stream, visitor, &error) && (error.message.empty() || visitor.m_cbText != 0))
        abort(); // a failure is reported, and then nothing was visited
    if (visitor.m_cbText > cbOutPerInByte * cbInput + 4096)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    WorkbookStream stream;
    WorkbookError error;
    if (OpenWorkbookMemory(pbData, cbData, &stream, &error))
        ReadAndCheck(stream, cbData);
    else if (error.message.empty())
        abort();
    stream.Assign(pbData, cbData);
    ReadAndCheck(stream, cbData);
    return 0;
}
