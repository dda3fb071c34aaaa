#!/usr/bin/env python3
"""Checks how the sources of src/ include each other.

Every file belongs to a layer, by its folder, and may include only files of
its own layer or of the layers below it: base (text, paths, the calendar) at
the bottom, then the taken-date reader (pure code over a file's bytes, which
the platform's folder search runs), the platform, the services (cli, dates,
scan, count, chart, io), the app, and the entry.
No chain of includes may lead back to where it started, and no file of src/
may be longer than 400 lines. Usage: layers.py <source folder>
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


def layer_of(path):
    for layer, pattern in LAYERS:
        if re.fullmatch(pattern, path):
            return layer
    return None


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
        layer = layer_of(path)
        if layer is None:
            problems.append(f"{path}: in no layer (tests/layers.py)")
            continue
        includes[path] = [m.group(1) for line in lines if (m := re.match(r'#include "([^"]+)"', line))]
        for target in includes[path]:
            target_layer = layer_of(target)
            if target_layer is not None and target_layer > layer:
                problems.append(f"{path} ({NAMES[layer]}) includes {target} ({NAMES[target_layer]})")
    # Include chains between headers that lead back to where they started.
    state = {}

    def visit(path, chain):
        state[path] = "open"
        for target in includes.get(path, []):
            if state.get(target) == "open":
                problems.append("include circle: " + " -> ".join(chain[chain.index(target):] + [target]))
            elif target in includes and target not in state:
                visit(target, chain + [target])
        state[path] = "done"

    for path in sorted(includes):
        if path not in state:
            visit(path, [path])
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
