#!/usr/bin/env bash
# Two more cases beside run.sh's:
#   tree:  datemill --depth=all on N files in a tree of F folders, against
#          the same files in one folder (both also with
#          DATEMILL_STAT_THREADS=0, the plain way), against
#          find TREE -type f -printf '%TY-%Tm-%Td\n' | sort | uniq -c, and
#          floor-value (run.sh's hardest floor) on the one folder;
#   chart: datemill on N files, every file its own second (mask
#          yyyymmddhhiiss), with and without --chart, and floor-value;
#   big:   datemill --depth=all and the find pipeline on a tree of B files
#          (default 10 million, fewer when the disk has not the inodes),
#          against the N-file tree: memory must not grow with the files.
# Medians of warm-cache rounds, tools in alternation; the counts are checked
# first. run.sh runs this at its end; see README.md beside this file.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

files=${BENCH_TREE_FILES:-1000000}
folders=${BENCH_TREE_FOLDERS:-$((files / 100))}
rounds=${BENCH_ROUNDS:-5}
realtime=${BENCH_REALTIME:-0}
big=${BENCH_BIG_TREE_FILES:-10000000}
big_rounds=${BENCH_BIG_ROUNDS:-2}
seed=${BENCH_SEED:-1}
work=${BENCH_DIR:-/tmp/datemill-bench}
export TZ=${BENCH_TZ:-Europe/Berlin} LC_ALL=C

usage() {
    cat <<EOF2
usage: bench/tree.sh [--files N] [--folders F] [--rounds R] [--dir SCRATCH] [--realtime]
  --files    files in the tree, the flat folder and the chart case (default $files)
  --folders  leaf folders of the tree (default files / 100)
  --rounds   measured rounds after one warm-up (default $rounds)
  --dir      scratch folder, shared with run.sh (default $work)
  --realtime run every timed tool under chrt -f 50 (needs root), as run.sh
  --big      files in the big tree (default $big, 0: none), in big / 100
             leaf folders; fewer when the disk's free inodes do not allow it
  --big-rounds  measured rounds of the big tree (default $big_rounds)
Also from the environment: BENCH_TREE_FILES BENCH_TREE_FOLDERS BENCH_ROUNDS
BENCH_DIR BENCH_SEED BENCH_TZ (default Europe/Berlin), BENCH_REALTIME=1, BENCH_FLOOR_THREADS,
BENCH_BIG_TREE_FILES BENCH_BIG_ROUNDS, DATEMILL.
EOF2
}
die() { echo "tree.sh: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
    case $1 in
        --files) files=${2:?}; folders=$((files / 100)); shift ;;
        --folders) folders=${2:?}; shift ;;
        --rounds) rounds=${2:?}; shift ;;
        --dir) work=${2:?}; shift ;;
        --realtime) realtime=1 ;;
        --big) big=${2:?}; shift ;;
        --big-rounds) big_rounds=${2:?}; shift ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
    shift
done
[[ $files =~ ^[1-9][0-9]*$ && $folders =~ ^[1-9][0-9]*$ && $rounds =~ ^[1-9][0-9]*$ ]] ||
    die "bad --files, --folders or --rounds"
[[ $big =~ ^[0-9]+$ && $big_rounds =~ ^[1-9][0-9]*$ ]] || die "bad --big or --big-rounds"

mkdir -p "$work/bin" "$work/data"
work=$(cd "$work" && pwd)
bin=$work/bin
/usr/bin/time -f %e true >/dev/null 2>&1 || die "needs GNU time at /usr/bin/time (package 'time')"
cc -O2 -o "$bin/gen" "$here/gen.c"
cc -O2 -o "$bin/gentree" "$here/gentree.c" -lm
cc -O2 -pthread -o "$bin/floor-value" "$here/floor-value.c"
cores=$(nproc)
floor_threads=${BENCH_FLOOR_THREADS:-$((cores <= 2 ? 1 : cores > 9 ? 8 : cores - 1))}
datemill=${DATEMILL:-$root/build/native/datemill}
if [ ! -x "$datemill" ]; then
    echo "building datemill" >&2
    (cd "$root" && cmake --workflow --preset native >&2)
fi
[ -x "$datemill" ] || die "no datemill at $datemill"
datemill=$(cd "$(dirname "$datemill")" && pwd)/$(basename "$datemill")

