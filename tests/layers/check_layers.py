#!/usr/bin/env python3
"""Fails when a program file includes a folder above its own.

The folders stand in layers, each including only the ones under it:

  base < settings, inet < links < engine       the core, free of Qt
  core < cli                                    the command-line front end
  core < resources < shell < pages < monitor < app   the wizard

Usage:
  check_layers.py ROOT           check the source tree at ROOT; lists every include against the
                                 layers and exits 1 when there is one
  check_layers.py --marked ROOT  check a sample tree whose wrong lines end in "// against": exits 0
                                 when exactly those lines are reported
"""
import os
import re
import sys

CORE_BELOW = {
    "base": set(),
    "settings": {"base"},
    "inet": {"base"},
    "links": {"base", "inet"},
    "engine": {"base", "settings", "inet", "links"},
}
CORE = set(CORE_BELOW)
GUI_ORDER = ["resources", "shell", "pages", "monitor", "app"]

BELOW = dict(CORE_BELOW)
BELOW["cli"] = CORE
for rank, folder in enumerate(GUI_ORDER):
    BELOW[folder] = CORE | set(GUI_ORDER[:rank])

# The core and the CLI build and run where Qt is not installed.
QT_FREE = CORE | {"cli"}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
MARK = "// against"


def problem(folder, bracket, target):
    """Why including `target` from `folder` breaks the layers, or None."""
    if bracket == "<":
        if folder in QT_FREE and re.match(r"Q[A-Za-z]*(/|$)", target):
            return "a Qt header in a folder that builds without Qt"
        return None
    top = target.split("/", 1)[0] if "/" in target else None
    if top is None:
        return "an include that names no folder (includes are rooted at the source tree)"
    if top == folder:
        return None
    if top not in BELOW:
        return "a folder that is not part of the program"
    if top not in BELOW[folder]:
        return f"{top}/ is not under {folder}/"
    return None


def scan(root):
    """(path, line number, text, reason) for every include against the layers under `root`."""
    found = []
    for folder in sorted(BELOW):
        top = os.path.join(root, folder)
        for dirpath, dirnames, filenames in os.walk(top):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        reason = problem(folder, match.group(1), match.group(2))
                        if reason:
                            found.append((os.path.relpath(path, root), number, line.rstrip("\n"), reason))
    return found


def marked_lines(root):
    marked = set()
    for folder in BELOW:
        for dirpath, _, filenames in os.walk(os.path.join(root, folder)):
            for name in filenames:
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        if line.rstrip().endswith(MARK):
                            marked.add((os.path.relpath(path, root), number))
    return marked


def main(argv):
    marked_mode = len(argv) == 3 and argv[1] == "--marked"
    if len(argv) != 2 and not marked_mode:
        sys.stderr.write(__doc__)
        return 2
    root = argv[-1]
    found = scan(root)
    if marked_mode:
        reported = {(path, number) for path, number, _, _ in found}
        expected = marked_lines(root)
        for path, number in sorted(expected - reported):
            print(f"{path}:{number}: not reported")
        for path, number in sorted(reported - expected):
            print(f"{path}:{number}: reported but not marked")
        return 0 if expected and reported == expected else 1
    for path, number, text, reason in found:
        print(f"{path}:{number}: {text.strip()}  -- {reason}")
    if found:
        print(f"{len(found)} include(s) against the layers")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
