#!/usr/bin/env bash
# Makes the seed corpus of fuzz_taken in fuzz/corpus/fuzz_taken: tiny real
# pictures and movies, each with a known taken date or with none. The dates
# of the files are listed again in tests/taken/TakenDateTest.cpp, which
# reads every file of the corpus that holds one.
#   JPEG, PNG, WebP: an 8x8 picture from ImageMagick with an Exif block that
#     the script below builds (DateTimeOriginal, DateTimeDigitized, DateTime
#     in either byte order), carried over by ImageMagick's own writers.
#   HEIC, AVIF: an 8x8 picture from ImageMagick; the script adds the Exif
#     item (in a new mdat box for HEIC, in the meta box's idat for AVIF).
#   TIFF: written whole by the script (8x8 grey, both byte orders).
#   MP4, MOV, 3GP: a few frames from ffmpeg with a creation time.
#   Matroska, ASF, DV: a frame from ffmpeg with a creation time (the DV
#     frame cut behind its second sequence); AVI: ffmpeg's, with an IDIT
#     chunk the script adds. MIFF: ImageMagick's, from a JPEG with Exif;
#     PSD: ImageMagick's, with an Exif resource the script adds; JPEG with
#     only IPTC or only XMP: ImageMagick's, with the segment the script adds.
#   RAF (around ImageMagick's JPEG), MRW, X3F, CRW, XCF, BPG, an XMP
#     sidecar and an AVCHD stream with its MDPM date: written by the script.
# It also makes the seeds of fuzz_taken_formats from these: the number of
# the reader that target calls, then the file.
# Needs ImageMagick 6 (convert), ffmpeg and python3.
#   bash fuzz/make_taken_corpus.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/fuzz/corpus/fuzz_taken"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

cat >"$work/taken.py" <<'PY'
import calendar
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


def be(n, v):
    return v.to_bytes(n, 'big')


def le(n, v):
    return v.to_bytes(n, 'little')


def tiff_of(order, original, digitized, datetime):
    return exif_block(order, original, digitized, datetime)[6:]


def resource(rid, data):
    return b'8BIM' + be(2, rid) + b'\0\0' + be(4, len(data)) + data + b'\0' * (len(data) % 2)


def iptc(date, time):
    return b''.join(b'\x1c\x02' + bytes([n]) + be(2, len(v)) + v for n, v in ((55, date), (60, time)))


def insert_segment(jpeg, marker, data):
    """The JPEG with a segment of `marker` right behind its start of image."""
    return jpeg[:2] + be(2, 0xFF00 | marker) + be(2, len(data) + 2) + data + jpeg[2:]


def raf(jpeg):
    """A Fujifilm raw: its header, the directory's offset and length of the
    embedded JPEG (and of the CFA data, none here), then the JPEG."""
    head = b'FUJIFILMCCD-RAW 0201FF383501' + b'FinePix'.ljust(32, b'\0') + b'0100' + bytes(20)
    head += be(4, 100) + be(4, len(jpeg)) + bytes(8)
    return head.ljust(100, b'\0') + jpeg


def mrw(tiff):
    blocks = b'\0PRD' + be(4, 8) + bytes(8) + b'\0TTW' + be(4, len(tiff)) + tiff
    return b'\0MRM' + be(4, len(blocks)) + blocks + bytes(16)


def utf16(text):
    return text.encode('utf-16-le') + b'\0\0'


