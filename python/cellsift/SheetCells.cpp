// Packs a sheet's cells as the reader gives them and hands them back as Python values: int
// or float, date, datetime or time, bool, str, and errors as the package's CellError.
#include "SheetCells.h"

#include <datetime.h>
#include <string.h>

#include <cmath>
#include <new>
#include <string>

#include "numformat/CellValue.h"

#include "Source.h"

namespace py = pybind11;

namespace {

enum : uint8_t {
    fbShown = 0x08,
    fbWide = 0x20, // row or column past 16 bits: both are kept in 32
    fbBool = 0x10,
    fbKind = 0x07
};

// The first block is small (most sheets are); each next one twice the last, up to huge pages.
const size_t cbBlockFirst = size_t(16) << 10;

template <typename T>
void Put(uint8_t *&pb, T value)
{
    memcpy(pb, &value, sizeof(value));
    pb += sizeof(value);
}

template <typename T>
T Take(const uint8_t *&pb)
{
    T value;
    memcpy(&value, pb, sizeof(value));
    pb += sizeof(value);
    return value;
}

void PutText(uint8_t *&pb, std::string_view text)
{
    Put<uint32_t>(pb, static_cast<uint32_t>(text.size()));
    if (!text.empty()) { // an empty view may have no bytes at all to copy from
        memcpy(pb, text.data(), text.size());
    }
    pb += text.size();
}

std::string_view TakeText(const uint8_t *&pb)
{
    uint32_t cb = Take<uint32_t>(pb);
    std::string_view text(reinterpret_cast<const char *>(pb), cb);
    pb += cb;
    return text;
}

// A date serial as a date, a datetime when it has a time of day, a time alone on day 0. The
// 1900 system's day 60, the 29th of February 1900 that no calendar has, stays its text.
py::object DateValue(double d, bool fDate1904)
{
    SerialDate date;
    if (!SerialDateOf(d, fDate1904, &date)) {
        return py::float_(d);
    }
    int nHour = static_cast<int>(date.nSeconds / 3600), nMinute = static_cast<int>(date.nSeconds / 60 % 60);
    int nSecond = static_cast<int>(date.nSeconds % 60);
    if (date.nDays == 0) {
        return Steal(PyTime_FromTime(nHour, nMinute, nSecond, 0));
    }
    if (!fDate1904 && date.nDays == 60) {
        std::string text;
        AppendDate(d, fDate1904, &text);
        return Utf8(text);
    }
    int nMonth = static_cast<int>(date.nMonth), nDay = static_cast<int>(date.nDay);
    if (date.nSeconds == 0) {
        return Steal(PyDate_FromDate(date.nYear, nMonth, nDay));
    }
    return Steal(PyDateTime_FromDateAndTime(date.nYear, nMonth, nDay, nHour, nMinute, nSecond, 0));
}

// The value's text as the reader wrote it, for a cell whose shown text is that.
py::str ValueText(CellKind kind, double d, bool fBool, bool fDate1904)
{
    std::string text;
    switch (kind) {
    case CellKind::Number: AppendNumber(d, &text); break;
    case CellKind::Date: AppendDate(d, fDate1904, &text); break;
    case CellKind::Bool: text = fBool ? "TRUE" : "FALSE"; break;
    case CellKind::Error: text = ErrorCodeText(static_cast<uint8_t>(d)); break;
    case CellKind::Text: break;
    }
    return Utf8(text);
}

py::object ErrorValue(uint8_t bCode, const py::object &errorType)
{
    const char *pszText = ErrorCodeText(bCode);
    int code = strcmp(pszText, "#ERR") == 0 ? -1 : bCode;
    return errorType(py::str(pszText), code);
}

// Iterates a sheet's cells for Python, keeping them alive while it does.
struct CellIterator {
    std::shared_ptr<SheetCells> cells;
    SheetCells::Cursor cursor;
    bool fShown;
    py::object errorType;

    py::object Next()
    {
        py::object item = cursor.Next(fShown, errorType);
        if (!item) {
            throw py::stop_iteration();
        }
        return item;
    }
};

} // namespace

uint8_t *SheetCells::Room(size_t cb)
{
    if (m_rgBlock.empty() || m_rgBlock.back().Size() - m_rgBlock.back().cbUsed < cb) {
        size_t cbNext =
            m_rgBlock.empty() ? cbBlockFirst : std::min(m_rgBlock.back().Size() * 2, BigBlock::cbHuge);
        m_rgBlock.emplace_back(std::max(cbNext, cb));
    }
    BigBlock &block = m_rgBlock.back();
    return block.Data() + block.cbUsed;
}

