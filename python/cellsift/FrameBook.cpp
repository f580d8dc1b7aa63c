// Reads the sheets a table is wanted of into compact cells (FrameBook) and gives Python the
// workbook stream as an object, the held book, and every cell as one columnar table.
#include "FrameBook.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>

#include "output/OutputForms.h"

#include "Source.h"

namespace py = pybind11;

namespace {

class FrameVisitor : public WorkbookVisitor {
public:
    explicit FrameVisitor(FrameBook &book) : m_book(book) {}

    void OnWorkbook(const WorkbookInfo &info) override
    {
        m_book.fDate1904 = info.fDate1904;
        m_book.nBiff = info.nBiff;
    }
    void OnSheet(const SheetInfo &info) override
    {
        int iWorksheet = info.kind == SheetKind::Worksheet ? m_cWorksheet++ : -1;
        std::string name = m_book.fPandasNames && m_book.nBiff < 5 ? "Sheet 1" : std::string(info.name);
        const FrameChoice &choice = m_book.choice;
        bool fHeld = false;
        switch (choice.kind) {
        case FrameChoice::Kind::Worksheets: fHeld = iWorksheet >= 0; break;
        case FrameChoice::Kind::All: fHeld = true; break;
        case FrameChoice::Kind::Name: fHeld = iWorksheet >= 0 && name == choice.name; break;
        case FrameChoice::Kind::Worksheet: fHeld = iWorksheet >= 0 && iWorksheet == choice.n; break;
        case FrameChoice::Kind::Index: fHeld = info.iSheet == static_cast<unsigned long>(choice.n); break;
        }
        m_book.rgSheet.push_back(
            FrameSheet{info.iSheet, std::move(name), info.kind, info.fHidden, iWorksheet, fHeld, {}});
    }
    bool WantsSheet(const SheetInfo &info) override
    {
        return info.iSheet < m_book.rgSheet.size() && m_book.rgSheet[info.iSheet].fHeld;
    }
    void OnCell(const Cell &cell) override
    {
        // Cells come after their sheet is announced; a cell of no known sheet is nobody's.
        if (cell.iSheet >= m_book.rgSheet.size() || !m_book.rgSheet[cell.iSheet].fHeld) {
            return;
        }
        FrameSheet &sheet = m_book.rgSheet[cell.iSheet];
        FrameCell held{cell.row,  cell.col,  cell.kind, cell.fBool,
                       iTextNone, iTextNone, iTextNone, cell.dNumber};
        if (m_book.fAllText || cell.kind == CellKind::Text) {
            held.iText = m_book.texts.Add(cell.text, cell.isst);
        }
        if (m_book.fShown) {
            // Most texts show as they are: their number serves for both.
            bool fSame = held.iText != iTextNone && cell.shown == cell.text;
            held.iShown = fSame ? held.iText : m_book.texts.Add(cell.shown, Cell::isstNone);
        }
        if (!cell.formula.empty()) {
            held.iFormula = m_book.texts.Add(cell.formula, Cell::isstNone);
        }
        sheet.rgCell.push_back(held);
    }
    bool WantsFormulas() const override { return m_book.fFormulas; }
    const FormatLocale &Locale() const override { return *m_book.pLocale; }
    void OnWarning(std::string_view message) override { m_book.rgWarning.emplace_back(message); }

private:
    FrameBook &m_book;
    int m_cWorksheet = 0;
};

std::shared_ptr<HeldStream> Open(const py::object &source, bool fPath, const std::string &password)
{
    auto held = std::make_shared<HeldStream>();
    held->stream = OpenSource(source, fPath, password);
    return held;
}

// choice: None (every worksheet), a name, or a worksheet's position; index >= 0 picks a sheet
// of any kind by its index instead, fEverySheet every sheet of any kind. fShown holds what
// each cell shows as well, in locale, fFormulas each formula; fPandasNames names sheets as
// pandas does.
std::shared_ptr<FrameBook> ReadFrameBook(const HeldStream &held, const py::object &choice, long index,
                                         bool fAllText, bool fEverySheet, bool fShown, bool fFormulas,
                                         bool fPandasNames, const std::string &locale)
{
    auto book = std::make_shared<FrameBook>();
    book->pLocale = &LocaleNamed(locale);
    book->fAllText = fAllText;
    book->fShown = fShown;
    book->fFormulas = fFormulas;
    book->fPandasNames = fPandasNames;
    if (fEverySheet) {
        book->choice.kind = FrameChoice::Kind::All;
    } else if (index >= 0) {
        book->choice.kind = FrameChoice::Kind::Index;
        book->choice.n = index;
    } else if (py::isinstance<py::str>(choice)) {
        book->choice.kind = FrameChoice::Kind::Name;
        book->choice.name = choice.cast<std::string>();
    } else if (!choice.is_none()) {
        book->choice.kind = FrameChoice::Kind::Worksheet;
        book->choice.n = choice.cast<long>();
    }
    FrameVisitor visitor(*book);
    WorkbookError error;
    bool fRead;
    {
        py::gil_scoped_release release;
        fRead = ReadWorkbook(held.stream, visitor, &error);
    }
    if (!fRead) {
        Raise(error);
    }
    return book;
}

const FrameSheet &HeldSheet(const FrameBook &book, size_t iSheet)
{
    if (iSheet >= book.rgSheet.size() || !book.rgSheet[iSheet].fHeld) {
        throw py::index_error("the cells of that sheet were not read");
    }
    return book.rgSheet[iSheet];
}

// Every held cell as columns: sheet indexes, rows, columns, kinds, the values as the tool's
// text writes them, the numbers (NaN where the cell holds none), and what the cells show
// (the values again when the book holds no shown texts), and the formulas (None where a cell
// has none).
py::tuple CellTable(const FrameBook &book)
{
    size_t cCell = 0;
    for (const FrameSheet &sheet : book.rgSheet) {
        cCell += sheet.rgCell.size();
    }
    py::array_t<int32_t> sheets(cCell), rows(cCell), cols(cCell);
    py::array_t<double> numbers(cCell);
    py::list kinds(cCell), values(cCell), shown(cCell), formulas(cCell);
    py::str rgKind[] = {py::str(KindName(CellKind::Text)), py::str(KindName(CellKind::Number)),
                        py::str(KindName(CellKind::Date)), py::str(KindName(CellKind::Bool)),
                        py::str(KindName(CellKind::Error))};
    auto pSheet = sheets.mutable_unchecked<1>();
    auto pRow = rows.mutable_unchecked<1>();
    auto pCol = cols.mutable_unchecked<1>();
    auto pNumber = numbers.mutable_unchecked<1>();
    TextObjects texts(book.texts);
    size_t i = 0;
    for (const FrameSheet &sheet : book.rgSheet) {
        for (const FrameCell &cell : sheet.rgCell) {
            pSheet(i) = static_cast<int32_t>(sheet.iSheet);
            pRow(i) = static_cast<int32_t>(cell.row);
            pCol(i) = static_cast<int32_t>(cell.col);
            bool fNumber = cell.kind == CellKind::Number || cell.kind == CellKind::Date;
            pNumber(i) = fNumber ? cell.dNumber : std::nan("");
            kinds[i] = rgKind[static_cast<int>(cell.kind)];
            values[i] = texts.Get(cell.iText);
            shown[i] = texts.Get(book.fShown ? cell.iShown : cell.iText);
            formulas[i] = cell.iFormula == iTextNone ? py::none() : texts.Get(cell.iFormula);
            ++i;
        }
    }
    return py::make_tuple(sheets, rows, cols, kinds, values, numbers, shown, formulas);
}

py::list Warnings(const FrameBook &book)
{
    py::list warnings;
    for (const std::string &warning : book.rgWarning) {
        warnings.append(Utf8(warning));
    }
    return warnings;
}

// (index, name, kind, hidden, worksheet position or -1, cells held) of every sheet.
py::list Sheets(const FrameBook &book)
{
    py::list sheets;
    for (const FrameSheet &sheet : book.rgSheet) {
        sheets.append(py::make_tuple(sheet.iSheet, Utf8(sheet.name), KindName(sheet.kind), sheet.fHidden,
                                     sheet.iWorksheet, sheet.fHeld));
    }
    return sheets;
}

py::tuple Columns(const FrameBook &book, size_t iSheet, long iHeader, bool fShown)
{
    if (fShown && !book.fShown) {
        throw py::value_error("the book was read without the cells' shown texts");
    }
    return SheetColumns(book, HeldSheet(book, iSheet), iHeader, fShown);
}

} // namespace

