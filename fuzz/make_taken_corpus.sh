#!/usr/bin/env bash
# Makes the seed corpus of fuzz_taken in fuzz/corpus/fuzz_taken: tiny real
# pictures and movies, each with a known taken date or with none. The dates
# of the files are listed again in tests/TakenDateTest.cpp, which reads every
# file of the corpus that holds one.
#   JPEG, PNG, WebP: an 8x8 picture from ImageMagick with an Exif block that
#     the script below builds (DateTimeOriginal, DateTimeDigitized, DateTime
#     in either byte order), carried over by ImageMagick's own writers.
#   HEIC, AVIF: an 8x8 picture from ImageMagick; the script adds the Exif
#     item (in a new mdat box for HEIC, in the meta box's idat for AVIF).
#   TIFF: written whole by the script (8x8 grey, both byte orders).
#   MP4, MOV, 3GP: a few frames from ffmpeg with a creation time.
# Needs ImageMagick 6 (convert), ffmpeg and python3.
#   bash fuzz/make_taken_corpus.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/fuzz/corpus/fuzz_taken"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

cat >"$work/taken.py" <<'PY'
import struct
import sys

ASCII, SHORT, LONG = 2, 3, 4


def ifds(order, tables, start):
    """TIFF IFDs at `start`, one after another, each a list of (tag, type,
    value); values that do not fit an entry follow the IFDs. A value of None
    for LONG is the offset of the next table (the Exif IFD pointer)."""
    sizes = [2 + 12 * len(t) + 4 for t in tables]
    data_at = start + sum(sizes)
    heads, data = bytearray(), bytearray()
    for i, table in enumerate(tables):
        heads += struct.pack(order + 'H', len(table))
        for tag, typ, value in sorted(table, key=lambda e: e[0]):
            if typ == ASCII:
                raw = value.encode() + b'\0'
                heads += struct.pack(order + 'HHII', tag, typ, len(raw), data_at + len(data))
                data += raw + b'\0' * (len(raw) % 2)
            elif value is None:
                heads += struct.pack(order + 'HHII', tag, LONG, 1, start + sum(sizes[:i + 1]))
            elif typ == SHORT:
                heads += struct.pack(order + 'HHIHH', tag, typ, 1, value, 0)
            else:
                heads += struct.pack(order + 'HHII', tag, typ, 1, value)
        heads += struct.pack(order + 'I', 0)
    return bytes(heads + data)


def dates(original, digitized, datetime):
    """The IFD0 entries and the Exif IFD entries of the given dates ('-': absent)."""
    exif = [(tag, ASCII, text) for tag, text in ((0x9003, original), (0x9004, digitized)) if text != '-']
    first = [(0x0132, ASCII, datetime)] if datetime != '-' else []
    return first, exif


def tiff_header(order):
    return (b'II*\0' if order == '<' else b'MM\0*') + struct.pack(order + 'I', 8)


def exif_block(order, original, digitized, datetime):
    first, exif = dates(original, digitized, datetime)
    tables = [first + [(0x8769, LONG, None)], exif] if exif else [first]
    return b'Exif\0\0' + tiff_header(order) + ifds(order, tables, 8)


def tiff_file(order, original, digitized, datetime):
    """An 8x8 grey picture whose pixels follow the IFDs and their values."""
    first, exif = dates(original, digitized, datetime)
    image = [(256, SHORT, 8), (257, SHORT, 8), (258, SHORT, 8), (259, SHORT, 1), (262, SHORT, 1),
             (277, SHORT, 1), (278, SHORT, 8), (279, LONG, 64)]
    def build(pixels_at):
        tables = [first + image + [(273, LONG, pixels_at)]]
        if exif:
            tables[0].append((0x8769, LONG, None))
            tables.append(exif)
        return tiff_header(order) + ifds(order, tables, 8)
    pixels_at = len(build(0))
    return build(pixels_at) + bytes(range(0, 256, 4))


