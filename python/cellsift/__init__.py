"""Text, cells, comments and text boxes, document properties, headers and footers,
hyperlinks and chart text of binary xls workbooks (BIFF5, 7 and 8, and the older cell
records), in Unicode.

    >>> import cellsift
    >>> print(cellsift.text("report.xls"))
    >>> book = cellsift.read(open("report.xls", "rb"))   # or a path, or the bytes
    >>> for sheet in book.sheets:
    ...     for row, col, value in sheet.cells():
    ...         ...

Reading releases the GIL, so threads read workbooks in parallel. Every failure of one file
is a :class:`cellsift.Error`; a workbook read only in part gives a
:class:`cellsift.PartialReadWarning` through :mod:`warnings`.
"""

from __future__ import annotations

from typing import Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _core
from ._access import SheetAccess, WorkbookAccess, names_text
from ._errors import (DamagedError, EncryptedError, Error, FileError, FilePermissionError, FolderError,
                      MissingFileError, NoSuchSheetError, NotWorkbookError, PartialReadWarning,
                      TooLargeError)
from ._frames import read_frame
from ._source import Source
from ._source import call as _call
from ._source import content as _content
from ._source import distinct as _distinct
from ._source import warn_partial as _warn_partial
from ._values import CellError, Properties, Value
from ._values import locale_tag as _locale_tag
from ._values import raw_values as _raw_values

__all__ = ["text", "read", "read_frame", "Workbook", "Sheet", "Comment", "Hyperlink", "Chart",
           "Name", "ExternalLink", "VbaModule", "Embedded", "CellRange",
           "CellError", "Value", "Properties", "Error",
           "EncryptedError", "NotWorkbookError", "DamagedError", "TooLargeError", "NoSuchSheetError",
           "FileError",
           "MissingFileError", "FilePermissionError", "FolderError", "PartialReadWarning",
           "__version__"]
__version__ = _core.__version__


def _check_sheet(sheet: Union[None, str, int]) -> None:
    if sheet is None or isinstance(sheet, str):
        return
    if isinstance(sheet, bool) or not isinstance(sheet, int) or sheet < 0:
        raise TypeError("sheet must be a name, a sheet number (0 or more) or None, not %r" % (sheet,))


_FORMATS = ("text", "csv", "jsonl", "html")


def _check_format(format: str) -> None:
    if format not in _FORMATS:
        raise ValueError("format must be one of %s, not %r" % (", ".join(map(repr, _FORMATS)), format))


def _text(source: Source, *, sheet: Union[None, str, int] = None, notes: bool = True, format: str = "text",
          values: str = "shown", password: Optional[str] = None,
          properties: bool = True, formulas: bool = False, locale: str = "en-US",
          macros: bool = True, embedded: bool = True) -> Tuple[str, List[str]]:
    """The written form and the distinct warnings of a workbook read in part, without warning."""
    _check_format(format)
    _check_sheet(sheet)
    tag = _locale_tag(locale)
    messages: List[str] = []
    result = _call(_core.text, _content(source), warnings=messages, password=password or "",
                   raw_values=_raw_values(values), formulas=bool(formulas), format=format, sheet=sheet,
                   notes=bool(notes),
                   properties=bool(properties), macros=bool(macros), embedded=bool(embedded), locale=tag)
    return result, _distinct(messages)