py::object TextObjects::Get(uint32_t iText)
{
    py::object &made = m_made[iText == iTextNone ? m_made.size() - 1 : iText];
    if (!made) {
        std::string_view text = iText == iTextNone ? std::string_view() : m_texts.Text(iText);
        made = Utf8(text.data(), text.size());
    }
    return made;
}

void DefineFrames(py::module_ &m)
{
    py::class_<HeldStream, std::shared_ptr<HeldStream>>(m, "Stream")
        .def_property_readonly("size", [](const HeldStream &held) { return held.stream.cbData; });
    m.def("open", &Open, py::arg("source"), py::arg("is_path"), py::arg("password") = std::string());

    py::class_<FrameBook, std::shared_ptr<FrameBook>>(m, "FrameBook")
        .def_property_readonly("date1904", [](const FrameBook &book) { return book.fDate1904; })
        .def_property_readonly("warnings", &Warnings)
        .def_property_readonly("sheets", &Sheets)
        .def("columns", &Columns, py::arg("sheet"), py::arg("header"), py::arg("shown") = false)
        .def("table", &CellTable);
    m.def("frame_book", &ReadFrameBook, py::arg("stream"), py::arg("choice"), py::arg("index") = -1,
          py::arg("all_text") = false, py::arg("every_sheet") = false, py::arg("shown") = false,
          py::arg("formulas") = false, py::arg("pandas_names") = false, py::arg("locale") = "en-US");
}