def box(typ, body):
    return struct.pack('>I4s', 8 + len(body), typ) + body


def children(data, pos, end):
    while pos + 8 <= end:
        size, typ = struct.unpack('>I4s', data[pos:pos + 8])
        yield typ, data[pos:pos + size]
        pos += size


def parse_iloc(body):
    version = body[0]
    sizes = struct.unpack('>H', body[4:6])[0]
    off_n, len_n, base_n, idx_n = sizes >> 12, sizes >> 8 & 15, sizes >> 4 & 15, sizes & 15
    pos, id_n = 6, (4 if version == 2 else 2)
    def take(n):
        nonlocal pos
        value = int.from_bytes(body[pos:pos + n], 'big') if n else 0
        pos += n
        return value
    items = []
    for _ in range(take(id_n)):
        item_id = take(id_n)
        method = take(2) & 15 if version else 0
        take(2)
        base = take(base_n)
        extents = []
        for _ in range(take(2)):
            take(idx_n if version else 0)
            extents.append((base + take(off_n), take(len_n)))
        items.append((item_id, method, extents))
    return items


def make_iloc(items):
    body = struct.pack('>BBBBBBH', 1, 0, 0, 0, 0x44, 0x00, len(items))
    for item_id, method, extents in items:
        body += struct.pack('>HHHH', item_id, method, 0, len(extents))
        for offset, length in extents:
            body += struct.pack('>II', offset, length)
    return box(b'iloc', body)


def add_exif_item(data, payload, in_idat):
    """The HEIF file `data` with an Exif item holding `payload` added."""
    top = list(children(data, 0, len(data)))
    meta_at = sum(len(b) for t, b in top[:[t for t, _ in top].index(b'meta')])
    meta = dict(top)[b'meta']
    parts = list(children(meta, 12, len(meta)))
    items = parse_iloc(dict(parts)[b'iloc'][8:])
    exif_id = max(i for i, _, _ in items) + 1
    old_idat = dict(parts).get(b'idat', box(b'idat', b''))[8:]
    def build(shift, exif_at):
        moved = [(i, m, [(o + shift if m == 0 else o, n) for o, n in e]) for i, m, e in items]
        exif_extent = (len(old_idat), len(payload)) if in_idat else (exif_at, len(payload))
        moved.append((exif_id, 1 if in_idat else 0, [exif_extent]))
        new = []
        for typ, b in parts:
            if typ == b'iinf':
                count = struct.unpack('>H', b[12:14])[0]
                infe = box(b'infe', struct.pack('>BBBBHH', 2, 0, 0, 0, exif_id, 0) + b'Exif\0')
                b = box(b'iinf', b[8:12] + struct.pack('>H', count + 1) + b[14:] + infe)
            elif typ == b'iloc':
                b = make_iloc(moved)
            elif typ == b'idat':
                continue
            new.append(b)
        if in_idat or b'idat' in dict(parts):
            new.append(box(b'idat', old_idat + (payload if in_idat else b'')))
        return box(b'meta', meta[8:12] + b''.join(new))
    shift = len(build(0, 0)) - len(meta)
    head, rest = data[:meta_at], data[meta_at + len(meta):]
    exif_at = len(head) + len(build(0, 0)) + len(rest) + 8
    tail = b'' if in_idat else box(b'mdat', payload)
    return head + build(shift, exif_at) + rest + tail


def main():
    command, target = sys.argv[1], sys.argv[2]
    if command == 'exif':
        block = exif_block(*sys.argv[3:7])
        open(target, 'wb').write(block)
    elif command == 'tiff':
        open(target, 'wb').write(tiff_file(*sys.argv[3:7]))
    elif command in ('heif-mdat', 'heif-idat'):
        block = exif_block(*sys.argv[4:8])
        payload = struct.pack('>I', 6) + block  # the TIFF header sits behind "Exif\0\0"
        data = open(sys.argv[3], 'rb').read()
        open(target, 'wb').write(add_exif_item(data, payload, command == 'heif-idat'))


