# Compares what the reader gives outside the cells (through `cellsift --format jsonl`) with the
# peers: document properties with python3-olefile's get_metadata(), hyperlinks with
# python3-xlrd's hyperlink_list (formatting_info=True), on every workbook given.
# Usage: extras_compare.py CELLSIFT WORKBOOK_OR_FOLDER...   (Debian's /usr/bin/python3)
import datetime
import json
import pathlib
import subprocess
import sys

import olefile
import xlrd

from xlrd_compare import XLRD_ENCODING, XLRD_UNREADABLE, tolerate_name_errors

# olefile's name for each property the reader gives, and the set whose code page decodes it.
PROPERTIES = [("title", "title", "codepage"), ("subject", "subject", "codepage"),
              ("author", "author", "codepage"), ("keywords", "keywords", "codepage"),
              ("comments", "comments", "codepage"), ("last_saved_by", "last_saved_by", "codepage"),
              ("application", "creating_application", "codepage"), ("created", "create_time", None),
              ("last_saved", "last_saved_time", None), ("company", "company", "codepage_doc"),
              ("manager", "manager", "codepage_doc"), ("category", "category", "codepage_doc")]

# Where olefile is the one that is wrong, per file and property, with the reason.
OLEFILE_WRONG = {
    ("gen-extras-biff7.xls", "company"):
        "olefile strips every NUL byte of an 8-bit string, which in a code page 1200 set is UTF-16",
}
# A zero FILETIME means "never"; olefile turns it into 1601-01-01, the reader leaves it out.
NEVER = datetime.datetime(1601, 1, 1)

# Where xlrd is the one that is wrong, per file and cell, with the reason.
XLRD_DROPS_UP_LEVELS = "xlrd drops the ..\\ levels of a file link whose path is also stored in UTF-16"
XLRD_WRONG_LINK = {
    ("lo-extras.xls", "WebLinks", 3): ("..\\reports/summary.xls", XLRD_DROPS_UP_LEVELS),
}
# Workbooks the reader refuses as a whole: it gives nothing, properties included.
READER_REFUSES = {"poi-encrypted.xls": "encrypted: the reader stops before the first record"}


def decode(value, codepage):
    if isinstance(value, datetime.datetime):
        return "" if value == NEVER else value.strftime("%Y-%m-%dT%H:%M:%SZ")
    if isinstance(value, bytes):
        codepage = (codepage or 1252) & 0xFFFF
        value = value.decode({65001: "utf-8", 1200: "utf-16-le", 10000: "mac_roman"}.get(codepage, "cp%d" % codepage),
                             errors="replace")
    return "" if value is None else str(value).replace("\0", "")


def expected_properties(path):
    if not olefile.isOleFile(str(path)):
        return None
    ole = olefile.OleFileIO(str(path))
    if not any(ole.exists(s) for s in ("\x05SummaryInformation", "\x05DocumentSummaryInformation")):
        return None
    meta = ole.get_metadata()
    props = {}
    for key, attr, codepage_attr in PROPERTIES:
        text = decode(getattr(meta, attr), getattr(meta, codepage_attr) if codepage_attr else None)
        if text:
            props[key] = text
    return props


def link_target(h):
    path = h.url_or_path
    if isinstance(path, bytes):
        path = path.decode("cp1252")
    parts = [p for p in (path, h.textmark) if p]
    return "#".join(parts)


def expected_links(path):
    encoding = XLRD_ENCODING.get(path.name, (None, ""))[0]
    book = xlrd.open_workbook(str(path), formatting_info=True, encoding_override=encoding)
    links = []
    for sheet in book.sheets():
        for h in sheet.hyperlink_list:
            links.append({"sheet": sheet.name, "row": h.frowx, "col": h.fcolx, "last_row": h.lrowx,
                          "last_col": h.lcolx, "target": link_target(h), "description": h.desc or "",
                          "tooltip": h.quicktip or ""})
    return links


def actual(tool, path):
    out = subprocess.run([tool, "--format", "jsonl", str(path)], capture_output=True, check=False).stdout
    lines = [json.loads(line) for line in out.decode("utf-8").splitlines() if line.strip()]
    names = {line["sheet"]: line["name"] for line in lines if line["type"] == "sheet"}
    props = next((line for line in lines if line["type"] == "properties"), {})
    props = {k: v for k, v in props.items() if k not in ("type", "file", "custom")}
    links = []
    for line in lines:
        if line["type"] == "hyperlink":
            link = {k: line.get(k, "") for k in ("row", "col", "last_row", "last_col", "target",
                                                  "description", "tooltip")}
            link["sheet"] = names.get(line["sheet"])
            links.append(link)
    return props, links


def compare(tool, path, counts):
    name = path.name
    problems = []
    if name in READER_REFUSES:
        print("%s: not compared: %s" % (name, READER_REFUSES[name]))
        return problems
    props, links = actual(tool, path)
    want = expected_properties(path)
    if want is not None:
        counts["properties"] += 1
        for key in sorted(set(want) | set(props)):
            reason = OLEFILE_WRONG.get((name, key))
            if want.get(key, "") == props.get(key, ""):
                if reason:
                    problems.append("%s: olefile now agrees, drop its note: %s" % (key, reason))
            elif reason:
                print("%s: %s: olefile differs: %s" % (name, key, reason))
            else:
                problems.append("%s: olefile %r, cellsift %r" % (key, want.get(key), props.get(key)))
    if name in XLRD_UNREADABLE:
        return problems
    want_links = expected_links(path)
    counts["hyperlinks"] += len(want_links)
    if len(want_links) != len(links):
        problems.append("xlrd has %d hyperlinks, cellsift %d" % (len(want_links), len(links)))
    for want_link, link in zip(want_links, links):
        wrong = XLRD_WRONG_LINK.get((name, want_link["sheet"], want_link["row"]))
        if wrong:
            print("%s: %s row %d: xlrd differs: %s" % (name, want_link["sheet"], want_link["row"], wrong[1]))
            want_link["target"] = wrong[0]
        if want_link != link:
            problems.append("hyperlink: xlrd %r, cellsift %r" % (want_link, link))
    return problems


def main():
    tolerate_name_errors()
    tool, roots = sys.argv[1], [pathlib.Path(p) for p in sys.argv[2:]]
    files = []
    for root in roots:
        files += sorted(root.rglob("*.xls")) if root.is_dir() else [root]
    counts = {"properties": 0, "hyperlinks": 0}
    failed = 0
    for path in files:
        problems = compare(tool, path, counts)
        for problem in problems:
            print("%s: %s" % (path.name, problem))
        failed += 1 if problems else 0
    print("%d workbooks: %d with properties, %d hyperlinks compared" %
          (len(files), counts["properties"], counts["hyperlinks"]))
    print("%d passed, %d failed" % (len(files) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