def text(source: Source, *, sheet: Union[None, str, int] = None, notes: bool = True, format: str = "text",
         values: str = "shown", password: Optional[str] = None, properties: bool = True,
         formulas: bool = False, locale: str = "en-US", macros: bool = True, embedded: bool = True) -> str:
    """The workbook as the ``cellsift`` tool writes it, the same text as ``cellsift --format
    FORMAT [--sheet N | --sheet-name NAME] [--no-notes] [--no-properties] [--no-macros]
    [--no-embedded] --values VALUES
    [--formulas] --locale LOCALE``.
    ``format``: ``"text"`` (the default: its properties and who saved it, then per sheet its
    name, a line per row with the cells separated by tabs, its comments, text boxes, headers
    and footers, hyperlinks and charts), ``"csv"`` (each sheet a table), ``"jsonl"`` (a JSON
    object per line; its ``"file"`` is the path, "" for bytes) or ``"html"`` (one document).
    ``source`` is a path, the bytes of the file, or a file object opened for bytes, which is
    read from where it stands. ``sheet``: None for every sheet, a name, or a number counted
    from 0 among all sheets; one that is not there raises :class:`NoSuchSheetError`.
    ``notes=False`` leaves out comments, text boxes, headers, footers and charts;
    ``properties=False`` the document's properties; ``macros=False`` the modules of its VBA
    project, which come after the sheets; ``embedded=False`` the documents embedded in it (each
    an ``Embedded PATH (CLASS): NAME`` line or heading, an embedded workbook's own content
    after it; never in CSV or with ``sheet``). ``values``: ``"shown"``,
    numbers, dates and times as their number formats show them (``97.4%``, ``3/15/2023``), or
    ``"raw"``, the stored values (``0.974``, ``2023-03-15``), as the tool's ``--values``.
    ``formulas=True`` writes a formula cell's formula (``=SUM(A1:A3)``) in place of its value
    in the text, CSV and HTML forms, as the tool's ``--formulas``. ``locale`` (``"de-DE"``,
    ``"ru_RU"``, ``"auto"`` for the environment's) shows values as a spreadsheet set to it
    does (``1.234,56``, ``05.03.2023``), as the tool's ``--locale``; a name ICU has no data for
    raises ValueError. An
    encrypted workbook is opened with the default password, else with ``password``; without
    the right one it raises :class:`EncryptedError` (``needs_password``). A workbook read in
    part gives its text and a :class:`PartialReadWarning`."""
    source = _content(source)
    result, messages = _text(source, sheet=sheet, notes=notes, format=format, values=values,
                             password=password, properties=properties, formulas=formulas, locale=locale,
                             macros=macros, embedded=embedded)
    _warn_partial(source, messages)
    return result


class Comment(NamedTuple):
    row: int
    col: int
    author: str
    text: str


class Hyperlink(NamedTuple):
    """A link over the cells ``row``..``last_row``, ``col``..``last_col``: its ``target`` (a
    URL, a file or UNC path, each with ``#place`` when it has one, or a place in the workbook
    such as ``Sheet2!A1``), its ``description`` and ``tooltip`` ("" when none)."""
    row: int
    col: int
    last_row: int
    last_col: int
    target: str
    description: str
    tooltip: str


class Chart(NamedTuple):
    """The text of a chart: ``title`` ("" when none), the names of its ``series``, its
    ``axes`` titles and its data ``labels``, each in stored order."""
    title: str
    series: List[str]
    axes: List[str]
    labels: List[str]


class Name(NamedTuple):
    """A defined name: ``name`` (a built-in one by its name, such as ``Print_Area``),
    ``sheet`` (the index of the sheet it is local to, None for the workbook's), ``hidden``,
    ``built_in`` and ``formula``, what it refers to as the formula bar shows it
    (``=Sheet1!$A$1:$C$9``; "" when it has none)."""
    name: str
    sheet: Optional[int]
    hidden: bool
    built_in: bool
    formula: str


class ExternalLink(NamedTuple):
    """A document the workbook's formulas refer to: ``number`` (``[1]`` in a formula; JSON
    lines' ``index``, a name a tuple's field cannot have),
    ``kind`` ("workbook", "dde", "ole", or "addin" for the add-in functions' table) and
    ``path`` (the linked workbook's path decoded, "server|topic" for DDE, "" for add-ins)."""
    number: int
    kind: str
    path: str


class VbaModule(NamedTuple):
    """A module of the workbook's VBA project: ``name``, ``kind`` ("standard", "class",
    "document" for the workbook's and the sheets' own, "form") and ``code``, its source as
    stored (CR LF line ends, the ``Attribute`` lines included)."""
    name: str
    kind: str
    code: str


class Embedded(NamedTuple):
    """A document embedded in the workbook: ``path`` (its storage, ``MBD00000001`` or
    ``ObjectPool/_1234``), ``class_name`` (the type it names, "" when none), ``package`` (a
    packaged file's name, else ""), ``properties`` (its own, as :attr:`Workbook.properties`),
    and ``workbook``, an embedded workbook read as this one is (None for other kinds), with
    its own ``embedded``."""
    path: str
    class_name: str
    package: str
    properties: Properties
    workbook: Optional["Workbook"]


class CellRange(NamedTuple):
    """Cells ``first_row``..``last_row``, ``first_col``..``last_col``, counted from 0."""
    first_row: int
    first_col: int
    last_row: int
    last_col: int


