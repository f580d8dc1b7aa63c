"""Sheets as pandas DataFrames, the same as pandas.read_excel(..., engine="xlrd") makes them:
the reader builds the columns in C++, pandas' own parser names and types them."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Callable, Dict, List, Optional, Union, overload

from . import _core
from ._errors import NoSuchSheetError
from ._source import Source, call, content, warn_partial
from ._values import locale_tag, raw_values

if TYPE_CHECKING:
    import pandas

SheetChoice = Union[str, int]

# What pandas.read_excel passes its parser for an .xls sheet when given no options.
_PARSER_OPTIONS: Dict[str, Any] = dict(
    names=None, index_col=None, has_index_names=False, squeeze=None, dtype=None,
    true_values=None, false_values=None, skiprows=None, nrows=None, na_values=None,
    skip_blank_lines=False, parse_dates=False, date_parser=None, thousands=None,
    decimal=".", comment=None, skipfooter=0, usecols=None, mangle_dupe_cols=True)
# The shown strings stay strings, as pandas leaves them under dtype=str; only an empty cell
# is NaN (a text that reads "NA" is a text).
_SHOWN_OPTIONS: Dict[str, Any] = dict(_PARSER_OPTIONS, dtype=object, na_values=[""],
                                      keep_default_na=False)


class _NoSuchWorksheet(NoSuchSheetError, ValueError):
    """A sheet read_frame cannot find: the package's error, and pandas' ValueError."""


def _pandas() -> Any:
    try:
        import pandas
        from pandas.io.parsers import TextParser
    except ImportError as exc:
        raise ImportError(
            "cellsift.read_frame needs pandas (Debian: apt install python3-pandas; "
            "elsewhere: pip install pandas): %s" % exc) from exc
    return pandas, TextParser


def _check_header(header: Optional[int]) -> int:
    if header is None:
        return -1
    if isinstance(header, bool) or not isinstance(header, int) or header < 0:
        raise TypeError("header must be a row number (0 or more) or None, not %r" % (header,))
    return header


def _rows(header: Optional[List[Any]], columns: List[Any], first_row: int) -> List[List[Any]]:
    """The sheet's rows as pandas' xlrd reader hands them to its parser (rows above the
    header are empty here: the parser skips them)."""
    width = len(columns)
    rows: List[List[Any]] = [[""] * width for _ in range(first_row - (header is not None))]
    if header is not None:
        rows.append(list(header))
    rows.extend([list(row) for row in zip(*[list(c) for c in columns])])
    return rows


def _frame(held: Any, index: int, header: Optional[int], shown: bool = False) -> "pandas.DataFrame":
    pandas, TextParser = _pandas()
    options = _SHOWN_OPTIONS if shown else _PARSER_OPTIONS
    row = _check_header(header)
    nrows, _, names, columns = held.columns(index, row, shown)
    if nrows == 0:
        return pandas.DataFrame()
    first_row = row + 1 if row >= 0 else 0
    first = names if row == 0 else columns[0] if row < 0 and len(columns[0]) else None
    bom = first is not None and isinstance(first[0], str) and first[0].startswith("\ufeff")
    if nrows <= first_row or bom or row >= nrows:
        # No data rows, a byte-order mark the parser strips, a header below the table: what
        # pandas does there comes from its parser fed the rows themselves.
        if row >= nrows:
            columns = held.columns(index, -1, shown)[3]
            return TextParser(_rows(None, columns, 0), header=header, **options).read()
        return TextParser(_rows(names, columns, first_row), header=header, **options).read()
    # The parser reads the header (or the first row, to count the columns) as it would from
    # the rows; the columns below it go straight to its type inference.
    lines = _rows(names, [c[:1] for c in columns], first_row)
    reader = TextParser(lines, header=header, **options)
    parser = reader._engine
    alldata = list(columns)
    data, names = parser._exclude_implicit_index(alldata)
    converted = parser._convert_data(data)
    names, converted = parser._do_date_conversions(names, converted)
    frame_index, names = parser._make_index(converted, alldata, names, None)
    if frame_index is None:
        frame_index = pandas.RangeIndex(0, nrows - first_row)
    return pandas.DataFrame(converted, columns=names, index=frame_index)


def _pick(held: Any, sheet: Optional[SheetChoice]) -> List[Any]:
    """The held sheets' (index, name) in the order pandas lists them; none when sheet is None
    and the workbook has no worksheet."""
    chosen = [(s[0], s[1]) for s in held.sheets if s[5]]
    if not chosen and sheet is not None:
        # pandas' words, for code written against it.
        if isinstance(sheet, str):
            raise _NoSuchWorksheet("Worksheet named '%s' not found" % sheet)
        count = sum(1 for s in held.sheets if s[4] >= 0)
        raise _NoSuchWorksheet("Worksheet index %r is invalid, %d worksheets found" % (sheet, count))
    return chosen


def frames(open_stream: Callable[[], Any], sheet: Optional[SheetChoice], header: Optional[int],
           index: int = -1, warnings: Optional[List[str]] = None, shown: bool = False,
           locale: str = "en-US") -> Any:
    """The frame of one sheet, or {name: frame} of every worksheet when sheet is None. A
    stream that open_stream makes is freed once read, before the frames are made. What could
    not be read is added to warnings, when given. shown: the cells' shown strings, in locale."""
    if sheet is not None and not isinstance(sheet, str):
        if isinstance(sheet, bool) or not isinstance(sheet, int) or sheet < 0:
            raise TypeError("sheet must be a name, a worksheet number (0 or more) or None, "
                            "not %r" % (sheet,))
    _check_header(header)
    _pandas()
    held = _core.frame_book(open_stream(), sheet, index, shown=shown, pandas_names=True, locale=locale)
    if warnings is not None:
        warnings.extend(held.warnings)
    chosen = _pick(held, sheet)
    if sheet is None and index < 0:
        return {name: _frame(held, i, header, shown) for i, name in chosen}
    return _frame(held, chosen[0][0], header, shown)


