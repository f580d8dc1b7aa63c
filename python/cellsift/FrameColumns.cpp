// A sheet's table column by column, with each cell's value as pandas' xlrd reader makes it:
// whole numbers as int, dates as datetime (time on day 0), errors as NaN, empty cells as "".
#include "FrameBook.h"

#include <datetime.h>
#include <pybind11/numpy.h>

#include <cmath>
#include <limits>

#include "Source.h"

namespace py = pybind11;

namespace {

// The largest table made: a whole BIFF8 sheet. A file that places a cell far out cannot ask
// for more memory than this.
const uint64_t cCellFrameMax = uint64_t(65536) * 256;
const uint64_t cColFrameMax = 65536;
const int64_t cmsDay = 86400000;
const double dTwo63 = 9223372036854775808.0;

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int *py, int *pm, int *pd)
{
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *pd = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *pm = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *py = static_cast<int>(era * 400 + yoe + (*pm <= 2));
}

bool IsWhole(double d)
{
    return std::isfinite(d) && d == std::trunc(d);
}

// A date serial as xlrd's xldate_as_datetime reads it (whole days from the system's epoch,
// the 1900 system's epoch a day earlier from day 60 on, the fraction rounded to the
// millisecond), then a time alone on the epoch's own day. A serial past the calendar stays
// the float it is.
py::object DateObject(double d, bool fDate1904)
{
    if (!std::isfinite(d) || std::fabs(d) > 4e6) {
        return py::float_(d);
    }
    int64_t dayEpoch = fDate1904 ? DaysFromCivil(1904, 1, 1)
                                 : (d < 60 ? DaysFromCivil(1899, 12, 31) : DaysFromCivil(1899, 12, 30));
    double dDays = std::trunc(d);
    int64_t ms = static_cast<int64_t>(std::nearbyint((d - dDays) * 86400000.0));
    int64_t msTotal = static_cast<int64_t>(dDays) * cmsDay + ms;
    int64_t dayOffset = msTotal >= 0 ? msTotal / cmsDay : -((-msTotal + cmsDay - 1) / cmsDay);
    int64_t msOfDay = msTotal - dayOffset * cmsDay;
    int64_t day = dayEpoch + dayOffset;
    if (day < DaysFromCivil(1, 1, 1) || day > DaysFromCivil(9999, 12, 31)) {
        return py::float_(d);
    }
    int year, month, dayOfMonth;
    CivilFromDays(day, &year, &month, &dayOfMonth);
    int hour = static_cast<int>(msOfDay / 3600000), minute = static_cast<int>(msOfDay / 60000 % 60);
    int second = static_cast<int>(msOfDay / 1000 % 60), usec = static_cast<int>(msOfDay % 1000) * 1000;
    if (day == dayEpoch && (fDate1904 || d < 60)) {
        return Steal(PyTime_FromTime(hour, minute, second, usec));
    }
    return Steal(PyDateTime_FromDateAndTime(year, month, dayOfMonth, hour, minute, second, usec));
}

// An error is nan, numpy's one NaN object as pandas' xlrd reader gives it: the parser tells
// repeated names apart by identity, so errors in a header row name columns nan, nan.1, ...
py::object CellObject(const FrameBook &book, const FrameCell &cell, TextObjects &texts, const py::object &nan)
{
    switch (cell.kind) {
    case CellKind::Text: return texts.Get(cell.iText);
    case CellKind::Number: return NumberObject(cell.dNumber);
    case CellKind::Date: return DateObject(cell.dNumber, book.fDate1904);
    case CellKind::Bool: return py::bool_(cell.fBool);
    case CellKind::Error: break;
    }
    return nan;
}

// A list of n empty strings, the value of a cell that is not there.
py::list EmptyList(size_t n)
{
    py::list list(n);
    py::str empty("");
    for (size_t i = 0; i < n; ++i) {
        list[i] = empty;
    }
    return list;
}

// A column of n values as the object array pandas' parser takes, "" where no cell is, and
// the slot of each value to set.
py::array ObjectColumn(size_t n, PyObject ***pppSlot)
{
    // numpy fills a new object array with null pointers.
    py::array column(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)});
    PyObject **ppSlot = static_cast<PyObject **>(column.mutable_data());
    py::str empty("");
    for (size_t i = 0; i < n; ++i) {
        ppSlot[i] = empty.inc_ref().ptr();
    }
    *pppSlot = ppSlot;
    return column;
}

void SetSlot(PyObject **ppSlot, py::object value)
{
    PyObject *pOld = *ppSlot;
    *ppSlot = value.release().ptr();
    Py_XDECREF(pOld);
}

