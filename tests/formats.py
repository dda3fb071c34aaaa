#!/usr/bin/env python3
"""Reads the program's tsv, csv and json reports back with real readers.

Counts a folder with an awkward name (a quote, a comma, a byte that is not
UTF-8) whose files have known sizes and times, through masks that hold a
tab, a comma and a quote, and checks that every format, parsed by Python's
csv and json modules, holds the entries of the txt report, and that the
bytes of each date are the sizes of its files added up.
Usage: formats.py <datemill>
"""
import collections
import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import time

DAY = 86400


def run(program, args, cwd):
    done = subprocess.run([program] + args, cwd=cwd, capture_output=True, env={**os.environ, "TZ": "UTC"})
    if done.returncode != 0:
        sys.exit(f"{args}: status {done.returncode}: {done.stderr!r}")
    return done.stdout


def main(program):
    problems = []
    with tempfile.TemporaryDirectory() as top:
        top = os.fsencode(top)
        folder = os.path.join(top, b'odd"name,x\xff')
        os.mkdir(folder)
        expected = collections.defaultdict(lambda: [0, 0])  # day -> files, bytes
        base = int(time.mktime((2024, 3, 1, 12, 0, 0, 0, 0, 0))) - time.timezone
        for i in range(40):
            size = (i * 37) % 500
            path = os.path.join(folder, b"f%d" % i)
            with open(path, "wb") as f:
                f.write(b"x" * size)
            stamp = base + (i % 7) * DAY
            os.utime(path, (stamp, stamp))
            day = time.strftime("%Y-%m-%d", time.gmtime(stamp))
            expected[day][0] += 1
            expected[day][1] += size
        for mask, render in [("yyyy-mm-dd", lambda d: d), ('dd,mm "yyyy"', lambda d: f'{d[8:]},{d[5:7]} "{d[:4]}"'),
                             ("yyyy\tmm-dd", lambda d: f"{d[:4]}\t{d[5:]}")]:
            want = sorted((render(d), n, b) for d, (n, b) in expected.items())
            txt = run(program, ["--date=m", "--fmt=" + mask, "--out=-", folder], top).decode()
            txt_entries = [(line.rsplit(" ", 1)[0], int(line.rsplit(" ", 1)[1])) for line in txt.splitlines()]
            if txt_entries != [(t, n) for t, n, _ in want]:
                problems.append(f"txt {mask!r}: {txt_entries}")
            tsv = run(program, ["--date=m", "--fmt=" + mask, "--format=tsv", "--out=-", folder], top).decode()
            rows = [line.split("\t") for line in tsv.split("\n") if line]
            got = [(r[0].replace("\\t", "\t").replace("\\\\", "\\"), int(r[1]), int(r[2])) for r in rows[1:]]
            if rows[0] != ["date", "files", "bytes"] or got != want:
                problems.append(f"tsv {mask!r}: {rows}")
            run(program, ["--date=m", "--fmt=" + mask, "--format=csv", folder], top)
            with open(os.path.join(top, b'odd"name,x\xff.csv'), newline="", encoding="utf-8") as f:
                rows = list(csv.reader(f))
            got = [(r[0], int(r[1]), int(r[2])) for r in rows[1:]]
            if rows[0] != ["date", "files", "bytes"] or got != want:
                problems.append(f"csv {mask!r}: {rows}")
            # One folder: one object; two folders: one array, an object each
            # (the second with the counts of both).
            one = json.loads(run(program, ["--date=m", "--fmt=" + mask, "--format=json", "--out=-", folder], top))
            out = run(program, ["--date=m", "--fmt=" + mask, "--format=json", "--out=-", folder, folder], top)
            reports = json.loads(out.decode("utf-8"))
            for times, report in zip((1, 1, 2), [one] + reports):
                got = [(e["date"], e["files"], e["bytes"]) for e in report["entries"]]
                totals = report["totals"]
                doubled = [(t, n * times, b * times) for t, n, b in want]
                if got != doubled or totals != {"files": 40 * times, "bytes": sum(b for _, _, b in doubled),
                                                 "dates": len(want)}:
                    problems.append(f"json {mask!r}: {report}")
                # The folder's byte that is not UTF-8 comes back as the
                # surrogate that carries it.
                if os.fsencode(report["folders"][0]) != folder or report["mask"] != mask or report["date"] != "modified":
                    problems.append(f"json facts {report['folders']!r} {report['mask']!r}")
            if len(reports) != 2:
                problems.append(f"json: {len(reports)} reports")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
