#!/usr/bin/env bash
# Times datemill against the floors (floor.c: only the system calls the job
# needs; floor-value.c: the same calls made the cheapest way known, counting
# date values on every core) and a find | sort | uniq -c pipeline, on
# generated folders, in alternation with a warm cache; checks that all of
# them count the same.
# With --windows: Datemill.exe against floor-win.c under Wine instead.
# The photos spread (--spreads photos) times --date=t against floor-taken.c.
# See README.md beside this file.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

sizes=${BENCH_SIZES:-100000,1000000}
spreads=${BENCH_SPREADS:-days,seconds}
rounds=${BENCH_ROUNDS:-5}
seed=${BENCH_SEED:-1}
work=${BENCH_DIR:-/tmp/datemill-bench}
windows=0
cold=0
realtime=${BENCH_REALTIME:-0}
# the helper threads of floor --threads and floor-value: as many as datemill
# starts by default (one fewer than the cores, 1 to 8)
cores=$(nproc)
floor_threads=${BENCH_FLOOR_THREADS:-$((cores <= 2 ? 1 : cores > 9 ? 8 : cores - 1))}
export TZ=${BENCH_TZ:-Europe/Berlin} LC_ALL=C

usage() {
    cat <<EOF
usage: bench/run.sh [--sizes N,N...] [--spreads days,seconds] [--rounds R]
                    [--dir SCRATCH] [--windows] [--cold]
  --sizes     files per folder (default $sizes)
  --spreads   days: times over 3,650 days, default mask;
              seconds: every file its own second, mask yyyymmddhhiiss;
              photos (not by default, Linux only): small JPEGs with an
              Exif date, counted by the date taken (--date=t); each file
              takes a disk block, so sizes of 100000 suit it best
  --rounds    measured rounds after one warm-up (default $rounds)
  --dir       scratch folder for tools, data and reports (default $work);
              generated data is kept there and reused
  --windows   compare build/windows/Datemill.exe with floor-win under Wine
  --cold      drop the page cache before every run (needs root and a
              writable /proc/sys/vm/drop_caches; skipped with a message
              otherwise)
  --realtime  run every timed tool under chrt -f 50 (needs root): on a
              machine busy with other work the timed threads take the
              cores first, close to a quiet machine
Also from the environment: BENCH_SIZES BENCH_SPREADS BENCH_ROUNDS BENCH_DIR
BENCH_SEED BENCH_TZ (default Europe/Berlin), BENCH_REALTIME=1, BENCH_FLOOR_THREADS (default
$floor_threads), DATEMILL (native binary), DATEMILL_EXE, WINE, BENCH_WINEPREFIX.
EOF
}

die() { echo "run.sh: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
    case $1 in
        --sizes) sizes=${2:?--sizes needs a value}; shift ;;
        --sizes=*) sizes=${1#*=} ;;
        --spreads) spreads=${2:?--spreads needs a value}; shift ;;
        --spreads=*) spreads=${1#*=} ;;
        --rounds) rounds=${2:?--rounds needs a value}; shift ;;
        --rounds=*) rounds=${1#*=} ;;
        --dir) work=${2:?--dir needs a value}; shift ;;
        --dir=*) work=${1#*=} ;;
        --windows) windows=1 ;;
        --cold) cold=1 ;;
        --realtime) realtime=1 ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
    shift
done

[[ $rounds =~ ^[1-9][0-9]*$ ]] || die "bad --rounds '$rounds'"
[[ $sizes =~ ^[1-9][0-9]*(,[1-9][0-9]*)*$ ]] || die "bad --sizes '$sizes'"
[[ $spreads =~ ^(days|seconds|photos)(,(days|seconds|photos))*$ ]] || die "bad --spreads '$spreads'"
IFS=, read -r -a size_list <<< "$sizes"
IFS=, read -r -a spread_list <<< "$spreads"
[[ $windows = 0 || ,$spreads, != *,photos,* ]] || die "the photos spread is for Linux only"

mkdir -p "$work"
work=$(cd "$work" && pwd)
bin=$work/bin
mkdir -p "$bin"

