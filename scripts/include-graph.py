#!/usr/bin/env python3
# The folder-level include graph of src/, tools/ and python/cellsift, drawn from the #include
# lines as Graphviz dot, and the check that no folder includes one above it in the layering.
"""Usage: include-graph.py [--check] [ROOT]

Without --check: writes ROOT/doc/include-graph.dot, and doc/include-graph.svg when Graphviz's
dot is there (scripts/install-deps.sh tools). Both forms print every include that breaks the
layering and exit 1 when one is not listed in KNOWN. ROOT defaults to the tree this script is in."""

import os
import re
import shutil
import subprocess
import sys

# The folders below which every file counts as the folder's own (src/platform/portable is
# src/platform), in the order the drawing lists them.
FOLDERS = ["tools", "python/cellsift", "include"]
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ANY = None  # a folder that may include every other

# Includes that break the layering and are known to, each until its folder is mended: drawn
# orange and printed, but not failed on, so that the check fails on every new one.
KNOWN = {
    # Vstr::Reserve tells the platform of its large blocks (AdviseLargeBlock).
    ("src/text/Vstr.cpp", "platform/Services.h"),
}


def allowed_layers():
    """Each folder of the layering and the folders it may include, read bottom up."""
    layers = {"src/biff": set()}
    layers["src/cfb"] = {"src/biff"}
    layers["src/unicode"] = {"src/biff"}
    for engine in ("src/numformat", "src/decrypt", "src/formula"):
        layers[engine] = {"src/biff", "src/unicode"}
    # The text inside single records (string forms, header codes, hyperlink objects, chart
    # text, linked paths) and the document property sets, each on the kernels below it.
    layers["src/recordtext"] = {"src/biff", "src/unicode"}
    layers["src/properties"] = {"src/biff", "src/unicode", "src/numformat"}
    # The VBA project: its storage in the compound document, its compression, its code page.
    layers["src/vba"] = {"src/biff", "src/cfb", "src/unicode"}
    engines = {"src/unicode", "src/numformat", "src/decrypt", "src/formula", "src/recordtext", "src/properties",
               "src/vba"}
    layers["src/workbook"] = {"src/biff", "src/cfb"} | engines
    layers["src/output"] = {"src/workbook"} | layers["src/workbook"]
    # The plug-in wing: each folder on those to its left, and the record floor and compound
    # documents; the plug-in on the header it exports too.
    wing = ["src/text", "src/platform", "src/log", "src/xls", "src/plugin"]
    for i, folder in enumerate(wing):
        layers[folder] = {"src/biff", "src/cfb"} | set(wing[:i])
    layers["src/plugin"].add("include")
    layers["include"] = set()
    layers["tools"] = ANY
    layers["python/cellsift"] = ANY
    return layers


def folder_of(rel):
    """The graph's folder of a path relative to the root, or None when outside the graph."""
    parts = rel.split("/")
    if parts[0] == "src" and len(parts) > 2:
        return "src/" + parts[1]
    for folder in FOLDERS:
        if rel.startswith(folder + "/"):
            return folder
    return None


def resolve(root, rel_dir, name):
    """The file an #include "name" in rel_dir names: beside the file, else below src/ or
    include/ (the builds' include paths); None for a header of the system's."""
    for base in (rel_dir, "src", "include"):
        path = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(root, path)):
            return path
    return None


def include_edges(root):
    """{(from folder, to folder): [(file, line, name included), ...]} for every include across
    folders."""
    edges = {}
    for top in ("src", "tools", "python/cellsift", "include"):
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for filename in sorted(filenames):
                if not filename.endswith(SOURCE_SUFFIXES):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, filename), root)
                source = folder_of(rel)
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        target = match and resolve(root, os.path.dirname(rel), match.group(1))
                        target = target and folder_of(target)
                        if target and source and target != source:
                            edges.setdefault((source, target), []).append((rel, number, match.group(1)))
    return edges


def breaks(layers, source, target):
    if source not in layers:
        return True  # a folder the layering does not place yet
    return layers[source] is not ANY and target not in layers[source]


def new_breaches(includes):
    """The includes of an edge that breaks the layering which KNOWN does not list."""
    return [(rel, number, name) for (rel, number, name) in includes if (rel, name) not in KNOWN]


def where(includes):
    return ", ".join("%s:%d" % (rel, number) for (rel, number, name) in includes)


def dot_text(edges, layers):
    folders = sorted({f for edge in edges for f in edge})
    lines = [
        "// The folder-level include graph of cellsift, written by scripts/include-graph.py:",
        "// an edge per folder that includes another (its label the number of #include lines),",
        "// red where it breaks the layering, orange where it is known to. Regenerate, do not edit.",
        "digraph includes {",
        "  rankdir=BT;",
        '  node [shape=box, fontname="Helvetica", fontsize=11];',
        '  edge [fontname="Helvetica", fontsize=9, color="#555555"];',
    ]
    for folder in folders:
        lines.append('  "%s";' % folder)
    for (source, target) in sorted(edges):
        attributes = 'label="%d"' % len(edges[(source, target)])
        if breaks(layers, source, target):
            colour = "red" if new_breaches(edges[(source, target)]) else "orange"
            attributes += ', color="%s", fontcolor="%s", penwidth=2' % (colour, colour)
        lines.append('  "%s" -> "%s" [%s];' % (source, target, attributes))
    lines.append("}")
    return "\n".join(lines) + "\n"


def main(argv):
    check_only = "--check" in argv
    paths = [arg for arg in argv if arg != "--check"]
    if len(paths) > 1 or any(arg.startswith("-") for arg in paths):
        sys.stderr.write(__doc__ + "\n")
        return 2
    root = paths[0] if paths else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    layers = allowed_layers()
    edges = include_edges(root)
    broken = [edge for edge in sorted(edges) if breaks(layers, *edge)]
    failing = []
    for (source, target) in broken:
        why = "is not in the layering" if source not in layers else "may not include " + target
        includes = edges[(source, target)]
        new = new_breaches(includes)
        if new:
            failing.append((source, target))
            print("include-graph: %s %s: %s" % (source, why, where(new)))
        if len(new) < len(includes):
            known = [include for include in includes if include not in new]
            print("include-graph: known: %s %s: %s" % (source, why, where(known)))
    if not check_only:
        dot_path = os.path.join(root, "doc", "include-graph.dot")
        with open(dot_path, "w", encoding="utf-8") as f:
            f.write(dot_text(edges, layers))
        print("include-graph: wrote %s" % dot_path)
        if shutil.which("dot"):
            svg_path = os.path.join(root, "doc", "include-graph.svg")
            subprocess.run(["dot", "-Tsvg", "-o", svg_path, dot_path], check=True)
            print("include-graph: wrote %s" % svg_path)
    print("include-graph: %d folder edges, %d breaking the layering (%d of them known)"
          % (len(edges), len(broken), len(broken) - len(failing)))
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