// A column whose cells are all numbers, as the array pandas' inference would make of them:
// int64 when every row holds a whole number, else float64 with NaN for empty rows. None when
// the column needs the general path (numbers out of int64's reach, infinities, NaN).
py::object NumberColumn(const FrameSheet &sheet, const std::vector<uint32_t> &rgiCell, uint32_t rowFirst,
                        size_t cRow)
{
    std::vector<double> rgd(cRow, std::numeric_limits<double>::quiet_NaN());
    std::vector<bool> rgfFilled(cRow, false);
    for (uint32_t iCell : rgiCell) {
        const FrameCell &cell = sheet.rgCell[iCell];
        rgd[cell.row - rowFirst] = cell.dNumber;
        rgfFilled[cell.row - rowFirst] = true;
    }
    bool fAllWhole = true, fAllFilled = true;
    for (size_t i = 0; i < cRow; ++i) {
        if (!rgfFilled[i]) {
            fAllFilled = false;
            continue;
        }
        double d = rgd[i];
        if (!std::isfinite(d)) {
            return py::none();
        }
        if (d != std::trunc(d)) {
            fAllWhole = false;
        } else if (!(d >= -dTwo63 && d < dTwo63)) {
            return py::none();
        }
    }
    if (fAllWhole && fAllFilled) {
        py::array_t<int64_t> column(cRow);
        auto p = column.mutable_unchecked<1>();
        for (size_t i = 0; i < cRow; ++i) {
            p(i) = static_cast<int64_t>(rgd[i]);
        }
        return std::move(column);
    }
    py::array_t<double> column(cRow);
    auto p = column.mutable_unchecked<1>();
    for (size_t i = 0; i < cRow; ++i) {
        // A whole number went through int, so -0.0 comes back as 0.0.
        p(i) = rgfFilled[i] && IsWhole(rgd[i]) ? static_cast<double>(static_cast<int64_t>(rgd[i])) : rgd[i];
    }
    return std::move(column);
}

} // namespace

py::tuple SheetColumns(const FrameBook &book, const FrameSheet &sheet, long iHeader, bool fShown)
{
    if (PyDateTimeAPI == nullptr) {
        PyDateTime_IMPORT;
        if (PyDateTimeAPI == nullptr) {
            throw py::error_already_set();
        }
    }
    uint64_t cRowSpan = 0, cColSpan = 0;
    for (const FrameCell &cell : sheet.rgCell) {
        cRowSpan = std::max<uint64_t>(cRowSpan, uint64_t(cell.row) + 1);
        cColSpan = std::max<uint64_t>(cColSpan, uint64_t(cell.col) + 1);
    }
    if (cRowSpan * cColSpan > cCellFrameMax || cColSpan > cColFrameMax) {
        Raise(WorkbookError{WorkbookErrorKind::TooLarge,
                            "the sheet '" + sheet.name + "' spans " + std::to_string(cRowSpan) + " rows by " +
                                std::to_string(cColSpan) + " columns, more than a table is made of"});
    }
    uint32_t cRowAll = static_cast<uint32_t>(cRowSpan), cCol = static_cast<uint32_t>(cColSpan);
    uint32_t rowFirst = iHeader < 0 ? 0 : static_cast<uint32_t>(std::min<long>(iHeader + 1, cRowAll));
    size_t cRow = cRowAll - rowFirst;
    py::object header = py::none();
    if (iHeader >= 0 && iHeader < static_cast<long>(cRowAll)) {
        header = EmptyList(cCol);
    }
    // The data cells by column, each column's in stored order, so the last of a repeated cell
    // wins as it does in xlrd.
    TextObjects texts(book.texts);
    py::object nan = py::module_::import("numpy").attr("nan");
    std::vector<std::vector<uint32_t>> rgrgiCell(cCol);
    for (uint32_t i = 0; i < sheet.rgCell.size(); ++i) {
        const FrameCell &cell = sheet.rgCell[i];
        if (cell.row >= rowFirst) {
            rgrgiCell[cell.col].push_back(i);
        } else if (!header.is_none() && cell.row == static_cast<uint32_t>(iHeader)) {
            header[py::int_(cell.col)] = fShown ? texts.Get(cell.iShown) : CellObject(book, cell, texts, nan);
        }
    }
    py::list columns(cCol);
    for (uint32_t col = 0; col < cCol; ++col) {
        const std::vector<uint32_t> &rgiCell = rgrgiCell[col];
        bool fNumbers = !fShown && !rgiCell.empty();
        for (uint32_t iCell : rgiCell) {
            fNumbers = fNumbers && sheet.rgCell[iCell].kind == CellKind::Number;
        }
        py::object column = fNumbers ? NumberColumn(sheet, rgiCell, rowFirst, cRow) : py::none();
        if (column.is_none()) {
            PyObject **ppSlot;
            column = ObjectColumn(cRow, &ppSlot);
            for (uint32_t iCell : rgiCell) {
                const FrameCell &cell = sheet.rgCell[iCell];
                SetSlot(&ppSlot[cell.row - rowFirst],
                        fShown ? py::object(texts.Get(cell.iShown)) : CellObject(book, cell, texts, nan));
            }
        }
        columns[col] = column;
    }
    return py::make_tuple(cRowAll, cCol, header, columns);
}