# ---- tools -----------------------------------------------------------------
if ! /usr/bin/time -f %e true >/dev/null 2>&1; then
    echo "installing GNU time" >&2
    apt-get install -y time >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y time >/dev/null; } ||
        die "needs GNU time at /usr/bin/time (package 'time')"
fi
cc -O2 -o "$bin/gen" "$here/gen.c"

if [ "$windows" = 0 ]; then
    cc -O2 -pthread -o "$bin/floor" "$here/floor.c"
    cc -O2 -pthread -o "$bin/floor-value" "$here/floor-value.c"
    cc -O2 -o "$bin/floor-taken" "$here/floor-taken.c"
    datemill=${DATEMILL:-$root/build/native/datemill}
    if [ ! -x "$datemill" ]; then
        echo "building datemill" >&2
        (cd "$root" && cmake --workflow --preset native >&2)
    fi
    [ -x "$datemill" ] || die "no datemill at $datemill"
    datemill=$(cd "$(dirname "$datemill")" && pwd)/$(basename "$datemill")
    # datemill-plain: the same program without its stat threads;
    # floor-threads: the floor with its statx calls on helper threads too;
    # floor-value: the hardest yardstick, the first ratios are against it;
    # the ratios against the floor stay beside them, as in earlier tables;
    # datemill-json: the same counting written as a json report
    tools=(datemill datemill-json datemill-plain floor floor-threads floor-value find)
    reference=floor hardest=floor-value
    # photos: by the date taken, against the one-thread floor that opens
    # and reads each file too
    photo_tools=(datemill datemill-plain floor-taken)
