# A user's typed script: mypy, seeing the installed package's hints (py.typed), must pass it.
# Checked by run-tests.sh and by test_typing.py (mypy --strict), never run.
import datetime
import io
from typing import Dict, Iterator, List, Optional, Tuple

import cellsift


def totals(path: str) -> Dict[str, float]:
    sums: Dict[str, float] = {}
    with cellsift.read(path) as book:
        names: List[str] = book.sheet_names
        for sheet in book:
            total = 0.0
            for row, col, value in sheet.cells():
                if isinstance(value, (int, float)) and not isinstance(value, bool):
                    total += value
                elif isinstance(value, datetime.date):
                    total += value.toordinal()
            sums[sheet.name] = total
        first: cellsift.Sheet = book[names[0]]
        size: int = first.nrows * first.ncols
        top: List[Optional[cellsift.Value]] = first.row(0) if size else []
        rows: Iterator[List[Optional[cellsift.Value]]] = first.rows()
        del top, rows
    return sums


def first_table(data: bytes) -> int:
    frame = cellsift.read_frame(data, sheet=0, header=None)
    every = cellsift.read_frame(data, sheet=None)
    return len(frame) + sum(len(f) for f in every.values())


def text_or_reason(path: str) -> str:
    try:
        return cellsift.text(path)
    except cellsift.NoSuchSheetError as exc:
        return "no such sheet: %s" % exc
    except cellsift.EncryptedError as exc:
        return "encrypted: %s" % exc
    except cellsift.Error as exc:
        return str(exc)


def one_sheet_as_csv(path: str, name: str) -> List[str]:
    first: str = cellsift.text(path, sheet=0, notes=False, format="jsonl", values="raw")
    return [first, cellsift.text(path, sheet=name, format="csv")]


def by_name_and_stream(path: str) -> Optional[str]:
    with open(path, "rb") as f:
        book = cellsift.read(f)
    sales: cellsift.Sheet = book["Sales"]
    value: Optional[cellsift.Value] = sales.cell(0, 0)
    if isinstance(value, cellsift.CellError):
        return value.text
    author: Optional[str] = book.properties.get("author")
    custom: Dict[str, str] = book.properties.get("custom", {})
    html: str = cellsift.text(io.BytesIO(open(path, "rb").read()), format="html", properties=False)
    shown = cellsift.read_frame(bytearray(open(path, "rb").read()), sheet="Sales", values="shown")
    del custom, html, shown
    return author


def structure(path: str) -> List[str]:
    lines: List[str] = []
    with cellsift.read(path) as book:
        for name in book.names:
            scope: Optional[int] = name.sheet
            lines.append("%s %s %s" % (name.name, scope, name.formula))
        links: List[cellsift.ExternalLink] = book.external_links
        lines += [link.path for link in links if link.kind == "workbook"]
        sheet = book[0]
        formula: Optional[str] = sheet.formula(0, 0)
        every: Dict[Tuple[int, int], str] = sheet.formulas()
        merged: List[cellsift.CellRange] = sheet.merged
        hidden: List[range] = sheet.hidden_rows + sheet.hidden_columns
        lines += [formula or "", str(len(every)), str(merged[:1]), str(hidden[:1])]
    lines.append(cellsift.text(path, formulas=True))
    lines.append(cellsift.text(path, locale="de-DE"))
    with cellsift.read(path, locale="auto") as book:
        lines.append(str(book[0].to_pandas(values="shown").shape))
    lines.append(str(cellsift.read_frame(path, values="shown", locale="ru_RU").shape))
    with cellsift.read(path) as book:
        modules: List[cellsift.VbaModule] = book.vba_modules
        has_macros: bool = book.macros
        lines += ["%s %s %d" % (m.name, m.kind, len(m.code)) for m in modules] + [str(has_macros)]
        for item in book.embedded:
            inner: Optional[cellsift.Workbook] = item.workbook
            lines.append("%s %s %s %s" % (item.path, item.class_name, item.package, item.properties.get("title")))
            if inner is not None:
                lines.append(str(inner.sheet_names))
    lines.append(cellsift.text(path, macros=False, embedded=False))
    return lines
