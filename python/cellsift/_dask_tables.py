"""Workbooks as Dask DataFrames: every cell of many files as one table, one partition per
file, and the files' sheets as DataFrames stacked; and the paths both take. cellsift.dask
gives them."""

from __future__ import annotations

import glob
import os
from collections.abc import Iterable as _Iterable
from typing import Iterable, List, Optional, Union, cast

import dask
import dask.dataframe as dd
import numpy
import pandas

import cellsift
from . import _core, _frames
from ._source import call, distinct
from ._values import locale_tag, raw_values

PathLike = Union[str, "os.PathLike[str]"]
Paths = Union[str, Iterable[PathLike]]

# The cell table's columns; declared, so that Dask learns them without reading a file.
CELL_COLUMNS = {"path": object, "sheet": object, "row": numpy.int64, "col": numpy.int64,
                "kind": object, "value": object, "number": numpy.float64, "shown": object, "formula": object}


def _cell_meta() -> pandas.DataFrame:
    return pandas.DataFrame({name: pandas.Series([], dtype=dtype)
                             for name, dtype in CELL_COLUMNS.items()})


def expand_paths(paths: Union[str, Iterable[PathLike]]) -> List[str]:
    """An iterable of paths as given, or one ``str`` taken as a glob pattern (``"dir/*.xls"``,
    ``"dir/**/*.xls"``), its matches in sorted order."""
    if isinstance(paths, str):
        return sorted(glob.glob(paths, recursive=True))
    if isinstance(paths, (bytes, os.PathLike)) or not isinstance(paths, _Iterable):
        raise TypeError("paths must be a glob pattern (str) or an iterable of paths, not %s"
                        % type(paths).__name__)
    return [os.fspath(p) for p in paths]


def _notes(path: str, kind: str, messages: List[str]) -> pandas.DataFrame:
    count = len(messages)
    return pandas.DataFrame({
        "path": [path] * count, "sheet": [None] * count,
        "row": numpy.full(count, -1, dtype=numpy.int64),
        "col": numpy.full(count, -1, dtype=numpy.int64), "kind": [kind] * count,
        "value": messages, "number": numpy.full(count, numpy.nan), "shown": messages,
        "formula": [None] * count})


# What fails one file (ValueError: a path no system takes); the job goes on.
_FILE_FAILURES = (cellsift.Error, OSError, ValueError, MemoryError)


def file_cells(path: str, values: str = "raw", password: Optional[str] = None,
               locale: str = "en-US") -> pandas.DataFrame:
    """The cells of one file in stored order, then its warnings; a file that cannot be read
    is one row of kind "error" with the message."""
    try:
        held = _core.frame_book(call(_core.open, path, password=password or ""), None,
                                all_text=True, every_sheet=True, shown=True, formulas=True, locale=locale)
    except _FILE_FAILURES as exc:
        return _notes(path, "error", [str(exc)])
    sheets, rows, cols, kinds, stored, numbers, shown, formulas = held.table()
    names = numpy.array([s[1] for s in held.sheets] or [""], dtype=object)
    frame = pandas.DataFrame({
        "path": numpy.full(len(rows), path, dtype=object), "sheet": names[sheets],
        "row": rows.astype(numpy.int64), "col": cols.astype(numpy.int64),
        "kind": pandas.Series(kinds, dtype=object),
        "value": pandas.Series(shown if values == "shown" else stored, dtype=object),
        "number": numbers, "shown": pandas.Series(shown, dtype=object),
        "formula": pandas.Series(formulas, dtype=object)})
    warnings = distinct(held.warnings)
    if warnings:
        frame = pandas.concat([frame, _notes(path, "warning", warnings)], ignore_index=True)
    return frame


def cells(paths: Paths, values: str = "raw", password: Optional[str] = None,
          locale: str = "en-US") -> dd.DataFrame:
    """A Dask DataFrame of every cell of the files (a glob pattern or an iterable of paths,
    as :func:`texts` takes them), one partition per file: ``path``,
    ``sheet`` (its name), ``row``, ``col`` (from 0), ``kind`` (text, number, date, bool or
    error), ``value`` (the stored value's text, as the ``cellsift`` tool writes it with
    ``--values raw``; with ``values="shown"`` the shown text), ``number`` (numbers and dates
    as stored, else NaN), ``shown`` (the text the cell's number format shows, as
    ``--values shown``) and ``formula`` (a formula cell's formula as the formula bar shows it,
    ``"=SUM(A1:A3)"``; None for other cells). ``password`` opens encrypted files; the shown
    texts are in ``locale``, as :func:`cellsift.text` takes it. What could not be read is a
    row too, never a failed job: kind "error" (the file) or "warning" (a part of it), the
    message as its value, row and col -1. The paths must be readable where the workers run."""
    raw_values(values)  # a ValueError now, not in every partition
    tag = locale_tag(locale)
    parts = [dask.delayed(file_cells)(path, values, password, tag) for path in expand_paths(paths)]
    if not parts:
        return cast(dd.DataFrame, dd.from_pandas(_cell_meta(), npartitions=1))
    return cast(dd.DataFrame, dd.from_delayed(parts, meta=_cell_meta()))


def file_frame(path: str, sheet: _frames.SheetChoice, header: Optional[int], values: str,
               password: Optional[str], locale: str = "en-US",
               meta: Optional[pandas.DataFrame] = None) -> pandas.DataFrame:
    """One file's frame with its path first and an "error" column last; a file that cannot
    be read is one row of meta's columns, empty but for its path and error."""
    try:
        frame = cellsift.read_frame(path, sheet=sheet, header=header, values=values,
                                    password=password, locale=locale)
    except _FILE_FAILURES as exc:
        if meta is None:
            raise
        failed = meta.reindex([0])
        failed["path"] = path
        failed["error"] = str(exc)
        return failed
    frame.insert(0, "path", path, allow_duplicates=True)
    frame.insert(len(frame.columns), "error", None, allow_duplicates=True)
    return frame


def frames(paths: Paths, sheet: _frames.SheetChoice = 0, header: Optional[int] = 0,
           values: str = "raw", password: Optional[str] = None, locale: str = "en-US") -> dd.DataFrame:
    """The sheet of every file as :func:`cellsift.read_frame` reads it (``values``,
    ``password`` and ``locale`` as it takes them), with a ``path`` column first and an ``error`` column
    last, stacked as one Dask DataFrame, one partition per file; each keeps its own row
    numbers, as ``pandas.concat`` keeps them. The files must share their columns; the first
    file that can be read is read here to learn them. A file that cannot be read is one row
    of its path and its error message (None in the rows of the files read), never a failed
    job."""
    if sheet is None:
        raise TypeError("frames stacks one sheet per file; name it or give its number")
    raw_values(values)
    tag = locale_tag(locale)
    names = expand_paths(paths)
    if not names:
        raise ValueError("no files to read")
    meta = pandas.DataFrame({"path": pandas.Series([], dtype=object),
                             "error": pandas.Series([], dtype=object)})
    for name in names:
        try:
            meta = file_frame(name, sheet, header, values, password, tag).iloc[:0]
            break
        except _FILE_FAILURES:
            continue
    parts = [dask.delayed(file_frame)(path, sheet, header, values, password, tag, meta) for path in names]
    return cast(dd.DataFrame, dd.from_delayed(parts, meta=meta))