else
    x86_64-w64-mingw32-gcc-posix -O2 -static -municode -o "$bin/floor-win.exe" "$here/floor-win.c"
    cc -O2 -pthread -o "$bin/floor" "$here/floor.c"   # to cross-check Wine's local time
    exe=${DATEMILL_EXE:-$root/build/windows/Datemill.exe}
    if [ ! -f "$exe" ]; then
        echo "building Datemill.exe" >&2
        (cd "$root" && cmake --workflow --preset windows >&2) || die "no Datemill.exe at $exe"
    fi
    exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
    wine=${WINE:-/usr/lib/wine/wine64}
    wineserver=$(dirname "$wine")/wineserver
    export WINEPREFIX=${BENCH_WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all
    unset DISPLAY
    mkdir -p "$WINEPREFIX"
    tools=(datemill-exe floor-win wine-start)
    reference=floor-win hardest=
fi

# ---- data ------------------------------------------------------------------
gen_sum=$(cksum < "$here/gen.c" | cut -d' ' -f1)
generated=0
for spread in "${spread_list[@]}"; do
    for n in "${size_list[@]}"; do
        data=$work/data/$spread-$n
        want="gen $gen_sum $n $spread $seed"
        if [ -d "$data" ] && [ "$(cat "$data.ok" 2>/dev/null)" = "$want" ]; then
            continue
        fi
        echo "generating $n files ($spread) in $data" >&2
        rm -rf "$data" "$data.ok"
        mkdir -p "$work/data"
        "$bin/gen" "$data" "$n" "$spread" "$seed"
        echo "$want" > "$data.ok"
        generated=1
    done
done
mkdir -p "$work/data/empty"
[ "$generated" = 0 ] || sync   # keep write-back out of the timings

# ---- Wine ------------------------------------------------------------------
server_pid=
if [ "$windows" = 1 ]; then
    # keep one wineserver up for the whole run, so no run pays its start
    "$wineserver" -p </dev/null >/dev/null 2>&1
    trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true' EXIT
    "$wine" wineboot </dev/null >/dev/null 2>&1
    # the server sits in a folder named after the prefix's device and inode
    sdir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    for p in /proc/[0-9]*; do
        case $(readlink "$p/cwd" 2>/dev/null) in
            */"$sdir") server_pid=${p#/proc/}; break ;;
        esac
    done
    [ -n "$server_pid" ] || die "cannot find the wineserver of $WINEPREFIX"
    wpath() { printf 'Z:%s' "${1//\//\\}"; }
fi
ticks=$(getconf CLK_TCK)
server_ticks() {
    local f
    if [ -n "$server_pid" ] && read -r -a f < "/proc/$server_pid/stat"; then
        echo $((f[13] + f[14]))
    else
        echo 0
    fi
}

# ---- cold cache ------------------------------------------------------------
if [ "$cold" = 1 ]; then
    if [ "$windows" = 1 ]; then
        echo "run.sh: --cold is for the Linux tools only; measuring warm" >&2
        cold=0
    elif ! { sync && echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null; then
        echo "run.sh: cannot drop the page cache here (needs root and a writable" \
             "/proc/sys/vm/drop_caches); measuring warm instead" >&2
        cold=0
    fi
fi
# drop_caches: before each measured run when --cold holds
drop_caches() {
    [ "$cold" = 1 ] || return 0
    sync
    echo 3 > /proc/sys/vm/drop_caches
}

# ---- real-time priority ----------------------------------------------------
rt=()
if [ "$realtime" = 1 ]; then
    chrt -f 50 true 2>/dev/null || die "--realtime: chrt -f 50 is refused here (needs root)"
    rt=(chrt -f 50)
fi

# ---- measuring -------------------------------------------------------------
# measure OUT LOG CMD...: run CMD with stdout to OUT, append to LOG
# "wall_s cpu_s peak_rss_kib server_cpu_s"
measure() {
    local out=$1 log=$2 u s m t0 t1 s0 s1
    shift 2
    drop_caches
    s0=$(server_ticks)
    t0=$EPOCHREALTIME
    "${rt[@]}" /usr/bin/time -f '%U %S %M' -o "$work/time.tmp" "$@" > "$out" ||
        die "failed: $*"
    t1=$EPOCHREALTIME
    s1=$(server_ticks)
    read -r u s m < "$work/time.tmp"
    awk -v a="$t0" -v b="$t1" -v u="$u" -v s="$s" -v m="$m" -v k=$((s1 - s0)) -v hz="$ticks" \
        'BEGIN { printf "%.4f %.2f %d %.2f\n", b - a, u + s, m, k / hz }' >> "$log"
}

run_tool() {   # run_tool TOOL LOG, in the case's output folder
    case $1 in
        datemill)
            measure /dev/null "$2" "$datemill" "$date_arg" "${fmt_arg[@]}" "$data"
            cp "$name.txt" datemill-threads.txt ;;   # checked beside the plain way's report
        datemill-json)
            measure /dev/null "$2" "$datemill" --format=json "$date_arg" "${fmt_arg[@]}" "$data" ;;
        datemill-plain)
            measure /dev/null "$2" env DATEMILL_STAT_THREADS=0 "$datemill" "$date_arg" "${fmt_arg[@]}" "$data" ;;
        floor-threads)
            measure floor-threads.txt "$2" "$bin/floor" --threads "$floor_threads" "$data" "$mask" ;;
        floor) measure floor.txt "$2" "$bin/floor" "$data" "$mask" ;;
        floor-value)
            measure floor-value.txt "$2" "$bin/floor-value" --threads "$floor_threads" "$data" "$mask" ;;
        floor-taken) measure floor-taken.txt "$2" "$bin/floor-taken" "$data" "$mask" ;;
        find) measure find.txt "$2" bash -c "$pipeline" find "$data" "$find_fmt" ;;
        datemill-exe) measure /dev/null "$2" "$wine" "$exe" /date=m "${wfmt_arg[@]}" "$(wpath "$data")" ;;
        floor-win) measure floor-win.txt "$2" "$wine" "$bin/floor-win.exe" "$(wpath "$data")" "$mask" ;;
        wine-start) measure /dev/null "$2" "$wine" "$bin/floor-win.exe" "$(wpath "$work/data/empty")" ;;
    esac
}

