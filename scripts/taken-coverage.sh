#!/usr/bin/env bash
# How many photos and videos of a folder datemill dates by the moment they
# were taken, measured against Debian's exiftool: of the files to which
# exiftool gives a capture date, how many the program dates, how many of
# those it dates wrongly, and which. The files are copied one by one into
# folders of their own under a scratch folder, each with its last write set
# to 1980-01-01 00:00:00, so a file the program cannot date shows that
# stamp. Everything runs in TZ=UTC: a UTC date (movie header, Matroska,
# ASF) and a wall clock are then both shown as exiftool shows them.
#   bash scripts/taken-coverage.sh FOLDER [DATEMILL]
# DATEMILL defaults to build/native/datemill. Files are never changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 FOLDER [DATEMILL]" >&2
  exit 2
fi
folder=$1
program=${2:-$root/build/native/datemill}
. "$root/scripts/deps.sh"
ensure_packages libimage-exiftool-perl python3
[ -x "$program" ] || { echo "$0: no program at $program (build it: cmake --workflow --preset native)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C

# exiftool's dates of every file, as JSON: group:tag -> text.
exiftool -json -a -G1 -time:all -r "$folder" >"$work/dates.json" 2>/dev/null || true

i=0
: >"$work/program.txt"
while IFS= read -r -d '' file; do
  i=$((i + 1))
  mkdir "$work/$i"
  cp "$file" "$work/$i/"
  touch -d '1980-01-01 00:00:00' "$work/$i/"*
  line=$("$program" --date=t --fmt=yyyy-mm-dd_hh:ii:ss --out=- "$work/$i" 2>/dev/null | head -n 1)
  printf '%s\t%s\n' "$file" "${line%% *}" >>"$work/program.txt"
  rm -rf "${work:?}/$i"
done < <(find "$folder" -type f ! -name README.md -print0 | sort -z)

python3 - "$work/dates.json" "$work/program.txt" <<'PY'
import json
import re
import sys

# The capture date exiftool gives, in the order datemill prefers them
# (README, "Date taken"): the first group:tag present with a time of day.
ORDER = [
    r"ExifIFD:DateTimeOriginal",
    r"XMP-exif:DateTimeOriginal", r"XMP-photoshop:DateCreated", r"XMP-xmp:CreateDate",
    r"Composite:DateTimeCreated",  # IPTC DateCreated + TimeCreated
    r"(CanonRaw|SigmaRaw|RIFF|H264|DV|Matroska):DateTimeOriginal", r"ASF:CreationDate",
    r"Keys:CreationDate",
    r"QuickTime:CreateDate",
    r"ExifIFD:CreateDate",
    r"IFD0:ModifyDate",
]
DATE = re.compile(r"(\d{4}):(\d\d):(\d\d) (\d\d):(\d\d):(\d\d)")
UNDATED = "1980-01-01_00:00:00"


def expected(tags):
    for pattern in ORDER:
        for key, value in tags.items():
            m = DATE.match(str(value)) if re.fullmatch(pattern, key) else None
            if m and m.group(1) != "0000":
                return "{}-{}-{}_{}:{}:{}".format(*m.groups()), key
    return None, None


oracle = {entry["SourceFile"]: entry for entry in json.load(open(sys.argv[1]))}
files = dated = right = 0
wrong, missed, extra = [], [], []
for line in open(sys.argv[2]):
    path, shown = line.rstrip("\n").split("\t")
    files += 1
    date, key = expected(oracle.get(path, {}))
    if date is None:
        if shown != UNDATED:
            extra.append(f"{path}: {shown} (exiftool: none)")
        continue
    dated += 1
    if shown == UNDATED:
        missed.append(f"{path}: exiftool {date} ({key})")
    elif shown == date:
        right += 1
    else:
        wrong.append(f"{path}: {shown}, exiftool {date} ({key})")
print(f"{files} files, {dated} with a capture date by exiftool: "
      f"{right + len(wrong)} dated by datemill, {len(wrong)} wrong, {len(missed)} missed; "
      f"{len(extra)} dated that exiftool does not date")
for title, rows in (("wrong", wrong), ("missed", missed), ("dated, no date by exiftool", extra)):
    for row in rows:
        print(f"  {title}: {row}")
PY
