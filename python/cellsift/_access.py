"""How a Workbook is looked into: its sheets by name or number, with-blocks that free the
stream, and a sheet's cells by row and column or as a pandas DataFrame."""

from __future__ import annotations

from typing import (TYPE_CHECKING, Any, Dict, Generic, Iterator, List, Optional, Sequence,
                    Tuple, TypeVar, Union)

from . import _frames
from ._values import Value, raw_values

if TYPE_CHECKING:
    import pandas

Book = TypeVar("Book", bound="WorkbookAccess[Any]")
SheetType = TypeVar("SheetType", bound="SheetAccess")


class SheetAccess:
    """A sheet's grid: rows and columns count from 0, a cell that holds no value is None."""

    __slots__ = ("_book", "_grid")
    _book: "WorkbookAccess[Any]"
    _grid: Optional[Tuple[int, int, Dict[Tuple[int, int], Value]]]
    if TYPE_CHECKING:
        index: int
        name: str

        def cells(self) -> Iterator[Tuple[int, int, Value]]: ...

    def _table(self) -> Tuple[int, int, Dict[Tuple[int, int], Value]]:
        if self._grid is None:
            # A cell stored twice counts as its last copy, as every reader takes it.
            values = {(row, col): value for row, col, value in self.cells()}
            nrows = max((row for row, _ in values), default=-1) + 1
            ncols = max((col for _, col in values), default=-1) + 1
            self._grid = (nrows, ncols, values)
        return self._grid

    @property
    def nrows(self) -> int:
        """One more than the last row that holds a value (0 for a sheet without values)."""
        return self._table()[0]

    @property
    def ncols(self) -> int:
        """One more than the last column that holds a value."""
        return self._table()[1]

    def cell(self, row: int, col: int) -> Optional[Value]:
        """The value at (row, col), None where the cell holds none. IndexError outside
        ``nrows`` by ``ncols``; negative numbers count from the end, as in a list."""
        nrows, ncols, values = self._table()
        return values.get((_position(row, nrows, "row"), _position(col, ncols, "column")))

    def row(self, row: int) -> List[Optional[Value]]:
        """Row ``row`` as a list of ``ncols`` values, None for the cells without one."""
        nrows, ncols, values = self._table()
        row = _position(row, nrows, "row")
        return [values.get((row, col)) for col in range(ncols)]

    def rows(self) -> Iterator[List[Optional[Value]]]:
        """Every row from 0 to ``nrows - 1``, as :meth:`row` gives it."""
        for row in range(self.nrows):
            yield self.row(row)

    def to_pandas(self, header: Optional[int] = 0, values: str = "raw") -> "pandas.DataFrame":
        """The sheet as a DataFrame, as :func:`cellsift.read_frame` makes it (``values`` as it
        takes them, shown in the workbook's locale). Reads the workbook's stream again, so the
        workbook must not be closed."""
        return _frames.frames(self._book._open_stream, None, header, index=self.index,
                              shown=not raw_values(values), locale=self._book._locale)


def _position(n: int, count: int, what: str) -> int:
    if isinstance(n, bool) or not isinstance(n, int):
        raise TypeError("a %s number must be an int, not %s" % (what, type(n).__name__))
    if not -count <= n < count:
        raise IndexError("%s %d is outside the sheet's %d %ss" % (what, n, count, what))
    return n + count if n < 0 else n


class WorkbookAccess(Generic[SheetType]):
    """The sheets as a sequence and by name; a with-block closes the workbook, which frees
    the stream kept for :meth:`Sheet.to_pandas`."""

    __slots__ = ("_stream", "_locale")
    _stream: Any
    _locale: str  # the tag the shown values are in
    if TYPE_CHECKING:
        sheets: List[SheetType]
        date1904: bool

    def __len__(self) -> int:
        return len(self.sheets)

    def __iter__(self) -> Iterator[SheetType]:
        return iter(self.sheets)

    def __getitem__(self, key: Union[int, str]) -> SheetType:
        """``book[0]``, ``book[-1]`` or ``book["Sheet1"]``."""
        if isinstance(key, str):
            found = self._named(key)
            if found is None:
                raise KeyError("no sheet named %r; the sheets are %s" % (key, self.sheet_names))
            return found
        if isinstance(key, bool) or not isinstance(key, int):
            raise TypeError("sheets are looked up by name or number, not by %s"
                            % type(key).__name__)
        return self.sheets[key]

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and self._named(name) is not None

    def _named(self, name: str) -> Optional[SheetType]:
        """The first sheet of that name, else the first whose name differs only in letter case,
        as spreadsheet programs and the tool's --sheet treat sheet names."""
        for sheet in self.sheets:
            if sheet.name == name:
                return sheet
        folded = name.casefold()
        for sheet in self.sheets:
            if sheet.name.casefold() == folded:
                return sheet
        return None

    @property
    def sheet_names(self) -> List[str]:
        return [sheet.name for sheet in self.sheets]

    def close(self) -> None:
        """Frees the workbook's stream; the sheets' values stay."""
        self._stream = None

    @property
    def closed(self) -> bool:
        return self._stream is None

    def _open_stream(self) -> Any:
        if self._stream is None:
            raise ValueError("the workbook is closed")
        return self._stream

    def __enter__(self: Book) -> Book:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()


def names_text(names: Sequence[str], limit: int = 5) -> str:
    """Sheet names for a repr: the first few, then how many more."""
    shown = ", ".join(repr(n) for n in names[:limit])
    return shown + (", … %d more" % (len(names) - limit) if len(names) > limit else "")
