#!/usr/bin/env bash
# Runs one fuzz target: first every input of its seed corpus (fuzz/corpus/TARGET),
# then fresh inputs for SECONDS (default 600). Inputs that reach new code are
# kept in build/fuzz/corpus/TARGET for the next run; an input that breaks a
# property is saved as build/fuzz/findings/TARGET-crash-*, and the script
# fails. Copy such an input into fuzz/corpus/TARGET once its fault is fixed.
#   bash scripts/fuzz.sh fuzz_envs 600
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$root/fuzz/corpus/$1" ]; then
  echo "usage: $0 TARGET [SECONDS]; targets: $(ls "$root/fuzz/corpus" | tr '\n' ' ')" >&2
  exit 2
fi
target=$1
seconds=${2:-600}
. "$root/scripts/deps.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target" >/dev/null

work="$root/build/fuzz/corpus/$target"
findings="$root/build/fuzz/findings"
mkdir -p "$work" "$findings"
# Quiet about each new input; the final statistics give executions and
# coverage. -timeout and the memory limit turn a hang or a blow-up into a finding.
"$root/build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -print_pcs=0 -reload=0 -artifact_prefix="$findings/$target-" "$work" "$root/fuzz/corpus/$target" 2>"$findings/$target.log" ||
  { tail -n 60 "$findings/$target.log" >&2; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|#[0-9]+ +DONE)' "$findings/$target.log" | tr '\n' ' '
grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$findings/$target.log" | tail -n 1
