"""What every reading function shares: a path or the file's bytes as the extension takes
them, file errors that name the path, and the warning of a workbook read in part."""

from __future__ import annotations

import os
import warnings
from typing import Any, Callable, Iterable, List, Protocol, Tuple, Union, cast

from ._errors import FileError, PartialReadWarning, file_error

# What the reader takes: a path or the file's bytes; a file object is read into bytes first.
Local = Union[str, "os.PathLike[str]", bytes, bytearray, memoryview]
Source = Union[Local, "BinaryFile"]


class BinaryFile(Protocol):
    """A file opened for reading bytes: open(p, "rb"), io.BytesIO, an HTTP or zip member
    stream."""

    def read(self, size: int = ..., /) -> bytes: ...


def content(source: Source) -> Local:
    """A file object's bytes, read once from where it stands, as pandas and xlrd take them;
    any other source as it is."""
    read = getattr(source, "read", None)
    if read is None or isinstance(source, (str, bytes, bytearray, memoryview, os.PathLike)):
        return cast(Local, source)
    data = read()
    if not isinstance(data, (bytes, bytearray)):
        raise TypeError("the file must be opened for bytes (\"rb\"), not give %s"
                        % type(data).__name__)
    return data


def arg(source: Local) -> Tuple[Any, bool]:
    """The source and whether it is a path: bytes-like objects are the file's content."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return source, False
    path = os.fsencode(source)
    if b"\0" in path:
        # As open() does: the system would take the path only up to it.
        raise ValueError("embedded null byte")
    return path, True


def call(function: Callable[..., Any], source: Local, **kwargs: Any) -> Any:
    path, is_path = arg(source)
    try:
        return function(path, is_path, **kwargs)
    except FileError as exc:
        # The reader knows the reason; the path is the caller's.
        raise file_error(exc, os.fsdecode(path)) from None


def name(source: Local) -> str:
    return "<bytes>" if isinstance(source, (bytes, bytearray, memoryview)) else os.fsdecode(source)


def distinct(messages: Iterable[str]) -> List[str]:
    return list(dict.fromkeys(messages))


def warn_partial(source: Local, messages: List[str]) -> None:
    """Called by the function the user called: the warning points at the user's line."""
    if messages:
        warnings.warn("%s: read in part: %s" % (name(source), "; ".join(distinct(messages))),
                      PartialReadWarning, stacklevel=3)
