// The Python extension: a workbook read from a path or a buffer with the GIL released, then
// handed to Python as plain tuples that the package's own classes wrap, each sheet's cells
// packed in C++ (SheetCells) until they are iterated.
#include <pybind11/pybind11.h>

#include <array>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "output/OutputForms.h"
#include "workbook/Workbook.h"

#include "FrameBook.h"
#include "SheetCells.h"
#include "Source.h"
#include "StrWriter.h"

namespace py = pybind11;

namespace {

// Comments, hyperlinks, formulas, names and links as copies: the reader's views into the workbook's records are
// good only during the call that hands them over.
struct HeldComment {
    uint32_t row, col;
    std::string author, text;
};

struct HeldLink {
    uint32_t row, col, lastRow, lastCol;
    std::string target, description, tooltip;
};

struct HeldFormula {
    uint32_t row, col;
    std::string text;
};

struct HeldName {
    std::string name;
    uint32_t iSheet;
    bool fHidden, fBuiltIn;
    std::string formula;
};

struct HeldExternal {
    uint32_t index;
    ExternalKind kind;
    std::string path;
};

struct HeldSheet {
    HeldSheet(std::string_view nameIn, SheetKind kindIn, bool fHiddenIn, std::shared_ptr<TextStore> texts)
            : name(nameIn), kind(kindIn), fHidden(fHiddenIn),
              cells(std::make_shared<SheetCells>(std::move(texts)))
    {}
    std::string name;
    SheetKind kind;
    bool fHidden;
    std::shared_ptr<SheetCells> cells;
    std::vector<HeldComment> rgComment;
    std::vector<std::string> rgTextBox;
    std::vector<std::array<std::string, 3>> rgPageText; // header or footer, pages, text
    std::vector<HeldLink> rgLink;
    std::vector<ChartText> rgChart;
    std::vector<HeldFormula> rgFormula;
    std::vector<MergedRange> rgMerge;
    std::vector<HiddenSpan> rgHidden;
};

struct HeldWorkbook : WorkbookVisitor {
    bool fAuthor = false;
    std::string author;
    int nBiff = 0;
    int nCodePage = -1;
    bool fDate1904 = false;
    std::vector<HeldSheet> rgSheet;
    std::shared_ptr<TextStore> texts = std::make_shared<TextStore>();
    std::vector<std::string> rgWarning;
    DocumentProperties properties;
    std::vector<HeldName> rgName;
    std::vector<HeldExternal> rgLink;
    bool fMacros = false;
    std::vector<VbaModule> rgModule;

    const FormatLocale *pLocale = &FormatLocale::EnUs(); // of the shown texts

    // A formula's text costs about a microsecond; a program that reads cells wants it at hand.
    bool WantsFormulas() const override { return true; }
    const FormatLocale &Locale() const override { return *pLocale; }