class Sheet(SheetAccess):
    """One sheet: ``name``, ``kind`` ("worksheet", "chart", "macro", "dialog", "module" or
    "other"), ``hidden``, its ``merged`` cells (:class:`CellRange`), its ``hidden_rows`` and
    ``hidden_columns`` (``range`` objects of indexes from 0), its ``comments`` and ``textboxes``, its page ``header`` and ``footer`` (the
    text of every page, or None; ``page_texts`` also has the first-page and even-page ones as
    ``(kind, pages, text)``, pages "", "first" or "even"), its ``hyperlinks`` and ``charts``,
    its cells through :meth:`cells`, by position through :meth:`cell`, :meth:`row` and
    :meth:`rows`, and as a DataFrame through :meth:`to_pandas`; the formulas of its formula
    cells through :meth:`formula` and :meth:`formulas`. A chart sheet has no cells."""

    __slots__ = ("index", "name", "kind", "hidden", "comments", "textboxes", "page_texts",
                 "header", "footer", "hyperlinks", "charts", "merged", "hidden_rows", "hidden_columns",
                 "_cells", "_formulas")
    index: int
    name: str
    kind: str
    hidden: bool
    comments: List[Comment]
    textboxes: List[str]
    page_texts: List[Tuple[str, str, str]]
    hyperlinks: List[Hyperlink]
    charts: List[Chart]
    merged: List[CellRange]
    hidden_rows: List[range]
    hidden_columns: List[range]

    def __init__(self, book: "Workbook", index: int, name: str, kind: str, hidden: bool,
                 cells: _core.SheetCells, comments: List[Tuple[int, int, str, str]],
                 textboxes: List[str], page_texts: List[Tuple[str, str, str]],
                 hyperlinks: List[Tuple[int, int, int, int, str, str, str]],
                 charts: List[Tuple[str, List[str], List[str], List[str]]],
                 formulas: List[Tuple[int, int, str]], merged: List[Tuple[int, int, int, int]],
                 hidden_spans: List[Tuple[bool, int, int]]):
        self._book = book
        self._grid = None
        self.index = index
        self.name = name
        self.kind = kind
        self.hidden = hidden
        self._cells = cells
        self.comments = [Comment(*c) for c in comments]
        self.textboxes = list(textboxes)
        self.page_texts = [(p[0], p[1], p[2]) for p in page_texts]
        every_page = {kind: text for kind, pages, text in self.page_texts if pages == ""}
        self.header: Optional[str] = every_page.get("header")
        self.footer: Optional[str] = every_page.get("footer")
        self.hyperlinks = [Hyperlink(*h) for h in hyperlinks]
        self.charts = [Chart(*c) for c in charts]
        self._formulas = {(row, col): text for row, col, text in formulas}
        self.merged = [CellRange(*m) for m in merged]
        self.hidden_rows = [range(first, last + 1) for columns, first, last in hidden_spans if not columns]
        self.hidden_columns = [range(first, last + 1) for columns, first, last in hidden_spans if columns]

    def cells(self, shown: bool = False, formulas: bool = False) -> Iterator[Tuple[int, int, Value]]:
        """``(row, col, value)`` for every cell that holds a value, in stored order; rows
        and columns count from 0. Blank cells are not cells. A date is a ``date``,
        ``datetime`` or ``time``, except the 1900 system's day 60, the 29th of February
        1900 that spreadsheet programs count but no calendar has: it is the ``str``
        ``"1900-02-29"`` (with ``"T..."`` and the time when the cell has one). With
        ``shown=True`` the value is the ``str`` the cell's number format shows. With
        ``formulas=True`` a formula cell gives its formula (``"=SUM(A1:A3)"``) instead, as
        a spreadsheet's "show formulas" view and the tool's ``--formulas``."""
        items = self._cells.items(shown, self._book.date1904, CellError)
        if not formulas or not self._formulas:
            return items
        held = self._formulas
        return ((row, col, held.get((row, col), value)) for row, col, value in items)

    def formula(self, row: int, col: int) -> Optional[str]:
        """The formula of the cell at ``row``, ``col`` (from 0) as the formula bar shows it
        in en-US (``"=SUM(A1:A3)"``, ``"{=A1:A2*2}"`` for an array formula), or None when the
        cell holds none. A formula whose tokens are damaged shows ``#FORMULA?`` where the
        damage starts, and the workbook's ``warnings`` say so."""
        return self._formulas.get((row, col))

    def formulas(self) -> Dict[Tuple[int, int], str]:
        """Every formula of the sheet by ``(row, col)``."""
        return dict(self._formulas)

    def __repr__(self) -> str:
        return "<cellsift.Sheet %d %r %s%s>" % (self.index, self.name, self.kind,
                                               " hidden" if self.hidden else "")


