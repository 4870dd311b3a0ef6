#!/usr/bin/env bash
# The skip path of the 32-bit Wine tests, on any machine: with the probe
# forced to "cannot execute 32-bit programs", a 32-bit shell test and a 32-bit
# Python test each end with exit status 77 (ctest: skipped) and say why,
# before they touch Wine.
set -uo pipefail
failures=0
expect_skip() {  # expect_skip <what> <command...>
  local what=$1 out status
  shift
  out=$(ZEDUZ_WINE32=0 ZEDUZ_WINE_ARCH=win32 "$@" 2>&1)
  status=$?
  if [ "$status" -eq 77 ] && grep -q '^SKIP: this machine cannot execute 32-bit programs' <<<"$out"; then
    echo "ok   $what skipped with its reason"
  else
    echo "FAIL $what: exit status $status, output:"
    echo "$out"
    failures=$((failures + 1))
  fi
}
expect_skip "a shell test" bash "$ZEDUZ_SOURCE_DIR/tests/wine/test_dialogs.sh"
expect_skip "a Python test" python3 "$ZEDUZ_SOURCE_DIR/tests/wine/test_job_state.py"
echo "$failures failed"
[ "$failures" -eq 0 ]