def x3f(seconds):
    """A Sigma raw of one property list holding TIME; the directory at the end."""
    chars = utf16('ISO') + utf16('100') + utf16('TIME') + utf16(str(seconds))
    props = (b'SECp' + le(4, 0x20000) + le(4, 2) + bytes(8) + le(4, len(chars) // 2) +
             le(4, 0) + le(4, 4) + le(4, 8) + le(4, 13) + chars)
    head = b'FOVb' + le(4, 0x20002) + bytes(32)
    directory = b'SECd' + le(4, 0x20000) + le(4, 1) + le(4, len(head)) + le(4, len(props)) + b'PROP'
    return head + props + directory + le(4, len(head) + len(props))


def ciff_heap(records):
    data, table = b'', le(2, len(records))
    for tag, body in records:
        table += le(2, tag) + le(4, len(body)) + le(4, len(data))
        data += body
    return data + table + le(4, len(data))


def crw(seconds):
    images = ciff_heap([(0x5803, b''), (0x180E, le(4, seconds) + bytes(8))])
    root = ciff_heap([(0x300A, images)])
    return b'II' + le(4, 26) + b'HEAPCCDR' + le(4, 0x10002) + bytes(8) + root


def xcf(parasites):
    """A GIMP 2.10 image's header and properties: its parasites, then the end."""
    listed = b''.join(be(4, len(name) + 1) + name + b'\0' + be(4, 1) + be(4, len(data)) + data
                      for name, data in parasites)
    props = be(4, 21) + be(4, len(listed)) + listed + be(4, 0) + be(4, 0)
    return b'gimp xcf v011\0' + be(4, 8) + be(4, 8) + be(4, 0) + be(4, 150) + props + bytes(16)


def ue7(value):
    out = bytes([value & 0x7F])
    value >>= 7
    while value:
        out = bytes([0x80 | (value & 0x7F)]) + out
        value >>= 7
    return out


def bpg(extensions):
    data = b''.join(ue7(tag) + ue7(len(body)) + body for tag, body in extensions)
    return b'BPG\xfb\x00\x08' + ue7(8) + ue7(8) + ue7(4) + ue7(len(data)) + data + bytes(4)


def xmp(name, value):
    return ('<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>\n'
            '<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF '
            'xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">\n'
            f' <rdf:Description rdf:about="" {name}="{value}"/>\n'
            '</rdf:RDF></x:xmpmeta>\n<?xpacket end="w"?>').encode()


def psd_with(psd, res):
    """ImageMagick's PSD with the resource `res` put first among its own."""
    color = 26 + 4 + int.from_bytes(psd[26:30], 'big')
    length = int.from_bytes(psd[color:color + 4], 'big')
    return psd[:color] + be(4, length + len(res)) + res + psd[color + 4:]


def avi_with_idit(avi, text):
    """ffmpeg's AVI with an IDIT chunk at the end of its header list."""
    assert avi[12:16] == b'LIST' and avi[20:24] == b'hdrl'
    size = int.from_bytes(avi[16:20], 'little')
    chunk = b'IDIT' + le(4, len(text)) + text + b'\0' * (len(text) % 2)
    out = avi[:16] + le(4, size + len(chunk)) + avi[20:20 + size] + chunk + avi[20 + size:]
    return out[:4] + le(4, len(out) - 8) + out[8:]


def m2ts(when):
    """An AVCHD stream: 192-byte packets (a time stamp, a transport packet),
    the first of the video stream holding a PES header and an access unit
    whose SEI carries the MDPM record of `when` (year, month, day, hours,
    minutes, seconds), then two null packets."""
    bcd = [int(str(v % 100), 16) for v in when]
    record = (bytes.fromhex('17ee8c60f84d11d98cd60800200c9a66') + b'MDPM' + bytes([2]) +
              bytes([0x18, 0x00, int(str(when[0] // 100), 16), bcd[0], bcd[1]]) +
              bytes([0x19, bcd[2], bcd[3], bcd[4], bcd[5]]))
    stream = b'\0\0\0\x01\x09\x10' + b'\0\0\0\x01\x06\x05' + bytes([len(record)]) + record + b'\x80'
    pes = b'\0\0\x01\xe0\0\0\x80\x80\x05' + b'\x21\0\x01\0\x01'
    video = b'\x47\x50\x11\x10' + pes + stream
    null = b'\x47\x1f\xff\x10'
    return b''.join(bytes(4) + p.ljust(188, b'\xff') for p in (video, null, null))


def write(target, data):
    open(target, 'wb').write(data)


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
    elif command == 'raf':
        write(target, raf(open(sys.argv[3], 'rb').read()))
    elif command == 'mrw':
        write(target, mrw(tiff_of('>', '2008:07:06 05:04:03', '-', '2008:07:06 09:00:00')))
    elif command == 'x3f':
        write(target, x3f(calendar.timegm((2007, 6, 5, 4, 3, 2))))
    elif command == 'crw':
        write(target, crw(calendar.timegm((2006, 5, 4, 3, 2, 1))))
    elif command == 'xcf':
        write(target, xcf([(b'icc-profile', bytes(5)),
                           (b'exif-data', exif_block('<', '-', '2005:04:03 02:01:00', '-'))]))
    elif command == 'bpg':
        write(target, bpg([(1, tiff_of('<', '-', '-', '2004:03:02 01:00:59')),
                           (3, xmp('xmp:CreateDate', '2004-03-02T11:22:33+01:00'))]))
    elif command == 'xmp':
        write(target, xmp('exif:DateTimeOriginal', '2003-02-01T00:59:58.5+02:00') + b'\n')
    elif command == 'iptc':
        app13 = b'Photoshop 3.0\0' + resource(0x0404, iptc(b'20020130', b'235957-0500'))
        write(target, insert_segment(open(sys.argv[3], 'rb').read(), 0xED, app13))
    elif command == 'xmp-jpeg':
        app1 = b'http://ns.adobe.com/xap/1.0/\0' + xmp('photoshop:DateCreated', '2001-12-29T22:58:56')
        write(target, insert_segment(open(sys.argv[3], 'rb').read(), 0xE1, app1))
    elif command == 'psd':
        res = resource(0x0422, tiff_of('>', '2000:11:28 21:57:55', '-', '-'))
        write(target, psd_with(open(sys.argv[3], 'rb').read(), res))
    elif command == 'avi':
        write(target, avi_with_idit(open(sys.argv[3], 'rb').read(), b'Wed Mar 10 15:04:43 2010\n\0'))
    elif command == 'm2ts':
        write(target, m2ts((2009, 10, 11, 12, 13, 14)))
    elif command == 'formats':
        # The seeds of fuzz_taken_formats: the number of the reader (its
        # place in that target's list), then the file.
        for reader, name in enumerate(sys.argv[4:]):
            if name != '-':
                data = open(f'{sys.argv[3]}/{name}', 'rb').read()
                write(f'{target}/{name}', bytes([reader]) + data)


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

# Raw files, image programs' formats, camera video and sidecars. Where a
# writer on this machine makes the format with a date (ffmpeg: Matroska,
# ASF, DV; ImageMagick: MIFF carries a JPEG's Exif), it does; the script
# builds the rest, around ImageMagick's JPEG and PSD and ffmpeg's AVI where
# the format has a picture or movie in it.
py raf "$out/raf-exif.raf" "$work/a.jpg"
py mrw "$out/mrw-ttw.mrw"
py x3f "$out/x3f-time.x3f"
py crw "$out/crw-time.crw"
py xcf "$out/xcf-exif.xcf"
py bpg "$out/bpg-xmp.bpg"
py xmp "$out/xmp-sidecar.xmp"
convert -size 8x8 xc:gray "$work/plain.jpg"
py iptc "$out/jpeg-iptc.jpg" "$work/plain.jpg"
py xmp-jpeg "$out/jpeg-xmp.jpg" "$work/plain.jpg"
convert -size 8x8 xc:gray "$work/plain.psd"
py psd "$out/psd-exif.psd" "$work/plain.psd"
convert "$work/a.jpg" "$out/miff-exif.miff"
video() {  # FILE CREATION_TIME FFMPEG_OPTIONS...
  local file=$1 created=$2
  shift 2
  ffmpeg -loglevel error -y -f lavfi -i "color=c=red:s=720x480:r=30000/1001:d=0.04" "$@" \
    -metadata "creation_time=$created" -fflags +bitexact -flags:v +bitexact "$file"
}
video "$out/mkv-dateutc.mkv" 2011-04-05T06:07:08Z -c:v mpeg4 -s 16x16
video "$out/asf-created.wmv" 2012-05-06T07:08:09Z -c:v wmv2 -s 16x16
video "$work/dv.dv" 2013-06-07T08:09:10Z -pix_fmt yuv411p -f dv
head -c 24000 "$work/dv.dv" >"$out/dv-recorded.dv"  # the first two sequences of its frame
video "$work/plain.avi" 2000-01-01T00:00:00Z -c:v mpeg4 -s 16x16
py avi "$out/avi-idit.avi" "$work/plain.avi"
py m2ts "$out/m2ts-mdpm.mts"

# fuzz_taken_formats: each reader of its list on the seed of its format.
mkdir -p "$root/fuzz/corpus/fuzz_taken_formats"
py formats "$root/fuzz/corpus/fuzz_taken_formats" "$out" raf-exif.raf mrw-ttw.mrw x3f-time.x3f crw-time.crw \
  xcf-exif.xcf bpg-xmp.bpg miff-exif.miff psd-exif.psd avi-idit.avi asf-created.wmv dv-recorded.dv \
  mkv-dateutc.mkv m2ts-mdpm.mts xmp-sidecar.xmp - - - jpeg-iptc.jpg heic-exif.heic
ls -l "$out" "$root/fuzz/corpus/fuzz_taken_formats"