# ---- data (kept and reused while generator, sizes and seed stay) -----------
# make DIR STAMP CMD...: run CMD to make DIR unless DIR.ok says STAMP
make_data() {
    local dir=$1 want=$2
    shift 2
    [ -d "$dir" ] && [ "$(cat "$dir.ok" 2>/dev/null)" = "$want" ] && return 0
    echo "generating $dir" >&2
    rm -rf "$dir" "$dir.ok"
    "$@"
    echo "$want" > "$dir.ok"
    sync   # keep write-back out of the timings
}
tree_sum=$(cksum < "$here/gentree.c" | cut -d' ' -f1)
gen_sum=$(cksum < "$here/gen.c" | cut -d' ' -f1)
tree=$work/data/tree-$files-$folders flat=$work/data/flat-$files
seconds=$work/data/seconds-$files   # the same folder run.sh makes
make_data "$tree" "gentree $tree_sum $files $folders $seed" "$bin/gentree" "$tree" "$files" "$folders" "$seed"
make_data "$flat" "gentree $tree_sum $files 1 $seed" "$bin/gentree" "$flat" "$files" 1 "$seed"
make_data "$seconds" "gen $gen_sum $files seconds $seed" "$bin/gen" "$seconds" "$files" seconds "$seed"
# The big tree takes a file entry (inode) a file and one a folder: as many
# files as nine tenths of the free ones allow, when they are fewer.
big_note=
if [ "$big" -gt 0 ]; then
    bigtree=$work/data/tree-$big-$((big / 100))
    if [ ! -d "$bigtree" ]; then
        free=$(df --output=iavail "$work/data" | tail -n 1 | tr -d ' ')
        if [[ $free =~ ^[0-9]+$ ]] && [ $((big + big / 100)) -gt $((free / 10 * 9)) ]; then
            big=$((free / 10 * 9 / 101 * 100))
            big_note=" (fewer than asked for: the disk's free file entries allow no more)"
            bigtree=$work/data/tree-$big-$((big / 100))
        fi
    fi
    [ "$big" -ge 100 ] || die "no room for a big tree"
    make_data "$bigtree" "gentree $tree_sum $big $((big / 100)) $seed" \
        "$bin/gentree" "$bigtree" "$big" $((big / 100)) "$seed"
fi

rt=()
if [ "$realtime" = 1 ]; then
    chrt -f 50 true 2>/dev/null || die "--realtime: chrt -f 50 is refused here (needs root)"
    rt=(chrt -f 50)
fi

# ---- measuring -------------------------------------------------------------
# measure LOG CMD...: run CMD (output to /dev/null), append "wall cpu rss_kib"
measure() {
    local log=$1 u s m t0 t1
    shift
    t0=$EPOCHREALTIME
    "${rt[@]}" /usr/bin/time -f '%U %S %M' -o "$work/time.tmp" "$@" > "$out/stdout.tmp" || die "failed: $*"
    t1=$EPOCHREALTIME
    read -r u s m < "$work/time.tmp"
    awk -v a="$t0" -v b="$t1" -v u="$u" -v s="$s" -v m="$m" \
        'BEGIN { printf "%.4f %.2f %d\n", b - a, u + s, m }' >> "$log"
}
pipeline='find "$1" -type f -printf "%TY-%Tm-%Td\n" | sort | uniq -c'
run_tool() {   # run_tool TOOL LOG
    case $1 in
        tree) measure "$2" "$datemill" --date=m --depth=all "$tree" && cp "$(basename "$tree").txt" tree-threads.txt ;;
        flat) measure "$2" "$datemill" --date=m "$flat" ;;
        tree-plain) measure "$2" env DATEMILL_STAT_THREADS=0 "$datemill" --date=m --depth=all "$tree" ;;
        flat-plain) measure "$2" env DATEMILL_STAT_THREADS=0 "$datemill" --date=m "$flat" ;;
        find) measure "$2" bash -c "$pipeline" find "$tree" && mv "$out/stdout.tmp" "$out/find.txt" ;;
        flat-value) measure "$2" "$bin/floor-value" --threads "$floor_threads" "$flat" &&
            mv "$out/stdout.tmp" "$out/flat-value.txt" ;;
        plain) measure "$2" "$datemill" --date=m --fmt=yyyymmddhhiiss "$seconds" ;;
        plain-value) measure "$2" "$bin/floor-value" --threads "$floor_threads" "$seconds" yyyymmddhhiiss &&
            mv "$out/stdout.tmp" "$out/plain-value.txt" ;;
        chart) measure "$2" "$datemill" --date=m --fmt=yyyymmddhhiiss --chart "$seconds" ;;
        big) measure "$2" "$datemill" --date=m --depth=all "$bigtree" ;;
        big-find) measure "$2" bash -c "$pipeline" find "$bigtree" && mv "$out/stdout.tmp" "$out/big-find.txt" ;;
    esac
}
check() {
    local t=$(basename "$tree") f=$(basename "$flat") s=$(basename "$seconds")
    tr -d '\r' < "$t.txt" > tree.norm
    tr -d '\r' < "$f.txt" > flat.norm
    awk '{ print $2, $1 }' find.txt > find.norm
    [ "$(awk '{ s += $2 } END { print s + 0 }' flat.norm)" = "$files" ] || die "flat: not $files files counted"
    cmp -s tree.norm flat.norm || die "tree and flat counts differ (see $out)"
    cmp -s tree-threads.txt "$t.txt" || die "the tree with and without stat threads differ (see $out)"
    cmp -s tree.norm find.norm || die "datemill and find differ on the tree (see $out)"
    cmp -s flat.norm flat-value.txt || die "datemill and floor-value differ on the flat folder (see $out)"
    tr -d '\r' < "$s.txt" > plain.norm
    cmp -s plain.norm plain-value.txt || die "datemill and floor-value differ on $s (see $out)"
    [ -f "$s.svg" ] || die "no chart $s.svg in $out"
    [ "$(stat -c %s "$s.svg")" -lt 2097152 ] || die "$s.svg is 2 MB or more"
}