class Workbook(WorkbookAccess[Sheet]):
    """A workbook as read: ``saved_by`` (who saved it last, or None), ``properties`` (the
    document's: "title", "subject", "author", "keywords", "comments", "last_saved_by",
    "application", "created", "last_saved", "company", "manager", "category" when present,
    dates as ISO 8601 UTC text, and "custom", a dict of the user's own), ``date1904``,
    ``biff`` (2 to 8), ``codepage`` (or None), ``names`` (:class:`Name`), ``external_links``
    (:class:`ExternalLink`), ``macros`` (it has a VBA project or a macro sheet),
    ``vba_modules`` (:class:`VbaModule`), ``embedded`` (:class:`Embedded`), ``sheets`` (also ``book[0]``, ``book["name"]``, ``len(book)``
    and iteration), ``sheet_names``, and ``warnings`` about what could not be read. Use it
    in a with-block, or :meth:`close` it, to free the stream it keeps for
    :meth:`Sheet.to_pandas`."""

    __slots__ = ("saved_by", "properties", "date1904", "biff", "codepage", "sheets", "warnings", "names",
                 "external_links", "macros", "vba_modules", "embedded")
    saved_by: Optional[str]
    properties: Properties
    date1904: bool
    biff: int
    codepage: Optional[int]
    names: List[Name]
    external_links: List[ExternalLink]
    macros: bool
    vba_modules: List[VbaModule]
    embedded: List[Embedded]

    def __init__(self, stream: _core.Stream, saved_by: Optional[str], date1904: bool, biff: int,
                 codepage: Optional[int], sheets: List[Tuple[Any, ...]], warnings: List[str],
                 properties: Properties, names: List[Tuple[str, Optional[int], bool, bool, str]],
                 external_links: List[Tuple[int, str, str]], macros: bool,
                 vba_modules: List[Tuple[str, str, str]], embedded: List[Tuple[Any, ...]], *, locale: str = "en-US"):
        self._stream = stream
        self._locale = locale
        self.saved_by = saved_by
        self.properties = properties
        self.date1904 = date1904
        self.biff = biff
        self.codepage = codepage
        self.sheets: List[Sheet] = [Sheet(self, i, *s) for i, s in enumerate(sheets)]
        self.warnings: List[str] = list(warnings)
        self.names = [Name(*n) for n in names]
        self.external_links = [ExternalLink(*x) for x in external_links]
        self.macros = macros
        self.vba_modules = [VbaModule(*m) for m in vba_modules]
        self.embedded = [Embedded(path, class_name, package, props,
                                  None if inner is None else Workbook(inner, *_core.read(inner, locale=locale),
                                                                      locale=locale))
                         for path, class_name, package, props, inner in embedded]

    @property
    def textboxes(self) -> List[str]:
        return [t for s in self.sheets for t in s.textboxes]

    @property
    def comments(self) -> List[Comment]:
        return [c for s in self.sheets for c in s.comments]

    def __repr__(self) -> str:
        return "<cellsift.Workbook BIFF%d, %d sheets: %s%s>" % (
            self.biff, len(self.sheets), names_text(self.sheet_names),
            ", closed" if self.closed else "")


def read(source: Source, password: Optional[str] = None, locale: str = "en-US") -> Workbook:
    """Reads the whole workbook; ``source`` is a path, the bytes of the file or a file
    object opened for bytes, and
    ``password`` opens it when it is encrypted (as for :func:`text`). The shown values
    (``cells(shown=True)``, ``to_pandas(values="shown")``) are in ``locale``, as :func:`text`'s.
    A workbook read in part also gives a :class:`PartialReadWarning`; ``warnings`` says the
    same."""
    tag = _locale_tag(locale)
    source = _content(source)
    stream = _call(_core.open, source, password=password or "")
    book = Workbook(stream, *_core.read(stream, locale=tag), locale=tag)
    _warn_partial(source, book.warnings)
    return book
