#!/usr/bin/env python3
"""Fails when a file under src/<folder>/ includes a header of a folder it may not use. The allowed
directions are the tables of src/README.md; a folder may always use its own headers."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SRC = ROOT / "src"
FOLDER = re.compile(r"`([a-z]+)/`")
HEADER = re.compile(r"`([a-z]+/[A-Za-z0-9_/]+\.h)`")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/([^"]+)"', re.M)


def tables(readme):
    """The folders with the folders each may use, and the headers every folder may use."""
    allowed, open_headers = {}, set()
    for line in readme.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 3 and FOLDER.fullmatch(cells[0]):
            allowed[FOLDER.fullmatch(cells[0]).group(1)] = set(FOLDER.findall(cells[2]))
        elif len(cells) == 2 and HEADER.fullmatch(cells[0]) and cells[1] == "every folder":
            open_headers.add(HEADER.fullmatch(cells[0]).group(1))
    return allowed, open_headers


def main():
    allowed, open_headers = tables((SRC / "README.md").read_text(encoding="utf-8"))
    faults = []
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(SRC).parts[0]
        if folder not in allowed:
            faults.append(f"{path.relative_to(ROOT)}: the folder {folder}/ is not in src/README.md")
            continue
        for used, rest in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if used == folder or used in allowed[folder] or f"{used}/{rest}" in open_headers:
                continue
            faults.append(f"{path.relative_to(ROOT)}: includes {used}/{rest}, which {folder}/ may not use")
    for fault in faults:
        print(fault)
    if not faults:
        print(f"layering: every include runs the way src/README.md allows ({len(allowed)} folders)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