# check: every tool's counts, normalised to sorted "text count" lines, agree
check() {
    local report=$name.txt sum crlf lines t
    sum=$(awk '{ s += $2 } END { print s + 0 }' "$ref.txt")
    [ "$sum" = "$n" ] || die "$name: $ref counted $sum files, expected $n"
    if [ "$spread" = photos ]; then
        :   # no second tool reads the taken dates
    elif [ "$windows" = 0 ]; then
        awk '{ print $2, $1 }' find.txt > find.norm
        cmp -s floor.txt find.norm || die "$name: floor and find differ (see $PWD)"
        cmp -s floor.txt floor-threads.txt || die "$name: floor and floor --threads differ (see $PWD)"
        cmp -s floor.txt floor-value.txt || die "$name: floor and floor-value differ (see $PWD)"
    else
        tr -d '\r' < floor-win.txt > floor-win.norm && mv floor-win.norm floor-win.txt
        "$bin/floor" "$data" "$mask" > floor-linux.txt
        cmp -s floor-win.txt floor-linux.txt ||
            echo "warning: $name: Wine's local time differs from glibc's (see $PWD)" >&2
    fi
    [ -f "$report" ] || die "$name: datemill wrote no $report in $PWD"
    lines=$(wc -l < "$report")
    crlf=$(grep -c $'\r$' "$report" || true)
    [ "$lines" = "$crlf" ] || echo "warning: $name: $((lines - crlf)) report lines lack CR LF" >&2
    tr -d '\r' < "$report" > datemill.norm
    cmp -s datemill.norm "$ref.txt" || die "$name: datemill and $ref differ (see $PWD)"
    if [ -f datemill-threads.txt ]; then
        cmp -s datemill-threads.txt "$report" || die "$name: datemill with and without stat threads differ (see $PWD)"
    fi
}

