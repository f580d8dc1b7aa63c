// The Python extension: a workbook read from a path or a buffer with the GIL released, then
// handed to Python as plain tuples that the package's own classes wrap.
#include <pybind11/pybind11.h>

#include <errno.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "workbook/Workbook.h"
#include "workbook/WorkbookFormat.h"

#include "StrWriter.h"

namespace py = pybind11;

namespace {

enum { kindText, kindNumber, kindDate, kindBool, kindError };

// A cell as gathered while the GIL is released; Python objects are made afterwards.
struct HeldCell {
    uint32_t row;
    uint32_t col;
    CellKind kind;
    double dNumber;
    bool fBool;
    std::string text;
    std::string shown;
};

struct HeldSheet {
    std::string name;
    SheetKind kind;
    bool fHidden;
    std::vector<HeldCell> rgCell;
    std::vector<Comment> rgComment;        // views replaced by the strings below
    std::vector<std::string> rgCommentText; // author, text, author, text, ...
    std::vector<std::string> rgTextBox;
};

struct HeldWorkbook : WorkbookVisitor {
    bool fAuthor = false;
    std::string author;
    int nBiff = 0;
    int nCodePage = -1;
    bool fDate1904 = false;
    std::vector<HeldSheet> rgSheet;
    std::vector<std::string> rgWarning;

    HeldSheet &SheetAt(uint32_t iSheet)
    {
        // Sheets are announced before their contents; anything else goes to the last one.
        if (rgSheet.empty()) {
            rgSheet.push_back(HeldSheet{"", SheetKind::Worksheet, false, {}, {}, {}, {}});
        }
        return iSheet < rgSheet.size() ? rgSheet[iSheet] : rgSheet.back();
    }