    HeldSheet &SheetAt(uint32_t iSheet)
    {
        // Sheets are announced before their contents; anything else goes to the last one.
        if (rgSheet.empty()) {
            rgSheet.emplace_back("", SheetKind::Worksheet, false, texts);
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
        fMacros = info.fMacros;
    }
    void OnSheet(const SheetInfo &info) override
    {
        rgSheet.emplace_back(info.name, info.kind, info.fHidden, texts);
    }
    void OnCell(const Cell &cell) override
    {
        HeldSheet &sheet = SheetAt(cell.iSheet);
        sheet.cells->Add(cell);
        if (!cell.formula.empty()) {
            sheet.rgFormula.push_back({cell.row, cell.col, std::string(cell.formula)});
        }
    }
    void OnName(const DefinedName &name) override
    {
        rgName.push_back(
            {std::string(name.name), name.iSheet, name.fHidden, name.fBuiltIn, std::string(name.formula)});
    }
    void OnExternalLink(const ExternalLink &link) override
    {
        rgLink.push_back({link.index, link.kind, std::string(link.path)});
    }
    void OnMerge(const MergedRange &range) override { SheetAt(range.iSheet).rgMerge.push_back(range); }
    void OnHidden(const HiddenSpan &span) override { SheetAt(span.iSheet).rgHidden.push_back(span); }
    void OnComment(const Comment &comment) override
    {
        SheetAt(comment.iSheet)
            .rgComment.push_back(
                {comment.row, comment.col, std::string(comment.author), std::string(comment.text)});
    }
    void OnTextBox(const TextBox &box) override { SheetAt(box.iSheet).rgTextBox.emplace_back(box.text); }
    void OnProperties(const DocumentProperties &props) override { properties = props; }
    void OnPageText(const PageText &page) override
    {
        SheetAt(page.iSheet)
            .rgPageText.push_back(
                {page.fFooter ? "footer" : "header", page.pszPages, std::string(page.text)});
    }
    void OnHyperlink(const Hyperlink &link) override
    {
        SheetAt(link.iSheet)
            .rgLink.push_back({link.row, link.col, link.lastRow, link.lastCol, std::string(link.target),
                               std::string(link.description), std::string(link.tooltip)});
    }
    void OnChart(const Chart &chart) override { SheetAt(chart.iSheet).rgChart.push_back(chart.text); }
    void OnVbaModule(const VbaModule &module) override { rgModule.push_back(module); }
    void OnWarning(std::string_view message) override { rgWarning.emplace_back(message); }
};

py::list Utf8List(const std::vector<std::string> &rgs)
{
    py::list list;
    for (const std::string &s : rgs) {
        list.append(Utf8(s));
    }
    return list;
}

py::tuple Read(const HeldStream &source, const std::string &locale)
{
    const WorkbookStream &stream = source.stream;
    HeldWorkbook held;
    held.pLocale = &LocaleNamed(locale);
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
        py::list comments;
        for (const HeldComment &comment : sheet.rgComment) {
            comments.append(
                py::make_tuple(comment.row, comment.col, Utf8(comment.author), Utf8(comment.text)));
        }
        py::list boxes;
        for (const std::string &box : sheet.rgTextBox) {
            boxes.append(Utf8(box));
        }
        py::list pageTexts;
        for (const std::array<std::string, 3> &page : sheet.rgPageText) {
            pageTexts.append(py::make_tuple(Utf8(page[0]), Utf8(page[1]), Utf8(page[2])));
        }
        py::list links;
        for (const HeldLink &link : sheet.rgLink) {
            links.append(py::make_tuple(link.row, link.col, link.lastRow, link.lastCol, Utf8(link.target),
                                        Utf8(link.description), Utf8(link.tooltip)));
        }
        py::list charts;
        for (const ChartText &chart : sheet.rgChart) {
            charts.append(py::make_tuple(Utf8(chart.title), Utf8List(chart.series), Utf8List(chart.axes),
                                         Utf8List(chart.labels)));
        }
        py::list formulas;
        for (const HeldFormula &formula : sheet.rgFormula) {
            formulas.append(py::make_tuple(formula.row, formula.col, Utf8(formula.text)));
        }
        py::list merged;
        for (const MergedRange &range : sheet.rgMerge) {
            merged.append(py::make_tuple(range.row, range.col, range.lastRow, range.lastCol));
        }
        py::list hidden;
        for (const HiddenSpan &span : sheet.rgHidden) {
            hidden.append(py::make_tuple(span.fColumns, span.first, span.last));
        }
        sheets.append(py::make_tuple(Utf8(sheet.name), KindName(sheet.kind), sheet.fHidden,
                                     py::cast(sheet.cells), comments, boxes, pageTexts, links, charts,
                                     formulas, merged, hidden));
    }
    py::list names;
    for (const HeldName &name : held.rgName) {
        py::object sheet =
            name.iSheet == DefinedName::iSheetBook ? py::object(py::none()) : py::int_(name.iSheet);
        names.append(py::make_tuple(Utf8(name.name), sheet, name.fHidden, name.fBuiltIn, Utf8(name.formula)));
    }
    py::list links;
    for (const HeldExternal &link : held.rgLink) {
        links.append(py::make_tuple(link.index, KindName(link.kind), Utf8(link.path)));
    }
    py::list warnings;
    for (const std::string &warning : held.rgWarning) {
        warnings.append(Utf8(warning));
    }
    // Each embedded object; an embedded workbook as a stream of its own, which Python reads as
    // it reads this one.
    py::list embedded;
    for (const EmbeddedObject &object : stream.embedded) {
        py::object nested = py::none();
        if (object.workbook) {
            auto inner = std::make_shared<HeldStream>();
            const WorkbookStream &from = *object.workbook;
            inner->stream.Assign(from.pbData, from.cbData);
            inner->stream.cbDeclared = from.cbDeclared;
            inner->stream.fBook = from.fBook;
            inner->stream.properties = from.properties;
            inner->stream.vba = from.vba;
            inner->stream.embedded = from.embedded;
            nested = py::cast(inner);
        }
        for (const std::string &warning : object.warnings) {
            warnings.append(Utf8(warning));
        }
        embedded.append(py::make_tuple(Utf8(object.path), Utf8(object.className), Utf8(object.packageName),
                                       PropertiesDict(object.properties), nested));
    }
    py::object author = held.fAuthor ? py::object(Utf8(held.author)) : py::object(py::none());
    py::object codepage = held.nCodePage >= 0 ? py::object(py::int_(held.nCodePage)) : py::object(py::none());
    py::list modules;
    for (const VbaModule &module : held.rgModule) {
        modules.append(py::make_tuple(Utf8(module.name), module.kind, Utf8(module.code)));
    }
    return py::make_tuple(author, held.fDate1904, held.nBiff, codepage, sheets, warnings,
                          PropertiesDict(held.properties), names, links, held.fMacros, modules, embedded);
}

void CollectWarning(void *pContext, std::string_view message)
{
    static_cast<std::vector<std::string> *>(pContext)->emplace_back(message);
}

// One of the written forms as a str, written and converted with the GIL released, each piece
// as it is written. sheet is None (every sheet), a name, or a number counted from 0. The
// warnings of a workbook read in part are appended to warnings when it is a list.
py::str Text(const py::object &source, bool fPath, size_t cbPiece, const py::object &warnings,
             const std::string &password, bool fRawValues, bool fFormulas, const std::string &formatName,
             const py::object &sheet, bool fNotes, bool fProperties, bool fMacros, bool fEmbedded,
             const py::object &expectedChars, const std::string &locale)
{
    OutputFormat format;
    if (!ParseOutputFormat(formatName, &format)) {
        throw py::value_error("format must be 'text', 'csv', 'jsonl' or 'html', not '" + formatName + "'");
    }
    WorkbookSelection selection;
    selection.pLocale = &LocaleNamed(locale);
    selection.fRawValues = fRawValues;
    selection.fFormulas = fFormulas;
    selection.fNotes = fNotes;
    selection.fProperties = fProperties;
    selection.fMacros = fMacros;
    selection.fEmbedded = fEmbedded;
    if (py::isinstance<py::str>(sheet)) {
        selection.sheet = sheet.cast<std::string>();
        selection.fByName = true;
    } else if (!sheet.is_none()) {
        selection.sheet = std::to_string(sheet.cast<unsigned long>());
    }
    // JSON lines name the file as the tool does: by the path it was given.
    std::string name = fPath ? source.cast<std::string>() : std::string();
    WorkbookStream stream = OpenSource(source, fPath, password);
    // A workbook's text is seldom much longer than its stream: room for twice as many
    // characters as the stream has bytes spares the str from growing. Tests give less.
    size_t cchExpected = stream.cbData <= SIZE_MAX / 2 ? 2 * stream.cbData : stream.cbData;
    if (!expectedChars.is_none()) {
        cchExpected = expectedChars.cast<size_t>();
    }
    StrWriter writer(cchExpected);
    WorkbookError error;
    std::vector<std::string> rgWarning;
    bool fRead;
    {
        py::gil_scoped_release release;
        fRead = StreamWorkbook(stream, format, cbPiece, StrWriter::Piece, &writer, CollectWarning, &rgWarning,
                               &error, selection, name);
    }
    if (!fRead && error.kind == WorkbookErrorKind::NoSuchSheet && !selection.sheet.empty()) {
        py::object cls = py::module_::import("cellsift._errors").attr("NoSuchSheetError");
        PyErr_SetObject(cls.ptr(), Utf8(error.message).ptr());
        throw py::error_already_set();
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
    DefineFrames(m);
    DefineSheetCells(m);
    m.def("read", &Read, py::arg("stream"), py::arg("locale") = "en-US");
    m.def(
        "locale_tag", [](const std::string &name) { return LocaleNamed(name).tag; }, py::arg("name"));
    // Pieces of 256 KiB, which the processor's second-level cache holds while one is converted;
    // tests make them small.
    m.def("text", &Text, py::arg("source"), py::arg("is_path"), py::arg("piece_bytes") = size_t(256) << 10,
          py::arg("warnings") = py::none(), py::arg("password") = std::string(),
          py::arg("raw_values") = false, py::arg("formulas") = false, py::arg("format") = "text",
          py::arg("sheet") = py::none(), py::arg("notes") = true, py::arg("properties") = true,
          py::arg("macros") = true, py::arg("embedded") = true, py::arg("expected_chars") = py::none(),
          py::arg("locale") = "en-US");
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
