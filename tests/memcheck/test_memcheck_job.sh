#!/usr/bin/env bash
# One end-to-end job under valgrind's memcheck, with the unsanitized copy of
# the host and plug-in (bin/memcheck/): a first process writes a Group 4
# page, a 16-bit grey page with several bands and an RGB page in Motorola
# order; a second process appends a page (--append). Every run must be free
# of memcheck errors and of leaked blocks, and the file must hold the four
# pages for libtiff.
set -euo pipefail

bin=${ZEDUZ_BIN_DIR:?}/memcheck
command -v valgrind >/dev/null || { echo "FAIL: valgrind is not installed"; exit 1; }
command -v tiffinfo >/dev/null || { echo "FAIL: tiffinfo is not installed"; exit 1; }
[ -x "$bin/zeduz-tiff" ] || { echo "FAIL: $bin/zeduz-tiff is not built"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/registry" "$work/tmp"
export ZEDUZ_REGISTRY_DIR=$work/registry TMPDIR=$work/tmp
cd "$work"

# Small pages with random pixels.
{ printf 'P4\n61 40\n'; head -c $((8 * 40)) /dev/urandom; } >bilevel.pbm
{ printf 'P5\n23 17\n65535\n'; head -c $((23 * 17 * 2)) /dev/urandom; } >gray16.pgm
{ printf 'P6\n19 11\n255\n'; head -c $((19 * 11 * 3)) /dev/urandom; } >rgb.ppm
{ printf 'P5\n9 30\n255\n'; head -c $((9 * 30)) /dev/urandom; } >gray8.pgm

memcheck() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --track-origins=yes --log-file="$work/valgrind.log" \
    "$bin/zeduz-tiff" "$@" >"$work/host.log" 2>&1 || {
    local status=$?
    echo "FAIL: zeduz-tiff $* exited with $status under memcheck"
    cat "$work/host.log" "$work/valgrind.log"
    exit 1
  }
  if [ -s "$work/valgrind.log" ]; then
    echo "FAIL: memcheck reported for zeduz-tiff $*"
    cat "$work/valgrind.log"
    exit 1
  fi
}

memcheck --byte-order motorola --compression group4 --band-rows 7 -o doc.tif bilevel.pbm gray16.pgm rgb.ppm
memcheck --append --band-rows 4 -o doc.tif gray8.pgm
[ -z "$(ls -A "$work/tmp")" ] || { echo "FAIL: files left in the temp directory: $(ls -A "$work/tmp")"; exit 1; }

pages=$(tiffinfo -D doc.tif 2>"$work/tiffinfo.err" | grep -c '^TIFF Directory') || true
if [ "$pages" != 4 ] || [ -s "$work/tiffinfo.err" ]; then
  echo "FAIL: libtiff reads $pages pages"
  cat "$work/tiffinfo.err"
  exit 1
fi
echo "OK: a four-page job in two processes is clean under memcheck"