platform=$([ "$windows" = 1 ] && echo windows || echo linux)
[ "$cold" = 0 ] || platform=$platform-cold
results=$work/results/$platform
rm -rf "$results"
mkdir -p "$results"
# for_spread SPREAD: the mask, switches, tools and reference of a spread
for_spread() {
    spread=$1 date_arg=--date=m
    run_tools=("${tools[@]}") ref=$reference hard=$hardest
    if [ "$spread" = photos ]; then
        date_arg=--date=t run_tools=("${photo_tools[@]}") ref=floor-taken hard=
    fi
    if [ "$spread" != seconds ]; then
        mask=yyyy-mm-dd fmt_arg=() wfmt_arg=()
        find_fmt='%TY-%Tm-%Td\n'
        pipeline='find "$1" -maxdepth 1 -type f -printf "$2" | sort | uniq -c'
    else
        mask=yyyymmddhhiiss fmt_arg=(--fmt=$mask) wfmt_arg=(/fmt=$mask)
        find_fmt='%TY%Tm%Td%TH%TM%TS\n'   # %TS has a fraction: cut it off
        pipeline='find "$1" -maxdepth 1 -type f -printf "$2" | cut -d. -f1 | sort | uniq -c'
    fi
}
for spread in "${spread_list[@]}"; do
    for_spread "$spread"
    for n in "${size_list[@]}"; do
        name=$spread-$n data=$work/data/$name
        mkdir -p "$work/out/$platform/$name"
        cd "$work/out/$platform/$name"
        rm -f ./*.txt
        echo "timing $name: warm-up" >&2
        for t in "${run_tools[@]}"; do run_tool "$t" /dev/null; done
        check
        for ((r = 1; r <= rounds; r++)); do
            echo "timing $name: round $r/$rounds" >&2
            for t in "${run_tools[@]}"; do run_tool "$t" "$results/$name.$t"; done
        done
    done
done

# ---- report ----------------------------------------------------------------
median() {   # median LOG FIELD
    awk -v k="$2" '{ print $k }' "$1" | sort -g |
        awk '{ a[NR] = $1 } END { print NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
label() {
    case $1 in
        find) echo 'find \| sort \| uniq -c' ;;
        datemill-exe) echo 'Datemill.exe' ;;
        datemill-plain) echo 'datemill, DATEMILL_STAT_THREADS=0' ;;
        datemill-json) echo 'datemill --format=json' ;;
        floor-threads) echo "floor --threads $floor_threads" ;;
        floor-value) echo "floor-value ($((floor_threads + 1)) threads)" ;;
        wine-start) echo 'floor-win, empty folder' ;;
        *) echo "$1" ;;
    esac
}
per_file() {   # per_file TOOL WALL N: µs per listed file
    [ "$1" = wine-start ] && { echo -; return; }
    awk -v w="$2" -v n="$3" 'BEGIN { printf "%.2f", w * 1e6 / n }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

{
    echo "### $platform: medians of $rounds round(s) after a warm-up, TZ=$TZ$([ "$cold" = 1 ] && echo ', page cache dropped before every run')$([ "$realtime" = 1 ] && echo ', tools at real-time priority (chrt -f 50)')"
    echo
    echo "$(uname -sr), $(nproc) cores, $(df --output=fstype "$work/data" | tail -n 1) file system"
    echo
    if [ "$windows" = 1 ]; then
        echo "| data | files | tool | wall s | CPU s | wineserver CPU s | wall ÷ floor | CPU ÷ floor | µs/file | peak RSS MiB |"
        echo "|---|---:|---|---:|---:|---:|---:|---:|---:|---:|"
    else
        echo "| data | files | tool | wall s | CPU s | wall ÷ floor-value | CPU ÷ floor-value | wall ÷ floor | CPU ÷ floor | µs/file | peak RSS MiB |"
        echo "|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|"
    fi
    for spread in "${spread_list[@]}"; do
        for_spread "$spread"
        for n in "${size_list[@]}"; do
            fw=$(median "$results/$spread-$n.$ref" 1)
            fc=$(median "$results/$spread-$n.$ref" 2)
            hw=0 hc=0
            if [ -n "$hard" ]; then
                hw=$(median "$results/$spread-$n.$hard" 1)
                hc=$(median "$results/$spread-$n.$hard" 2)
            fi
            for t in "${run_tools[@]}"; do
                log=$results/$spread-$n.$t
                w=$(median "$log" 1) c=$(median "$log" 2) m=$(median "$log" 3)
                sc=$([ "$windows" = 1 ] && echo " $(median "$log" 4) |" || true)
                # the ratios against floor-value first (Linux; "-" where it
                # does not run), then against the floor of earlier tables
                hr=$([ "$windows" = 1 ] || echo " $(ratio "$w" "$hw") | $(ratio "$c" "$hc") |")
                printf '| %s | %s | %s | %.3f | %.2f |%s%s %s | %s | %s | %.1f |\n' \
                    "$spread" "$n" "$(label "$t")" "$w" "$c" "$sc" "$hr" "$(ratio "$w" "$fw")" \
                    "$(ratio "$c" "$fc")" "$(per_file "$t" "$w" "$n")" \
                    "$(awk -v m="$m" 'BEGIN { print m / 1024 }')"
            done
        done
    done
    if [ "${#size_list[@]}" -gt 1 ]; then
        small=${size_list[0]} big=${size_list[${#size_list[@]} - 1]}
        echo
        echo "Cost growth from $small to $big files (×$(ratio "$big" "$small") files; linear = the same factor):"
        echo
        echo "| data | tool | × wall | × CPU |"
        echo "|---|---|---:|---:|"
        for spread in "${spread_list[@]}"; do
            for_spread "$spread"
            for t in "${run_tools[@]}"; do
                [ "$t" = wine-start ] && continue
                a=$results/$spread-$small.$t b=$results/$spread-$big.$t
                printf '| %s | %s | %s | %s |\n' "$spread" "$(label "$t")" \
                    "$(ratio "$(median "$b" 1)" "$(median "$a" 1)")" \
                    "$(ratio "$(median "$b" 2)" "$(median "$a" 2)")"
            done
        done
    fi
} | tee "$work/results/$platform.md"

# ---- tree and chart cases (tree.sh, same scratch folder) --------------------
# BENCH_TREE=0 leaves them out; they use the largest size of this run.
if [ "$windows" = 0 ] && [ "${BENCH_TREE:-1}" = 1 ]; then
    BENCH_DIR=$work BENCH_ROUNDS=$rounds BENCH_SEED=$seed BENCH_TZ=$TZ DATEMILL=$datemill BENCH_REALTIME=$realtime \
        BENCH_TREE_FILES=${size_list[${#size_list[@]} - 1]} "$here/tree.sh"
fi
