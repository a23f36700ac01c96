#!/usr/bin/env python3
"""Holds src/ to the direction its folders depend on: every #include of a project header and
every varelo_* library a folder's library links must be of a folder it may use. Run by ctest;
prints each offence and exits 1.

  tests/check_dependencies.py SRC_DIR
"""
import os
import re
import sys

# What each folder may use besides itself: the pipeline, top to bottom (src/CMakeLists.txt).
ALLOWED = {
    "base": set(),
    "exam": set(),
    "doc": {"base"},
    "docx": {"doc", "base"},
    "omr": {"base"},
    "codes": {"base"},
    "tables": {"base"},
    "compose": {"exam", "doc", "omr", "codes", "base"},
    "edit": {"compose", "exam", "doc", "omr", "codes", "base"},
    "scores": {"omr", "base"},
    "scan": {"scores", "omr", "codes", "base"},
    "render": {"doc", "base"},
    "app/desk/addin": {"edit", "compose", "exam", "doc", "omr", "codes", "base"},
    "app/cli": {"edit", "compose", "exam", "doc", "docx", "omr", "codes", "tables", "scores",
                "scan", "render", "base"},
    "app/desk": {"app/desk/addin", "edit", "compose", "exam", "doc", "docx", "omr", "codes",
                 "tables", "scores", "scan", "render", "base"},
}
# The library each folder builds, as src/CMakeLists.txt names it.
LIBRARY = {"base": "varelo_base", "exam": "varelo_exam", "doc": "varelo_doc",
           "docx": "varelo_docx", "omr": "varelo_omr", "codes": "varelo_codes",
           "tables": "varelo_tables",
           "compose": "varelo_compose",
           "edit": "varelo_edit", "scores": "varelo_scores", "scan": "varelo_scan",
           "render": "varelo_render", "app/desk/addin": "varelo_addin"}
# Libraries from outside that only some folders may link: the scan reader keeps clear of the
# document surface's XML and zip libraries, and nothing but render and the desktop links Qt.
FORBIDDEN_LINKS = {"scan": {"pugixml", "LIBZIP"}, "scores": {"pugixml", "LIBZIP", "Qt6"},
                   "compose": {"Qt6", "LIBZIP"}, "exam": {"pugixml", "LIBZIP", "Qt6"},
                   "tables": {"Qt6"}}


def folder_of(path):
    """The most specific folder of ALLOWED a path under src/ lies in."""
    best = None
    for folder in ALLOWED:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def check_includes(src):
    offences = []
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            here = folder_of(os.path.relpath(root, src).replace(os.sep, "/"))
            if here is None:
                offences.append(f"{path}: in no known folder")
                continue
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for target in include.findall(text):
                if "/" not in target:
                    continue  # a header beside the file
                there = folder_of(target)
                if there is None or there == here:
                    continue
                if there not in ALLOWED[here]:
                    offences.append(f"{path}: includes {target} ({here} may not use {there})")
    return offences


def check_links(src):
    offences = []
    text = open(os.path.join(src, "CMakeLists.txt"), encoding="utf-8").read()
    for target, body in re.findall(r"target_link_libraries\((\w+)([^)]*)\)", text):
        folder = next((f for f, lib in LIBRARY.items() if lib == target), None)
        if folder is None:
            continue
        for lib in re.findall(r"varelo_\w+", body):
            there = next((f for f, l in LIBRARY.items() if l == lib), None)
            if there is not None and there not in ALLOWED[folder]:
                offences.append(f"{target} links {lib} ({folder} may not use {there})")
        for bad in FORBIDDEN_LINKS.get(folder, ()):
            if bad in body:
                offences.append(f"{target} links {bad}")
    return offences


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    offences = check_includes(src) + check_links(src)
    for o in offences:
        print(o)
    print(f"{len(offences)} dependencies against the direction")
    return 1 if offences else 0


if __name__ == "__main__":
    sys.exit(main())
