"""Text, cells, comments and text boxes of binary xls workbooks (BIFF5, 7 and 8, and the
older cell records), in Unicode.

    >>> import cellsift
    >>> print(cellsift.text("report.xls"))
    >>> book = cellsift.read(open("report.xls", "rb").read())
    >>> for sheet in book.sheets:
    ...     for row, col, value in sheet.cells():
    ...         ...

Reading releases the GIL, so threads read workbooks in parallel. Every failure of one file
is a :class:`cellsift.Error`; a workbook read only in part gives a
:class:`cellsift.PartialReadWarning` through :mod:`warnings`.
"""

from __future__ import annotations

import datetime as _dt
import os as _os
import warnings as _warnings
from typing import Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _core
from ._errors import (DamagedError, EncryptedError, Error, FileError, FilePermissionError, FolderError,
                      MissingFileError, NotWorkbookError, PartialReadWarning, TooLargeError)
from ._errors import file_error as _file_error

__all__ = ["text", "read", "Workbook", "Sheet", "Comment", "CellError", "Error",
           "EncryptedError", "NotWorkbookError", "DamagedError", "TooLargeError", "FileError",
           "MissingFileError", "FilePermissionError", "FolderError", "PartialReadWarning",
           "__version__"]
__version__ = _core.__version__

Source = Union[str, "_os.PathLike[str]", bytes, bytearray, memoryview]


def _arg(source: Source):
    """The source and whether it is a path: bytes-like objects are the file's content."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return source, False
    path = _os.fsencode(source)
    if b"\0" in path:
        # As open() does: the system would take the path only up to it.
        raise ValueError("embedded null byte")
    return path, True


def _call(function, source: Source, **kwargs):
    arg, is_path = _arg(source)
    try:
        return function(arg, is_path, **kwargs)
    except FileError as exc:
        # The reader knows the reason; the path is the caller's.
        raise _file_error(exc, _os.fsdecode(arg)) from None


def _name(source: Source) -> str:
    return "<bytes>" if isinstance(source, (bytes, bytearray, memoryview)) else _os.fsdecode(source)


def _distinct(messages) -> List[str]:
    return list(dict.fromkeys(messages))


def _warn_partial(source: Source, messages: List[str]) -> None:
    if messages:
        _warnings.warn("%s: read in part: %s" % (_name(source), "; ".join(_distinct(messages))),
                       PartialReadWarning, stacklevel=3)


def _raw_values(values: str) -> bool:
    """Whether ``values`` asks for the stored values; a ValueError for neither word."""
    if values not in ("shown", "raw"):
        raise ValueError("values must be 'shown' or 'raw', not %r" % (values,))
    return values == "raw"


def _text(source: Source, values: str = "shown") -> Tuple[str, List[str]]:
    """The text and the distinct warnings of a workbook read in part, without warning."""
    messages: List[str] = []
    result = _call(_core.text, source, warnings=messages, raw_values=_raw_values(values))
    return result, _distinct(messages)


def text(source: Source, values: str = "shown") -> str:
    """The workbook's text as the ``cellsift`` tool prints it by default: the writer's
    name, then per sheet its name, a line per row with the cells separated by tabs, its
    comments and text boxes. ``source`` is a path or the bytes of the file. ``values``:
    ``"shown"``, numbers, dates and times as their number formats show them (``97.4%``,
    ``3/15/2023``), or ``"raw"``, the stored values (``0.974``, ``2023-03-15``), as the
    tool's ``--values``. A workbook read in part gives its text and a
    :class:`PartialReadWarning`."""
    result, messages = _text(source, values)
    _warn_partial(source, messages)
    return result


_ERROR_CODES = {"#NULL!": 0x00, "#DIV/0!": 0x07, "#VALUE!": 0x0F, "#REF!": 0x17,
                "#NAME?": 0x1D, "#NUM!": 0x24, "#N/A": 0x2A}


class CellError:
    """A cell's error value: ``text`` such as ``#DIV/0!`` and the stored ``code`` (as
    xlrd's ``error_text_from_code`` keys it; -1 for a code no program defines)."""

    __slots__ = ("code", "text")

    def __init__(self, text: str):
        self.text = text
        self.code = _ERROR_CODES.get(text, -1)

    def __eq__(self, other):
        return isinstance(other, CellError) and other.text == self.text

    def __hash__(self):
        return hash(self.text)

    def __repr__(self):
        return "CellError(%r)" % self.text

    def __str__(self):
        return self.text


