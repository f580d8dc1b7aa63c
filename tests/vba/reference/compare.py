"""Compares the tool's VBA modules (its JSON lines) with Apache POI's, frozen in vba-poi.tsv by
freeze-poi.sh: every module of every workbook, its name, kind and code. POI 4.0.1 names no
kind for a form (it reads PROJECT's Class= and Document= lines only, not BaseClass=): "null"
there stands for the tool's "form", the one departure. Prints each difference; exits 1 when any.

Usage: compare.py TOOL DATA_DIR"""

import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
KINDS = {"standard": "Module", "class": "Class", "document": "Document", "form": "null"}


def esc(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main():
    tool, data = sys.argv[1], sys.argv[2]
    with open(os.path.join(HERE, "vba-poi.tsv"), encoding="utf-8") as frozen:
        expected = sorted(line.rstrip("\n") for line in frozen)
    got = []
    for name in sorted(os.listdir(data)):
        if not name.endswith(".xls"):
            continue
        out = subprocess.run([tool, "--format", "jsonl", os.path.join(data, name)], check=True,
                             capture_output=True, text=True).stdout
        for line in out.splitlines():
            item = json.loads(line)
            if item["type"] == "vba":
                got.append("\t".join([name, esc(item["module"]), KINDS[item["kind"]], esc(item["code"])]))
    got.sort()
    differ = sorted(set(expected) ^ set(got))
    for line in differ:
        print(("POI:  " if line in expected else "tool: ") + line[:300])
    print("vba_poi: %d modules compared, %d lines differ" % (len(expected), len(differ)))
    return 1 if differ or not expected else 0


if __name__ == "__main__":
    sys.exit(main())