main()
PY
py() { python3 "$work/taken.py" "$@"; }

# Pictures: ImageMagick writes the Exif block given as an APP1 profile into
# a JPEG, and carries a JPEG's Exif over into PNG (eXIf) and WebP (EXIF).
# Its own date chunks are left out so that the files are the same each time.
picture() {  # NAME COLOR ORDER ORIGINAL DIGITIZED DATETIME
  py exif "$work/$1.exif" "$3" "$4" "$5" "$6"
  convert -size 8x8 "xc:$2" -profile "APP1:$work/$1.exif" "$work/$1.jpg"
}
picture a red '<' '2018:09:26 10:11:12' '2018:09:26 11:00:00' '2018:09:26 12:00:00'
picture b blue '>' '-' '2017:03:04 05:06:07' '2017:03:04 08:00:00'
picture c green '<' '-' '-' '2016:02:29 23:59:59'
picture d yellow '>' '0000:00:00 00:00:00' '    :  :     :  :  ' '2015:07:08 09:10:11'
picture e navy '<' '2019:12:31 23:59:58' '-' '-'
picture f teal '>' '2020:01:02 03:04:05' '-' '2020:01:02 06:00:00'
cp "$work/a.jpg" "$out/jpeg-original.jpg"
cp "$work/b.jpg" "$out/jpeg-digitized-be.jpg"
cp "$work/c.jpg" "$out/jpeg-datetime.jpg"
cp "$work/d.jpg" "$out/jpeg-zero-original.jpg"
convert -size 8x8 xc:gray "$out/jpeg-none.jpg"
convert "$work/e.jpg" -define png:exclude-chunks=date,time "$out/png-exif.png"
convert -size 8x8 xc:gray -define png:exclude-chunks=date,time "$out/png-none.png"
convert "$work/f.jpg" "$out/webp-exif-be.webp"
convert -size 8x8 xc:gray "$out/webp-none.webp"

# HEIC and AVIF: the Exif item is added to what ImageMagick wrote.
convert -size 8x8 xc:purple "$work/plain.heic"
convert -size 8x8 xc:orange "$work/plain.avif"
py heif-mdat "$out/heic-exif.heic" "$work/plain.heic" '>' '2021:06:07 08:09:10' '-' '2021:06:07 12:00:00'
py heif-idat "$out/avif-exif.avif" "$work/plain.avif" '<' '-' '2022:11:12 13:14:15' '-'
cp "$work/plain.heic" "$out/heic-none.heic"

py tiff "$out/tiff-le.tif" '<' '2023:04:05 06:07:08' '-' '2023:04:05 09:00:00'
py tiff "$out/tiff-be.tif" '>' '-' '-' '2024:02:29 00:00:01'

# Movies: ffmpeg keeps its creation_time (UTC) in the movie header.
movie() {  # FILE CREATION_TIME FFMPEG_OPTIONS...
  local file=$1 created=$2
  shift 2
  local stamp=()
  [ "$created" = - ] || stamp=(-metadata "creation_time=$created")
  ffmpeg -loglevel error -y -f lavfi -i "color=c=red:s=16x16:r=10:d=0.2" "$@" "${stamp[@]}" \
    -fflags +bitexact -flags:v +bitexact "$file"
}
movie "$out/mp4-created.mp4" 2018-09-26T10:11:12Z -c:v mpeg4
movie "$out/mp4-none.mp4" - -c:v mpeg4
movie "$out/mov-created.mov" 2009-02-13T23:31:30Z -c:v mpeg4
ffmpeg -loglevel error -y -f lavfi -i "color=c=blue:s=176x144:r=10:d=0.1" -c:v h263 \
  -metadata creation_time=2012-12-21T11:12:13Z -fflags +bitexact -flags:v +bitexact "$out/3gp-created.3gp"
ls -l "$out"
