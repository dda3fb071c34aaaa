#!/usr/bin/env python3
"""Checks how the sources of src/ depend on each other.

Every file belongs to a layer, by its folder, and may include only files of
its own layer or of the layers below it: base (text, paths, the calendar) at
the bottom, then the taken-date reader (pure code over a file's bytes, which
the platform's folder search runs), the platform, the services (cli, dates,
scan, count, chart, io), the app, and the entry.

A unit is a header and the source file of the same name; a platform
service's unit is its header in platform/ with its posix/ and win32/ files
of that name. Every source file but the entry includes its own unit's
header, and no chain of calls between units leads back to where it
started (a source file calls the units whose headers it includes; a
header-only unit those its header includes): as each header declares what
its own source file defines, no two files call each other. Headers must
not include each other in a circle either.

Each platform service header has a POSIX and a Windows file of its name.
No file of src/ is longer than 400 lines, and no header of src/platform/
longer than 150. Usage: layers.py <source folder>
"""
import os
import re
import sys

# The first pattern that matches a file's path below src/ gives its layer.
LAYERS = [
    (0, r"base/.*"),
    (1, r"taken/.*"),
    (2, r"platform/.*"),
    (3, r"(cli|dates|scan|count|chart|io)/.*"),
    (4, r"app/.*"),
    (5, r"Datemill\.cpp"),
]
NAMES = {0: "base", 1: "taken-date reader", 2: "platform", 3: "services", 4: "app", 5: "entry"}
MOST_LINES = 400
MOST_PLATFORM_HEADER_LINES = 150
ENTRY = "Datemill.cpp"


def layer_of(path):
    for layer, pattern in LAYERS:
        if re.fullmatch(pattern, path):
            return layer
    return None


def unit_of(path, files):
    """The unit of a file: its path without the extension, except that a
    platform file named as a service header belongs to that service."""
    stem = os.path.splitext(path)[0]
    match = re.fullmatch(r"platform/(posix|win32)/(\w+)", stem)
    if match and f"platform/{match.group(2)}.h" in files:
        return f"platform/{match.group(2)}"
    return stem


def main(src):
    files = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith((".h", ".cpp")):
                path = os.path.relpath(os.path.join(folder, name), src)
                with open(os.path.join(src, path), encoding="utf-8") as f:
                    files[path] = f.read().splitlines()
    problems = []
    includes = {}
    for path, lines in sorted(files.items()):
        if len(lines) > MOST_LINES:
            problems.append(f"{path}: {len(lines)} lines, more than {MOST_LINES}")
        if path.startswith("platform/") and path.endswith(".h") and len(lines) > MOST_PLATFORM_HEADER_LINES:
            problems.append(f"{path}: {len(lines)} lines, more than {MOST_PLATFORM_HEADER_LINES} for a platform header")
        layer = layer_of(path)
        if layer is None:
            problems.append(f"{path}: in no layer (tests/layers.py)")
            continue
        includes[path] = [m.group(1) for line in lines if (m := re.match(r'#include "([^"]+)"', line))]
        for target in includes[path]:
            target_layer = layer_of(target)
            if target_layer is not None and target_layer > layer:
                problems.append(f"{path} ({NAMES[layer]}) includes {target} ({NAMES[target_layer]})")
        if path.endswith(".cpp") and path != ENTRY:
            unit = unit_of(path, files)
            if not any(unit_of(t, files) == unit and t.endswith(".h") for t in includes[path]):
                problems.append(f"{path}: includes no header of its own ({unit}.h)")

    # Chains of calls between units that lead back to where they started: a
    # source file calls what it includes; a header only when its unit has
    # no source file (its code is in the header). A header that includes
    # another for its types calls nothing.
    with_source = {unit_of(path, files) for path in files if path.endswith(".cpp")}
    edges = {}
    for path, direct in includes.items():
        unit = unit_of(path, files)
        if path.endswith(".h") and unit in with_source:
            continue
        # What the unit's own header brings in, the source file uses too.
        targets = list(direct)
        for own in direct:
            if own in includes and unit_of(own, files) == unit:
                targets += includes[own]
        for target in targets:
            if target in files and unit_of(target, files) != unit:
                edges.setdefault(unit, set()).add(unit_of(target, files))
    state = {}

    def visit(unit, chain):
        state[unit] = "open"
        for target in sorted(edges.get(unit, ())):
            if state.get(target) == "open":
                problems.append("circle: " + " -> ".join(chain[chain.index(target):] + [target]))
            elif target not in state:
                visit(target, chain + [target])
        state[unit] = "done"

    for unit in sorted(edges):
        if unit not in state:
            visit(unit, [unit])
    # Headers that include each other in a circle.
    header_edges = {path: {t for t in targets if t.endswith(".h") and t in files}
                    for path, targets in includes.items() if path.endswith(".h")}
    edges = {path: {unit for unit in targets} for path, targets in header_edges.items()}
    state.clear()
    for path in sorted(edges):
        if path not in state:
            visit(path, [path])
    # Each platform service has a POSIX and a Windows file of its name; a
    # helper the two share says so in its first line.
    for path, lines in sorted(files.items()):
        if re.fullmatch(r"platform/\w+\.h", path) and not (lines and lines[0].startswith("// Shared by")):
            stem = os.path.splitext(os.path.basename(path))[0]
            for side in ("posix", "win32"):
                if f"platform/{side}/{stem}.cpp" not in files:
                    problems.append(f"{path}: no platform/{side}/{stem}.cpp")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
