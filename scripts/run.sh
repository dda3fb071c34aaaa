#!/usr/bin/env bash
# Builds the native program and runs it. With no arguments it counts a small
# sample folder by the last-write date and shows the report it wrote; with
# arguments it passes them on (reports land in the current folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset native >/dev/null
cmake --build --preset native --target datemill >/dev/null
program="$root/build/native/datemill"

if [ $# -gt 0 ]; then
  exec "$program" "$@"
fi

sample="$root/build/sample/Photos"
rm -rf "$sample" && mkdir -p "$sample/sub"
for stamp in 2018-08-30T10:00 2018-09-25T09:30 2018-09-26T18:00 2018-09-26T23:59 2019-01-01T00:00; do
  touch -d "$stamp" "$sample/IMG_${stamp//[-:T]/}.jpg"
done
touch -d 2017-05-05 "$sample/sub/not-counted.jpg"  # subfolders are not entered
cd "$root/build/sample"
"$program" --date=m "$sample"
echo "$ datemill --date=m $sample"
echo "wrote $(pwd)/Photos.txt:"
cat Photos.txt
