"""Many workbooks on one machine or any Dask cluster: texts as a Dask bag, every cell as a
Dask DataFrame (:func:`cells`), a sheet of each file stacked (:func:`frames`).

A file that cannot be read gives a record with its error message, never an exception that
would end the whole job; a file read in part gives its text and the reader's "warnings".
"""

from __future__ import annotations

import os
from typing import Any, Dict, Iterable, List, Optional, Union

import dask
import dask.bag as db
from dask.bytes import read_bytes

import cellsift
from ._dask_tables import cells, expand_paths, frames

__all__ = ["texts", "texts_from_bytes", "cells", "frames"]

PathLike = Union[str, "os.PathLike[str]"]


def _options(values: str, password: Optional[str], format: str, sheet: Union[None, str, int],
             notes: bool, properties: bool, formulas: bool, locale: str, macros: bool,
             embedded: bool) -> Dict[str, Any]:
    """cellsift.text's keywords, checked now rather than failing in every record; "auto" is
    the environment here, where the job is made, not on each worker."""
    cellsift._raw_values(values)
    cellsift._check_sheet(sheet)
    cellsift._check_format(format)
    return dict(values=values, password=password, format=format, sheet=sheet, notes=notes,
                properties=properties, formulas=formulas, locale=cellsift._locale_tag(locale), macros=macros,
                embedded=embedded)


def _record(path: str, source: Any, options: Dict[str, Any]) -> Dict[str, Any]:
    try:
        text, warnings = cellsift._text(source, **options)
        return {"path": path, "text": text, "error": None, "warnings": warnings}
    except (cellsift.Error, OSError, ValueError, MemoryError) as exc:
        # Each is one file's failure (ValueError: a path no system takes); the job goes on.
        return {"path": path, "text": None, "error": str(exc), "warnings": []}


def _path_record(path: str, options: Dict[str, Any]) -> Dict[str, Any]:
    return _record(path, path, options)


def texts(paths: Union[str, Iterable[PathLike]], npartitions: Optional[int] = None,
          values: str = "shown", password: Optional[str] = None, *, format: str = "text",
          sheet: Union[None, str, int] = None, notes: bool = True,
          properties: bool = True, formulas: bool = False, locale: str = "en-US",
          macros: bool = True, embedded: bool = True) -> db.Bag:
    """A bag of ``{"path", "text", "error", "warnings"}`` dicts, one per path, in the order
    given. ``paths`` is an iterable of paths, or one ``str`` taken as a glob pattern
    (``"dir/*.xls"``, ``"dir/**/*.xls"``), whose matches are taken in sorted order.
    ``warnings`` lists what a file read in part lacks (empty when it was read whole).
    ``values``, ``password``, ``format``, ``sheet``, ``notes``, ``properties``, ``formulas``, ``locale``,
    ``macros`` and ``embedded`` are
    :func:`cellsift.text`'s (a file without the sheet is a record with its error).

    The paths must be readable where the workers run (a shared file system); for files in
    object stores use :func:`texts_from_bytes`.
    """
    options = _options(values, password, format, sheet, notes, properties, formulas, locale, macros, embedded)
    names = expand_paths(paths)
    if npartitions is None:
        npartitions = max(1, min(len(names), 100))
    return db.from_sequence(names, npartitions=npartitions).map(_path_record, options=options)


def texts_from_bytes(urlpath: Any, values: str = "shown", password: Optional[str] = None, *,
                     format: str = "text", sheet: Union[None, str, int] = None, notes: bool = True,
                     properties: bool = True, formulas: bool = False, locale: str = "en-US",
                     macros: bool = True, embedded: bool = True, **storage_options: Any) -> db.Bag:
    """The same records for files that any fsspec file system serves (``s3://bucket/*.xls``,
    ``gcs://…``, local globs): each file is read whole by the worker that extracts it."""
    options = _options(values, password, format, sheet, notes, properties, formulas, locale, macros, embedded)
    _, blocks, paths = read_bytes(urlpath, delimiter=None, blocksize=None, sample=False,
                                  include_path=True, **storage_options)
    parts = [dask.delayed(_bytes_records)(path, file_blocks, options)
             for path, file_blocks in zip(paths, blocks)]
    return db.from_delayed(parts)


def _bytes_records(path: str, file_blocks: List[bytes], options: Dict[str, Any]) -> List[Dict[str, Any]]:
    # With no block size each file is one block.
    return [_record(path, b"".join(file_blocks), options)]
