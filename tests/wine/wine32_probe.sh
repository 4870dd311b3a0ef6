#!/usr/bin/env bash
# Whether 32-bit Wine can run here. Exits 0 when it can; otherwise prints the
# reason in one line and exits 1:
#   "32-bit programs do not execute here"  (the 32-bit Linux loader fails)
#   "32-bit Wine could not be installed"   (its loader is missing or fails)
#   "ZEDUZ_WINE32=0 skips them"            (skipped on purpose)
# ZEDUZ_WINE32=1 answers yes without probing; ZEDUZ_WINE32=0 with
# ZEDUZ_WINE32_REASON set (test.sh sets both) gives that reason.
case "${ZEDUZ_WINE32:-}" in
  1) exit 0 ;;
  0)
    echo "${ZEDUZ_WINE32_REASON:-ZEDUZ_WINE32=0 skips them}"
    exit 1
    ;;
esac
if ! "${ZEDUZ_LD_LINUX32:-/lib/ld-linux.so.2}" --version >/dev/null 2>&1; then
  echo "32-bit programs do not execute here"
  exit 1
fi
if ! "${ZEDUZ_WINE32_LOADER:-/usr/lib/wine/wine}" --version >/dev/null 2>&1; then
  echo "32-bit Wine could not be installed"
  exit 1
fi
exit 0
