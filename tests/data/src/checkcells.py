#!/usr/bin/python3
"""Check NAME.cells.txt files: every section is present, and no item of the
'--- absent' list occurs inside any text the file shows (cell texts, sheet
names, author, notes, formula texts), so tests may require its absence."""
import sys

bad = 0
for path in sys.argv[1:]:
    sec, parts = "text", {"text": []}
    for line in open(path, encoding="utf-8").read().split("\n")[:-1]:
        if line.startswith("--- "):
            sec = line[4:]
            parts[sec] = []
        else:
            parts[sec].append(line)
    missing = [s for s in ("absent", "sheets", "author", "notes") if s not in parts]
    shown = [t for s, v in parts.items() if s != "absent" for t in v]
    clash = [a for a in parts.get("absent", []) if any(a in t for t in shown)]
    if missing or clash or not parts["text"]:
        bad += 1
        print(f"{path}: missing sections {missing}, absent items shown {clash}")
sys.exit(1 if bad else 0)
