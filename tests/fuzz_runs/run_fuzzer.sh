# Runs one fuzz target of the fuzz build for a bounded time over its
# committed corpus; sourced by the test_fuzz_*.sh scripts.
#   run_fuzzer <target> <seconds> [libFuzzer options...]
# New inputs go to a scratch corpus, never into the source tree; a crash
# leaves its input in the test's working directory (fuzz-<target>-crash-*),
# where `<fuzz build>/bin/fuzz_<target> <file>` replays it.
# The seed is fixed (ZEDUZ_FUZZ_SEED, default 1) so a suite run explores the
# same way each time and a red run replays; tests/fuzz/run_long.sh explores
# with fresh seeds.
set -euo pipefail

run_fuzzer() {
  local target=$1 seconds=$2
  shift 2
  local fuzz_bin=${ZEDUZ_FUZZ_BIN_DIR:?ZEDUZ_FUZZ_BIN_DIR names the fuzz build bin directory}
  local program=$fuzz_bin/fuzz_$target
  local seeds=$ZEDUZ_SOURCE_DIR/tests/fuzz/corpus/$target
  if [ ! -x "$program" ]; then
    echo "FAIL: $program is not built (configure the fuzz build with CC=clang CXX=clang++ -DZEDUZ_FUZZ=ON)"
    return 1
  fi
  # The committed seeds run first: everything they reach must still hold.
  local scratch
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' RETURN
  mkdir -p "$scratch/corpus"
  "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -seed="${ZEDUZ_FUZZ_SEED:-1}" -artifact_prefix="$PWD/fuzz-$target-" "$@" "$scratch/corpus" "$seeds" >"$scratch/log" 2>&1 || {
    tail -n 60 "$scratch/log"
    echo "FAIL: fuzz_$target found a fault; its input is in $PWD/fuzz-$target-*"
    return 1
  }
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$scratch/log" || true
  echo "OK: fuzz_$target ran ${seconds}s without a finding"
}
