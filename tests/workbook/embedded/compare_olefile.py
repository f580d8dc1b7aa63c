"""Compares the properties the tool gives each embedded document (its JSON lines' "embedded"
objects) with python3-olefile's reading of that storage's summary information, for every
workbook in this folder; every storage with properties must be one the tool names. Prints each
difference; exits 1 when any.

Usage: compare_olefile.py TOOL DIR"""

import json
import os
import pathlib
import subprocess
import sys

import olefile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from extras_compare import decode  # noqa: E402

IDS = {"title": 2, "subject": 3, "author": 4, "keywords": 5, "comments": 6, "last_saved_by": 8,
       "application": 18}


def expected(path):
    ole = olefile.OleFileIO(str(path))
    found = {}
    for entry in ole.listdir(streams=True, storages=False):
        if len(entry) > 1 and entry[-1] == "\x05SummaryInformation":
            props = ole.getproperties(entry)
            values = {key: decode(props.get(pid), props.get(1)) for key, pid in IDS.items()}
            found["/".join(entry[:-1])] = {key: value for key, value in values.items() if value}
    return found


def actual(tool, path):
    out = subprocess.run([tool, "--format", "jsonl", str(path)], capture_output=True, check=True).stdout
    got = {}
    for line in out.decode("utf-8").splitlines():
        item = json.loads(line)
        if item["type"] == "embedded":
            got[item["path"]] = {k: v for k, v in item["properties"].items() if k in IDS}
    return got


def main():
    tool, folder = sys.argv[1], pathlib.Path(sys.argv[2])
    problems, compared = [], 0
    for path in sorted(folder.glob("*.xls")):
        want, got = expected(path), actual(tool, path)
        for storage, props in want.items():
            compared += 1
            if got.get(storage) != props:
                problems.append("%s: %s: olefile %r, cellsift %r" % (path.name, storage, props, got.get(storage)))
    for problem in problems:
        print(problem)
    print("embedded_olefile: %d embedded property sets compared, %d differ" % (compared, len(problems)))
    return 1 if problems or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