class Comment(NamedTuple):
    row: int
    col: int
    author: str
    text: str


Value = Union[str, int, float, bool, _dt.date, _dt.datetime, _dt.time, CellError]


def _date_value(iso: str):
    # The 1900 system's day 60 is 1900-02-29, which no calendar has: it stays its text.
    try:
        if "T" in iso:
            return _dt.datetime.fromisoformat(iso)
        if ":" in iso:
            return _dt.time.fromisoformat(iso)
        return _dt.date.fromisoformat(iso)
    except ValueError:
        return iso


class Sheet:
    """One sheet: ``name``, ``kind`` ("worksheet", "chart", "macro" or "other"),
    ``hidden``, its ``comments`` and ``textboxes``, and its cells through :meth:`cells`."""

    __slots__ = ("index", "name", "kind", "hidden", "comments", "textboxes", "_cells")

    def __init__(self, index, name, kind, hidden, cells, comments, textboxes):
        self.index = index
        self.name = name
        self.kind = kind
        self.hidden = hidden
        self._cells = cells
        self.comments = [Comment(*c) for c in comments]
        self.textboxes = list(textboxes)

    def cells(self, shown: bool = False) -> Iterator[Tuple[int, int, Union[Value, str]]]:
        """``(row, col, value)`` for every cell that holds a value, in stored order; rows
        and columns count from 0. Blank cells are not cells. A date is a ``date``,
        ``datetime`` or ``time``, except the 1900 system's day 60, the 29th of February
        1900 that spreadsheet programs count but no calendar has: it is the ``str``
        ``"1900-02-29"`` (with ``"T..."`` and the time when the cell has one). With
        ``shown=True`` the value is the ``str`` the cell's number format shows."""
        for row, col, kind, value, shown_text in self._cells:
            if shown:
                yield row, col, shown_text
                continue
            if kind == _core.KIND_DATE:
                value = _date_value(value)
            elif kind == _core.KIND_ERROR:
                value = CellError(value)
            yield row, col, value

    def __repr__(self):
        return "<cellsift.Sheet %d %r %s%s>" % (self.index, self.name, self.kind,
                                               " hidden" if self.hidden else "")


class Workbook:
    """A workbook as read: ``author`` (or None), ``date1904``, ``biff`` (2 to 8),
    ``codepage`` (or None), ``sheets``, and ``warnings`` about what could not be read."""

    __slots__ = ("author", "date1904", "biff", "codepage", "sheets", "warnings")

    def __init__(self, author, date1904, biff, codepage, sheets, warnings):
        self.author = author
        self.date1904 = date1904
        self.biff = biff
        self.codepage = codepage
        self.sheets: List[Sheet] = [Sheet(i, *s) for i, s in enumerate(sheets)]
        self.warnings: List[str] = list(warnings)

    @property
    def textboxes(self) -> List[str]:
        return [t for s in self.sheets for t in s.textboxes]

    @property
    def comments(self) -> List[Comment]:
        return [c for s in self.sheets for c in s.comments]

    def __repr__(self):
        return "<cellsift.Workbook BIFF%d, %d sheets>" % (self.biff, len(self.sheets))


def read(source: Source) -> Workbook:
    """Reads the whole workbook; ``source`` is a path or the bytes of the file. A workbook
    read in part also gives a :class:`PartialReadWarning`; ``warnings`` says the same."""
    book = Workbook(*_call(_core.read, source))
    _warn_partial(source, book.warnings)
    return book