out=$work/out/tree
results=$work/results/tree
rm -rf "$out" "$results"
mkdir -p "$out" "$results"
cd "$out"
tools=(tree flat tree-plain flat-plain find flat-value plain chart plain-value)
echo "timing tree and chart cases: warm-up" >&2
for t in "${tools[@]}"; do run_tool "$t" /dev/null; done
check
for ((r = 1; r <= rounds; r++)); do
    echo "timing tree and chart cases: round $r/$rounds" >&2
    for t in "${tools[@]}"; do run_tool "$t" "$results/$t"; done
done
if [ "$big" -gt 0 ]; then
    b=$(basename "$bigtree")
    for ((r = 0; r <= big_rounds; r++)); do   # round 0 warms up
        echo "timing the $big-file tree: round $r/$big_rounds" >&2
        log=$results/big log_find=$results/big-find
        [ "$r" -gt 0 ] || log=/dev/null log_find=/dev/null
        run_tool big "$log"
        run_tool big-find "$log_find"
    done
    tr -d '\r' < "$b.txt" > big.norm
    awk '{ print $2, $1 }' big-find.txt > big-find.norm
    cmp -s big.norm big-find.norm || die "datemill and find differ on the big tree (see $out)"
fi

# ---- report ----------------------------------------------------------------
median() {   # median LOG FIELD
    awk -v k="$2" '{ print $k }' "$1" | sort -g |
        awk '{ a[NR] = $1 } END { print NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
row() {   # row CASE LABEL TOOL BASE
    local w c m
    w=$(median "$results/$3" 1) c=$(median "$results/$3" 2) m=$(median "$results/$3" 3)
    printf '| %s | %s | %.3f | %.2f | %s | %s | %.1f |\n' "$1" "$2" "$w" "$c" \
        "$(ratio "$w" "$(median "$results/$4" 1)")" "$(ratio "$c" "$(median "$results/$4" 2)")" \
        "$(awk -v m="$m" 'BEGIN { print m / 1024 }')"
}
{
    echo "### tree and chart: medians of $rounds round(s) after a warm-up, TZ=$TZ$([ "$realtime" = 1 ] && echo ', tools at real-time priority (chrt -f 50)')"
    echo
    echo "$(uname -sr), $(nproc) cores, $(df --output=fstype "$work/data" | tail -n 1) file system;" \
        "$files files, the tree in $folders leaf folders"
    echo
    echo "| case | run | wall s | CPU s | wall ÷ base | CPU ÷ base | peak RSS MiB |"
    echo "|---|---|---:|---:|---:|---:|---:|"
    row tree "datemill --depth=all, tree" tree flat
    row tree "datemill, one folder (base)" flat flat
    row tree "datemill --depth=all, tree, DATEMILL_STAT_THREADS=0" tree-plain flat
    row tree "datemill, one folder, DATEMILL_STAT_THREADS=0" flat-plain flat
    row tree 'find tree \| sort \| uniq -c' find flat
    row tree "floor-value ($((floor_threads + 1)) threads), one folder" flat-value flat
    row chart "datemill, per-second mask (base)" plain plain
    row chart "the same with --chart" chart plain
    row chart "floor-value ($((floor_threads + 1)) threads), per-second mask" plain-value plain
    if [ "$big" -gt 0 ]; then
        echo
        echo "The big tree: $big files in $((big / 100)) leaf folders$big_note, medians of $big_rounds" \
            "round(s) after a warm-up; the base is the $files-file tree above."
        echo
        echo "| case | run | wall s | CPU s | wall ÷ base | CPU ÷ base | peak RSS MiB |"
        echo "|---|---|---:|---:|---:|---:|---:|"
        row big "datemill --depth=all, big tree" big tree
        row big 'find big tree \| sort \| uniq -c' big-find tree
    fi
} | tee "$work/results/tree.md"