void SheetCells::Add(const Cell &cell)
{
    bool fShown = cell.shown != cell.text;
    size_t cb =
        1 + 2 * sizeof(uint32_t) + sizeof(double) + (fShown ? sizeof(uint32_t) + cell.shown.size() : 0);
    if (cell.shown.size() > UINT32_MAX) {
        throw std::bad_alloc();
    }
    uint8_t *pbStart = Room(cb), *pb = pbStart;
    bool fWide = cell.row > UINT16_MAX || cell.col > UINT16_MAX;
    Put<uint8_t>(pb, static_cast<uint8_t>(static_cast<uint8_t>(cell.kind) | (fShown ? fbShown : 0) |
                                          (fWide ? fbWide : 0) | (cell.fBool ? fbBool : 0)));
    if (fWide) {
        Put<uint32_t>(pb, cell.row);
        Put<uint32_t>(pb, cell.col);
    } else {
        Put<uint16_t>(pb, static_cast<uint16_t>(cell.row));
        Put<uint16_t>(pb, static_cast<uint16_t>(cell.col));
    }
    switch (cell.kind) {
    case CellKind::Number:
    case CellKind::Date: Put<double>(pb, cell.dNumber); break;
    case CellKind::Text: Put<uint32_t>(pb, m_texts->Add(cell.text, cell.isst)); break;
    case CellKind::Error: Put<uint8_t>(pb, static_cast<uint8_t>(cell.dNumber)); break;
    case CellKind::Bool: break;
    }
    if (fShown) {
        PutText(pb, cell.shown);
    }
    m_rgBlock.back().cbUsed += static_cast<size_t>(pb - pbStart);
    ++m_cCell;
}

py::object SheetCells::Cursor::Next(bool fShown, const py::object &errorType)
{
    if (m_iCell >= m_cells.m_cCell) {
        return py::object();
    }
    while (m_ib >= m_cells.m_rgBlock[m_iBlock].cbUsed) {
        ++m_iBlock;
        m_ib = 0;
    }
    const uint8_t *pbStart = m_cells.m_rgBlock[m_iBlock].Data() + m_ib, *pb = pbStart;
    uint8_t bHead = Take<uint8_t>(pb);
    uint32_t row, col;
    if (bHead & fbWide) {
        row = Take<uint32_t>(pb);
        col = Take<uint32_t>(pb);
    } else {
        row = Take<uint16_t>(pb);
        col = Take<uint16_t>(pb);
    }
    CellKind kind = static_cast<CellKind>(bHead & fbKind);
    bool fBool = (bHead & fbBool) != 0;
    double d = 0;
    std::string_view text;
    switch (kind) {
    case CellKind::Number:
    case CellKind::Date: d = Take<double>(pb); break;
    case CellKind::Text: text = m_cells.m_texts->Text(Take<uint32_t>(pb)); break;
    case CellKind::Error: d = Take<uint8_t>(pb); break;
    case CellKind::Bool: break;
    }
    std::string_view shown = (bHead & fbShown) ? TakeText(pb) : std::string_view();
    m_ib += static_cast<size_t>(pb - pbStart);
    ++m_iCell;

    py::object value;
    if (fShown && (bHead & fbShown)) {
        value = Utf8(shown.data(), shown.size());
    } else if (kind == CellKind::Text) {
        value = Utf8(text.data(), text.size());
    } else if (fShown) {
        value = ValueText(kind, d, fBool, m_fDate1904);
    } else {
        switch (kind) {
        case CellKind::Number: value = NumberObject(d); break;
        case CellKind::Date: value = DateValue(d, m_fDate1904); break;
        case CellKind::Bool: value = py::bool_(fBool); break;
        case CellKind::Error: value = ErrorValue(static_cast<uint8_t>(d), errorType); break;
        case CellKind::Text: break;
        }
    }
    PyObject *pTuple = PyTuple_New(3);
    if (pTuple == nullptr) {
        throw py::error_already_set();
    }
    PyTuple_SET_ITEM(pTuple, 0, PyLong_FromUnsignedLong(row));
    PyTuple_SET_ITEM(pTuple, 1, PyLong_FromUnsignedLong(col));
    PyTuple_SET_ITEM(pTuple, 2, value.release().ptr());
    if (PyTuple_GET_ITEM(pTuple, 0) == nullptr || PyTuple_GET_ITEM(pTuple, 1) == nullptr) {
        Py_DECREF(pTuple);
        throw py::error_already_set();
    }
    return Steal(pTuple);
}

void DefineSheetCells(py::module_ &m)
{
    if (PyDateTimeAPI == nullptr) {
        PyDateTime_IMPORT;
        if (PyDateTimeAPI == nullptr) {
            throw py::error_already_set();
        }
    }
    // The one table of error codes, for a CellError made from its text.
    py::dict codes;
    for (int b = 0; b < 256; ++b) {
        const char *pszText = ErrorCodeText(static_cast<uint8_t>(b));
        if (strcmp(pszText, "#ERR") != 0) {
            codes[py::str(pszText)] = b;
        }
    }
    m.attr("ERROR_CODES") = codes;

    py::class_<CellIterator>(m, "CellIterator")
        .def("__iter__", [](CellIterator &it) -> CellIterator & { return it; })
        .def("__next__", &CellIterator::Next);
    py::class_<SheetCells, std::shared_ptr<SheetCells>>(m, "SheetCells")
        .def("__len__", &SheetCells::Count)
        .def(
            "items",
            [](const std::shared_ptr<SheetCells> &cells, bool fShown, bool fDate1904, py::object errorType) {
                return CellIterator{cells, SheetCells::Cursor(*cells, fDate1904), fShown,
                                    std::move(errorType)};
            },
            py::arg("shown"), py::arg("date1904"), py::arg("error_type"));
}