@overload
def read_frame(source: Source, sheet: None, header: Optional[int] = 0, values: str = "raw",
               password: Optional[str] = None, locale: str = "en-US") -> "Dict[str, pandas.DataFrame]": ...


@overload
def read_frame(source: Source, sheet: SheetChoice = 0, header: Optional[int] = 0,
               values: str = "raw", password: Optional[str] = None,
               locale: str = "en-US") -> "pandas.DataFrame": ...


def read_frame(source, sheet=0, header=0, values="raw", password=None, locale="en-US"):
    """A worksheet's table as a pandas DataFrame, as ``pandas.read_excel(source,
    sheet_name=sheet, header=header, engine="xlrd")`` builds it: column names from row
    ``header`` (None: numbered columns), empty cells NaN, whole numbers int64, dates
    datetime64. ``sheet`` is a name, the position among the worksheets, or None for a dict
    of every worksheet by name ({} for a workbook without one); one that is not there
    raises :class:`cellsift.NoSuchSheetError` (a ValueError too, as pandas raises).
    ``values="shown"`` makes every value, and the column names, the str the cell shows
    (``97.4%``, ``3/15/2023``), empty cells NaN, in ``locale`` as :func:`cellsift.text` takes
    it (``"de-DE"``: ``97,4%``, ``15.03.2023``). ``source`` is a path, the bytes of the file
    or a file object opened for bytes. Needs pandas. A workbook read in part gives its
    frames and a :class:`cellsift.PartialReadWarning`."""
    raw = raw_values(values)
    tag = locale_tag(locale)
    source = content(source)
    messages: List[str] = []
    result = frames(lambda: call(_core.open, source, password=password or ""), sheet, header,
                    warnings=messages, shown=not raw, locale=tag)
    warn_partial(source, messages)
    return result
