#!/usr/bin/env bash
# The skip path of the 32-bit Wine tests, on any machine: with the probe
# forced to each of its reasons, a 32-bit shell test and a 32-bit Python test
# each end with exit status 77 (ctest: skipped) and say why, before they touch
# Wine; and the probe itself gives each reason where it applies.
set -uo pipefail
failures=0
expect_skip() {  # expect_skip <what> <reason> <command...>
  local what=$1 reason=$2 out status
  shift 2
  out=$(ZEDUZ_WINE32=0 ZEDUZ_WINE32_REASON="$reason" ZEDUZ_WINE_ARCH=win32 "$@" 2>&1)
  status=$?
  if [ "$status" -eq 77 ] && grep -qF "SKIP: $reason:" <<<"$out"; then
    echo "ok   $what skipped with its reason"
  else
    echo "FAIL $what: exit status $status, output:"
    echo "$out"
    failures=$((failures + 1))
  fi
}
for reason in "32-bit programs do not execute here" "32-bit Wine could not be installed"; do
  expect_skip "a shell test ($reason)" "$reason" bash "$ZEDUZ_SOURCE_DIR/tests/wine/test_dialogs.sh"
  expect_skip "a Python test ($reason)" "$reason" python3 "$ZEDUZ_SOURCE_DIR/tests/wine/test_job_state.py"
done

# The probe: a loader that fails stands for each missing piece.
probe=$ZEDUZ_SOURCE_DIR/tests/wine/wine32_probe.sh
expect_probe() {  # expect_probe <reason> <env...>
  local reason=$1 out
  shift
  out=$(env -u ZEDUZ_WINE32 "$@" bash "$probe")
  if [ "$out" = "$reason" ]; then
    echo "ok   the probe says: $reason"
  else
    echo "FAIL the probe said '$out', not '$reason'"
    failures=$((failures + 1))
  fi
}
expect_probe "32-bit programs do not execute here" ZEDUZ_LD_LINUX32=/bin/false
expect_probe "32-bit Wine could not be installed" ZEDUZ_LD_LINUX32=/bin/true ZEDUZ_WINE32_LOADER=/nonexistent/wine
expect_probe "" ZEDUZ_LD_LINUX32=/bin/true ZEDUZ_WINE32_LOADER=/bin/true
echo "$failures failed"
[ "$failures" -eq 0 ]
