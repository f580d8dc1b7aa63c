"""Compares the tool's formulas, defined names, merged ranges and hidden rows and columns
(its JSON lines) with Apache POI's, frozen in poi-formulas.tsv by freeze-poi.sh. Where POI
departs from what the formula bar shows, the departure is one of those README.md lists, and
only that is normalised, on both sides alike. Prints each difference; exits 1 when any.

Usage: compare.py TOOL ROOT SHARED"""

import collections
import json
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def esc(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def column(col):
    name = ""
    col += 1
    while col:
        col, rest = divmod(col - 1, 26)
        name = chr(65 + rest) + name
    return name


def span_items(kind, sheet, span):
    """A "4:6" row span or a "B:C" column span as POI's one line per row or column."""
    first, last = span.split(":")
    if kind == "hidden-row":
        return [(kind, sheet, str(r)) for r in range(int(first), int(last) + 1)]
    index = lambda letters: sum((ord(c) - 64) * 26 ** i for i, c in enumerate(reversed(letters))) - 1
    return [(kind, sheet, column(c)) for c in range(index(first), index(last) + 1)]


def tool_items(tool, path):
    """The tool's items as POI's lines are made, or None when it cannot read the workbook."""
    done = subprocess.run([tool, "--format", "jsonl", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if done.returncode != 0:
        return None
    records = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    names = {r["sheet"]: r["name"] for r in records if r["type"] == "sheet"}
    items = []
    for r in records:
        if r["type"] == "cell" and "formula" in r:
            items.append((names[r["sheet"]], column(r["col"]) + str(r["row"] + 1), r["formula"]))
        elif r["type"] == "name":
            scope = "" if r["sheet"] is None else names.get(r["sheet"], "")
            items.append(("name", r["name"], scope, "1" if r["hidden"] else "0", r["formula"] or ""))
        elif r["type"] == "merge":
            items.append(("merge", names[r["sheet"]], r["range"]))
        elif r["type"] == "hidden":
            for span in r["rows"]:
                items += span_items("hidden-row", names[r["sheet"]], span)
            for span in r["columns"]:
                items += span_items("hidden-col", names[r["sheet"]], span)
    return [tuple(esc(f) for f in item) for item in items]


# The departures of README.md, each a rewrite of POI's text or of both sides' alike: POI leaves
# out the spaces and line breaks tAttrSpace keeps for the formula bar (both sides lose them).
SHEET = r"(?:'(?:[^']|'')+'|[A-Za-z_][\w.]*)"
SPAN = re.compile(r"(?<![\w'])(%s):(%s)!" % (SHEET, SHEET))


def quote_span(match):
    """POI quotes each sheet of a 3-D span ('My Sheet':'Last'!A1); the formula bar quotes the
    span once ('My Sheet:Last'!A1), when either sheet needs it."""
    first, last = match.group(1), match.group(2)
    if not first.startswith("'") and not last.startswith("'"):
        return match.group(0)
    bare = lambda s: s[1:-1].replace("''", "'") if s.startswith("'") else s
    return "'%s:%s'!" % (bare(first).replace("'", "''"), bare(last).replace("'", "''"))


def formula_form(formula, poi):
    parts = re.split(r'("(?:[^"]|"")*")', formula)
    for i in range(0, len(parts), 2):
        parts[i] = re.sub(r"(\\n|\\r| )+", "", parts[i])
        if poi:
            parts[i] = SPAN.sub(quote_span, parts[i])
    return "".join(parts)


def normalise(item, poi):
    if len(item) == 3 and item[0] not in ("merge", "hidden-row", "hidden-col"):
        return (item[0], item[1], formula_form(item[2], poi))
    if item[0] == "name":
        return item[:4] + (formula_form(item[4], poi),)
    return item


def key(item):
    """What an item is about, without what is said of it: a cell, or a name in its scope."""
    return item[:3] if item[0] == "name" else item[:2]


def main(tool, root, shared):
    frozen = collections.OrderedDict()
    with open(os.path.join(HERE, "poi-formulas.tsv"), encoding="utf-8") as f:
        for line in f:
            name, _, rest = line.rstrip("\n").partition("\t")
            frozen.setdefault(name, []).append(tuple(rest.split("\t")))
    compared = equal = unread = beyond = 0
    failures = []
    for name, poi in frozen.items():
        if poi == [("!unreadable",)]:
            unread += 1  # POI reads BIFF8 alone; its older workbooks are the other tests' business
            continue
        path = os.path.join(shared, name) if name.startswith("conformance/") else os.path.join(root, name)
        mine = tool_items(tool, path)
        if mine is None:
            failures.append("%s: the tool cannot read it" % name)
            continue
        # Where POI throws (README.md lists why) the item is counted, and the tool must still
        # read it whole.
        failed = {key(i) for i in poi if i[-1].startswith("!")}
        beyond += len(failed)
        for item in mine:
            if key(item) in failed and "#FORMULA?" in item[-1]:
                failures.append("%s: POI fails and the tool marks damage at %s" % (name, "!".join(key(item))))
        want = collections.Counter(normalise(i, True) for i in poi if key(i) not in failed)
        got = collections.Counter(normalise(i, False) for i in mine if key(i) not in failed)
        compared += sum(want.values())
        equal += sum((want & got).values())
        for item in sorted((want - got).elements()):
            failures.append("%s: POI has  %s" % (name, "\t".join(item)))
        for item in sorted((got - want).elements()):
            failures.append("%s: tool has %s" % (name, "\t".join(item)))
    print("formula_poi: %d items of %d workbooks compared, %d equal; %d formulas POI cannot render; "
          "%d workbooks POI cannot read" % (compared, len(frozen) - unread, equal, beyond, unread))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