    void OnWorkbook(const WorkbookInfo &info) override
    {
        fAuthor = info.fAuthor;
        author.assign(info.author);
        nBiff = info.nBiff;
        nCodePage = info.nCodePage;
        fDate1904 = info.fDate1904;
    }
    void OnSheet(const SheetInfo &info) override
    {
        rgSheet.push_back(HeldSheet{std::string(info.name), info.kind, info.fHidden, {}, {}, {}, {}});
    }
    void OnCell(const Cell &cell) override
    {
        SheetAt(cell.iSheet).rgCell.push_back(
            HeldCell{cell.row, cell.col, cell.kind, cell.dNumber, cell.fBool, std::string(cell.text),
                     std::string(cell.shown)});
    }
    void OnComment(const Comment &comment) override
    {
        HeldSheet &sheet = SheetAt(comment.iSheet);
        sheet.rgComment.push_back(comment);
        sheet.rgCommentText.emplace_back(comment.author);
        sheet.rgCommentText.emplace_back(comment.text);
    }
    void OnTextBox(const TextBox &box) override { SheetAt(box.iSheet).rgTextBox.emplace_back(box.text); }
    void OnWarning(std::string_view message) override { rgWarning.emplace_back(message); }
};

py::str Utf8(const char *pb, size_t cb)
{
    PyObject *p = PyUnicode_DecodeUTF8(pb, static_cast<Py_ssize_t>(cb), "replace");
    if (p == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(p);
}

py::str Utf8(const std::string &s) { return Utf8(s.data(), s.size()); }

// The errno behind a message the reader made with strerror, or 0: the package raises the
// matching OSError subclass (FileNotFoundError, PermissionError, ...) from it.
int ErrnoOf(const std::string &message)
{
    static const int rgnErr[] = {ENOENT,       EACCES, EPERM, EISDIR, ENOTDIR, ELOOP,
                                 ENAMETOOLONG, EIO,    ENXIO, EMFILE, ENFILE,  ENOMEM};
    for (int nErr : rgnErr) {
        if (message == strerror(nErr))
            return nErr;
    }
    return 0;
}

[[noreturn]] void Raise(const WorkbookError &error)
{
    const char *pszClass = "DamagedError";
    switch (error.kind) {
    case WorkbookErrorKind::FileUnreadable: {
        py::object cls = py::module_::import("cellsift._errors").attr("FileError");
        py::object exc = cls(ErrnoOf(error.message), Utf8(error.message));
        PyErr_SetObject(cls.ptr(), exc.ptr());
        throw py::error_already_set();
    }
    case WorkbookErrorKind::Encrypted: pszClass = "EncryptedError"; break;
    case WorkbookErrorKind::TooLarge: pszClass = "TooLargeError"; break;
    case WorkbookErrorKind::NotCompound:
    case WorkbookErrorKind::NoWorkbookStream:
    case WorkbookErrorKind::NotWorkbook: pszClass = "NotWorkbookError"; break;
    default: break;
    }
    py::object cls = py::module_::import("cellsift._errors").attr(pszClass);
    PyErr_SetObject(cls.ptr(), Utf8(error.message).ptr());
    throw py::error_already_set();
}

// The bytes of a buffer object, held for as long as the reader needs them.
class HeldBuffer {
public:
    explicit HeldBuffer(const py::object &source)
    {
        if (PyObject_GetBuffer(source.ptr(), &m_view, PyBUF_SIMPLE) != 0) {
            throw py::error_already_set();
        }
    }
    ~HeldBuffer() { PyBuffer_Release(&m_view); }
    HeldBuffer(const HeldBuffer &) = delete;
    HeldBuffer &operator=(const HeldBuffer &) = delete;
    const uint8_t *Data() const { return static_cast<const uint8_t *>(m_view.buf); }
    size_t Size() const { return static_cast<size_t>(m_view.len); }

private:
    Py_buffer m_view;
};

// The workbook stream of a file (fPath: source is the path as os.fsencode gives it) or of
// a buffer holding the file's bytes, read with the GIL released.
WorkbookStream OpenSource(const py::object &source, bool fPath)
{
    WorkbookStream stream;
    WorkbookError error;
    bool fOpened;
    if (fPath) {
        std::string path = source.cast<std::string>();
        py::gil_scoped_release release;
        fOpened = OpenWorkbookFile(path.c_str(), &stream, &error);
    } else {
        HeldBuffer buffer(source);
        py::gil_scoped_release release;
        fOpened = OpenWorkbookMemory(buffer.Data(), buffer.Size(), &stream, &error);
    }
    if (!fOpened) {
        Raise(error);
    }
    return stream;
}

// A number is an int where the tool prints it as one ("1", "123456789012345680"), else a
// float ("0.5", "1e+21"): the shortest text of the double decides, so both agree.
py::object NumberValue(double d, const std::string &text)
{
    bool fWhole = !text.empty();
    for (size_t i = 0; i < text.size() && fWhole; ++i) {
        fWhole = (text[i] >= '0' && text[i] <= '9') || (i == 0 && text[i] == '-' && text.size() > 1);
    }
    if (fWhole) {
        PyObject *p = PyLong_FromString(text.c_str(), nullptr, 10);
        if (p == nullptr) {
            throw py::error_already_set();
        }
        return py::reinterpret_steal<py::object>(p);
    }
    return py::float_(d);
}

py::tuple CellTuple(const HeldCell &cell)
{
    py::object value;
    int kind = kindText;
    switch (cell.kind) {
    case CellKind::Text: value = Utf8(cell.text); break;
    case CellKind::Number: kind = kindNumber; value = NumberValue(cell.dNumber, cell.text); break;
    case CellKind::Date: kind = kindDate; value = Utf8(cell.text); break;
    case CellKind::Bool: kind = kindBool; value = py::bool_(cell.fBool); break;
    case CellKind::Error: kind = kindError; value = Utf8(cell.text); break;
    }
    return py::make_tuple(cell.row, cell.col, kind, value, Utf8(cell.shown));
}

py::tuple Read(const py::object &source, bool fPath)
{
    WorkbookStream stream = OpenSource(source, fPath);
    HeldWorkbook held;
    WorkbookError error;
    bool fRead;
    {
        py::gil_scoped_release release;
        fRead = ReadWorkbook(stream, held, &error);
    }
    if (!fRead) {
        Raise(error);
    }
    py::list sheets;
    for (const HeldSheet &sheet : held.rgSheet) {
        py::list cells;
        for (const HeldCell &cell : sheet.rgCell) {
            cells.append(CellTuple(cell));
        }
        py::list comments;
        for (size_t i = 0; i < sheet.rgComment.size(); ++i) {
            comments.append(py::make_tuple(sheet.rgComment[i].row, sheet.rgComment[i].col,
                                           Utf8(sheet.rgCommentText[2 * i]),
                                           Utf8(sheet.rgCommentText[2 * i + 1])));
        }
        py::list boxes;
        for (const std::string &box : sheet.rgTextBox) {
            boxes.append(Utf8(box));
        }
        sheets.append(py::make_tuple(Utf8(sheet.name), KindName(sheet.kind), sheet.fHidden,
                                     cells, comments, boxes));
    }
    py::list warnings;
    for (const std::string &warning : held.rgWarning) {
        warnings.append(Utf8(warning));
    }
    py::object author = held.fAuthor ? py::object(Utf8(held.author)) : py::object(py::none());
    py::object codepage = held.nCodePage >= 0 ? py::object(py::int_(held.nCodePage)) : py::object(py::none());
    return py::make_tuple(author, held.fDate1904, held.nBiff, codepage, sheets, warnings);
}

void CollectWarning(void *pContext, std::string_view message)
{
    static_cast<std::vector<std::string> *>(pContext)->emplace_back(message);
}

// The text as a str, written and converted with the GIL released: a long text on two threads,
// the reader's and the converter's, so the str is ready about when the text is. The warnings
// of a workbook read in part are appended to warnings when it is a list.
py::str Text(const py::object &source, bool fPath, size_t cbPiece, size_t cbThreadFrom,
             const py::object &warnings, bool fRawValues)
{
    WorkbookStream stream = OpenSource(source, fPath);
    StrWriter writer(cbThreadFrom);
    WorkbookError error;
    std::vector<std::string> rgWarning;
    bool fRead;
    {
        py::gil_scoped_release release;
        fRead = StreamWorkbook(stream, OutputFormat::Text, cbPiece, StrWriter::Piece, &writer, CollectWarning,
                               &rgWarning, &error, fRawValues);
        writer.Finish();
    }
    if (!fRead) {
        Raise(error);
    }
    if (py::isinstance<py::list>(warnings)) {
        for (const std::string &warning : rgWarning) {
            warnings.cast<py::list>().append(Utf8(warning));
        }
    }
    return writer.Result();
}

} // namespace

PYBIND11_MODULE(_core, m)
{
    m.doc() = "The C++ reader behind the cellsift package.";
    m.attr("__version__") = CELLSIFT_VERSION;
    m.attr("KIND_TEXT") = static_cast<int>(kindText);
    m.attr("KIND_NUMBER") = static_cast<int>(kindNumber);
    m.attr("KIND_DATE") = static_cast<int>(kindDate);
    m.attr("KIND_BOOL") = static_cast<int>(kindBool);
    m.attr("KIND_ERROR") = static_cast<int>(kindError);
    m.def("read", &Read, py::arg("source"), py::arg("is_path"));
    // Pieces of 256 KiB, a second thread from 1 MiB of text on (below that, starting one costs
    // more than it saves); tests make both small.
    m.def("text", &Text, py::arg("source"), py::arg("is_path"), py::arg("piece_bytes") = size_t(256) << 10,
          py::arg("thread_from_bytes") = size_t(1) << 20, py::arg("warnings") = py::none(),
          py::arg("raw_values") = false);
    // Memory the reader cannot have for one workbook fails that workbook, as every other
    // failure of one file does: a cellsift.Error, never a MemoryError that ends a batch.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) {
                std::rethrow_exception(p);
            }
        } catch (const std::bad_alloc &) {
            py::object cls = py::module_::import("cellsift._errors").attr("TooLargeError");
            PyErr_SetString(cls.ptr(), "too large: the workbook needs more memory than can be had");
        }
    });
}
