"""What a cell holds as Python sees it: the union of its value types, the error value, the
document properties' keys, and the values="shown"|"raw" choice every reading function takes."""

from __future__ import annotations

import datetime as _dt
from typing import Dict, Optional, TypedDict, Union

from . import _core


class CellError:
    """A cell's error value: ``text`` such as ``#DIV/0!`` and the stored ``code`` (as
    xlrd's ``error_text_from_code`` keys it; -1 for a code no program defines)."""

    __slots__ = ("code", "text")

    def __init__(self, text: str, code: Optional[int] = None):
        self.text = text
        self.code = _core.ERROR_CODES.get(text, -1) if code is None else code

    def __eq__(self, other: object) -> bool:
        return isinstance(other, CellError) and other.text == self.text

    def __hash__(self) -> int:
        return hash(self.text)

    def __repr__(self) -> str:
        return "CellError(%r)" % self.text

    def __str__(self) -> str:
        return self.text


# Pickles and reprs name it where users find it.
CellError.__module__ = "cellsift"

def locale_tag(locale: str) -> str:
    """The tag of the locale a locale= argument names (de-DE; "auto": the environment's);
    ValueError for a name ICU has no data for."""
    if not isinstance(locale, str):
        raise TypeError("locale must be a str such as 'de-DE' or 'auto', not %r" % (locale,))
    return _core.locale_tag(locale)


def raw_values(values: str) -> bool:
    """Whether ``values`` asks for the stored values; a ValueError for neither word."""
    if values not in ("shown", "raw"):
        raise ValueError("values must be 'shown' or 'raw', not %r" % (values,))
    return values == "raw"


Value = Union[str, int, float, bool, _dt.date, _dt.datetime, _dt.time, CellError]


class Properties(TypedDict, total=False):
    """The document's properties that it has: texts, the dates as ISO 8601 UTC text, and the
    user's own under "custom"."""
    title: str
    subject: str
    author: str
    keywords: str
    comments: str
    last_saved_by: str
    application: str
    created: str
    last_saved: str
    company: str
    manager: str
    category: str
    custom: Dict[str, str]
