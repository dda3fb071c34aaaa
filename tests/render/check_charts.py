#!/usr/bin/env python3
"""Renders charts with rsvg-convert and checks the pixels.

    check_charts.py CHART_SAMPLE DATEMILL WORK_DIR GOLDEN_DIR

Bars must stand from the baseline with heights in the ratio of their counts,
in charts made up by CHART_SAMPLE and in one the program writes for a real
folder; charts of 1, 366 and 100,000 texts must render. On a time axis (the
real folder's days, the golden charts' months, minutes and days written
day first) each bar must
stand in the slot of its date and the slots without files must stay empty.
Standard library only: the PNG is decoded here with zlib.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

BAR = (0x3B, 0x6E, 0xA8)  # the bars' fill
BASELINE = 530            # y of the plot's baseline
PLOT_HEIGHT = 450
PLOT_LEFT, PLOT_WIDTH = 90, 1130


def decode_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB/RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, color, _, _, interlace = header
    assert depth == 8 and color in (2, 6) and interlace == 0, header
    bpp = 4 if color == 6 else 3
    raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, bpp)])
        prev = line
    return width, height, rows


def render(svg, png):
    size = os.path.getsize(svg)
    assert size < 2 * 1024 * 1024, f"{svg}: {size} bytes"
    subprocess.run(["rsvg-convert", "-f", "png", "-o", png, svg], check=True)
    return decode_png(png)


def is_bar(pixel):
    return all(abs(p - q) <= 24 for p, q in zip(pixel, BAR))


def bar_columns(rows):
    """Centres of the runs of bar colour just above the baseline."""
    row, runs, start = rows[BASELINE - 2], [], None
    for x, pixel in enumerate(row + [(255, 255, 255)]):
        if is_bar(pixel) and start is None:
            start = x
        elif not is_bar(pixel) and start is not None:
            runs.append((start + x - 1) // 2)
            start = None
    return runs


def height_at(rows, x):
    """Height of the bar in column x: its pixels from just above the
    baseline up (the row the axis line shares with the bars counts too)."""
    y = BASELINE - 2
    while y > 0 and is_bar(rows[y][x]):
        y -= 1
    return BASELINE - 1 - y


def check_ratio(rows, counts, top, what):
    columns = bar_columns(rows)
    assert len(columns) == len(counts), f"{what}: {len(columns)} bars, expected {len(counts)}"
    for x, count in zip(columns, counts):
        expected = count * PLOT_HEIGHT / top
        got = height_at(rows, x)
        assert abs(got - expected) <= 1.5, f"{what}: bar of {count} is {got} px, expected {expected}"


def slot_range(slot, slots):
    """The pixel columns whose centres lie in a slot of a time axis."""
    left = PLOT_LEFT + slot * PLOT_WIDTH / slots
    return [x for x in range(int(left), int(left + PLOT_WIDTH / slots) + 1)
            if left <= x + 0.5 < left + PLOT_WIDTH / slots]


def check_slots(rows, slots, filled, what):
    """Bar colour above the baseline in every slot of `filled`, none in the
    others; a filled slot's bar stands in its middle."""
    for slot in range(slots):
        columns = [x for x in slot_range(slot, slots) if is_bar(rows[BASELINE - 2][x])]
        if slot not in filled:
            assert not any(is_bar(rows[y][x]) for x in slot_range(slot, slots) for y in range(80, BASELINE - 1)), \
                f"{what}: bar colour in the empty slot {slot}"
        else:
            assert columns, f"{what}: no bar in slot {slot}"
            middle = PLOT_LEFT + (slot + 0.5) * PLOT_WIDTH / slots
            assert abs((columns[0] + columns[-1]) / 2 - middle) <= 1.5, f"{what}: bar of slot {slot} off its middle"


def sample(tool, work, name, args):
    svg, png = os.path.join(work, name + ".svg"), os.path.join(work, name + ".png")
    subprocess.run([tool, svg] + [str(a) for a in args], check=True)
    return render(svg, png)


def check_samples(tool, work):
    # Counts 3..12 reach a top gridline of 15 (steps of 5).
    _, _, rows = sample(tool, work, "ratio", [3, 6, 9, 12])
    check_ratio(rows, [3, 6, 9, 12], 15, "ratio")
    for texts in (1, 366, 100000):
        width, height, rows = sample(tool, work, f"texts-{texts}", [texts])
        assert (width, height) == (1280, 600), (texts, width, height)
        assert bar_columns(rows), f"{texts} texts: no bars drawn"
    _, _, rows = sample(tool, work, "texts-1", [1])
    assert len(bar_columns(rows)) == 1 and height_at(rows, bar_columns(rows)[0]) >= PLOT_HEIGHT - 1


def check_real_run(program, work):
    # Files last written on three days, 1, 2 and 4 of them (top gridline 4),
    # with two days without files before the last.
    folder = os.path.join(work, "photos")
    os.makedirs(folder)
    n = 0
    for day, count in (("01", 1), ("02", 2), ("05", 4)):
        for _ in range(count):
            path = os.path.join(folder, f"f{n}.jpg")
            open(path, "wb").close()
            stamp = 1535760000 + (int(day) - 1) * 86400 + 43200  # 2018-09-DD 12:00 UTC
            os.utime(path, (stamp, stamp))
            n += 1
    env = dict(os.environ, TZ="UTC")
    subprocess.run([program, "--date=m", "--chart", "--out=" + work, folder], check=True, env=env)
    report = open(os.path.join(work, "photos.txt"), "rb").read()
    assert report == b"2018-09-01 1\r\n2018-09-02 2\r\n2018-09-05 4\r\n", report
    _, _, rows = render(os.path.join(work, "photos.svg"), os.path.join(work, "photos.png"))
    check_ratio(rows, [1, 2, 4], 4, "real run")
    check_slots(rows, 5, {0, 1, 4}, "real run")


def check_goldens(goldens, work):
    # Months 2019-11 to 2021-03 with files in five of them (5, 12, 3, 8 and 1
    # files, top gridline 15).
    _, _, rows = render(os.path.join(goldens, "chart-gaps.svg"), os.path.join(work, "gaps.png"))
    check_slots(rows, 17, {0, 2, 3, 8, 16}, "months")
    check_ratio(rows, [5, 12, 3, 8, 1], 15, "months")
    # Minutes 22:00 to 07:59, files in the first two hours and the last six.
    _, _, rows = render(os.path.join(goldens, "chart-seconds.svg"), os.path.join(work, "seconds.png"))
    check_slots(rows, 600, set(range(0, 120)) | set(range(240, 600)), "minutes")
    # Days first, 2018-09-05 to 2018-10-02 with files on four of them.
    _, _, rows = render(os.path.join(goldens, "chart-dayfirst.svg"), os.path.join(work, "dayfirst.png"))
    check_slots(rows, 28, {0, 2, 25, 27}, "days first")
    check_ratio(rows, [3, 1, 2, 5], 5, "days first")


def main():
    tool, program, work, goldens = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    check_samples(tool, work)
    check_real_run(program, work)
    check_goldens(goldens, work)
    print("charts render as expected")


if __name__ == "__main__":
    main()
