#!/usr/bin/env bash
# Longer fuzz runs than the test suite's: every target (or the ones named)
# for SECONDS each (default 600), new inputs kept in a work directory, each
# finding kept as an input file beside it. Afterwards, to grow the committed
# seeds with what was found:
#   <fuzz build>/bin/fuzz_<target> -merge=1 tests/fuzz/corpus/<target> <work>/<target>
#
#   tests/fuzz/run_long.sh [-b FUZZ_BUILD_DIR] [-s SECONDS] [-w WORK_DIR] [target...]
#
# Targets: entry_commands g4_coder strip_coder jpeg_coder resource_strings. A finding of
# entry_commands is replayed step by step with
#   ZEDUZ_FUZZ_TRACE=1 <fuzz build>/bin/fuzz_entry_commands <input>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../../build/fuzz
seconds=600
work=${TMPDIR:-/tmp}/zeduz-fuzz-long
while getopts b:s:w: option; do
  case $option in
    b) build=$OPTARG ;;
    s) seconds=$OPTARG ;;
    w) work=$OPTARG ;;
    *) sed -n 2,15p "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(entry_commands g4_coder strip_coder jpeg_coder resource_strings)

declare -A options=(
  [entry_commands]="-max_len=2048 -len_control=0 -malloc_limit_mb=512"
  [g4_coder]="-max_len=4096"
  [strip_coder]="-max_len=4096"
  [jpeg_coder]="-max_len=4096"
  [resource_strings]="-max_len=512"
)

status=0
for target in "${targets[@]}"; do
  program=$build/bin/fuzz_$target
  [ -x "$program" ] || { echo "$program is not built"; exit 1; }
  mkdir -p "$work/$target" "$work/findings"
  echo "== fuzz_$target for ${seconds}s (corpus $work/$target)"
  # shellcheck disable=SC2086
  "$program" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 -fork="${FUZZ_JOBS:-1}" \
    -ignore_crashes=1 -artifact_prefix="$work/findings/$target-" ${options[$target]} \
    "$work/$target" "$here/corpus/$target" 2>&1 | grep -E '^(Done|stat::|INFO: fuzzing|#.*DONE)|crash|ERROR' || true
done
findings=$(ls "$work/findings" 2>/dev/null | wc -l)
echo "findings: $findings (in $work/findings)"
[ "$findings" = 0 ] || status=1
exit $status
