#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux unit and end-to-end tests
# (AddressSanitizer, UndefinedBehaviorSanitizer, fault injection), the bounded
# fuzz runs, and the Windows plug-in under Wine: the 32-bit DLL under 32-bit
# Wine where 32-bit Wine starts on this machine, the x86-64 DLL under
# wine64 everywhere, and the install tree, the Debian package and the
# Windows zips of Release builds. Ends with ctest's summary line.
#
# ZEDUZ_WINE32=0 skips the 32-bit Wine tests even where they could run;
# ZEDUZ_WINE32=1 runs them without probing.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
jobs=$(nproc)
if [ "$(id -u)" = 0 ]; then scripts/install_packages.sh test; fi

# Runs a build step quietly; on failure shows what it printed.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "failed: $*" >&2
    exit 1
  fi
  rm -f "$log"
}

# The 32-bit Wine tests run where 32-bit Wine itself starts. Some machines
# cannot execute 32-bit programs at all, and on some 32-bit Wine could not be
# installed (a mirror whose i386 packages lag); there they are reported as
# skipped, with the reason, and the x86-64 build carries the Windows tests.
if [ -z "${ZEDUZ_WINE32:-}" ]; then
  if ZEDUZ_WINE32_REASON=$(tests/wine/wine32_probe.sh); then ZEDUZ_WINE32=1; else ZEDUZ_WINE32=0; fi
fi
export ZEDUZ_WINE32 ZEDUZ_WINE32_REASON=${ZEDUZ_WINE32_REASON:-}
if [ "$ZEDUZ_WINE32" = 0 ]; then
  echo "== ${ZEDUZ_WINE32_REASON:-ZEDUZ_WINE32=0 skips them}: the 32-bit Wine tests are skipped; the x86-64 Windows build is tested under wine64"
fi

echo "== Formatting (clang-format)"
scripts/check_format.sh

echo "== Windows builds (i686 and x86-64 mingw-w64)"
quietly cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZEDUZ_TESTS=ON
quietly cmake --build build/windows -j"$jobs"
quietly cmake -S . -B build/windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZEDUZ_TESTS=ON
quietly cmake --build build/windows64 -j"$jobs"

echo "== Release build of the host and libraries (install tree, Debian package)"
quietly cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPython3_EXECUTABLE=/usr/bin/python3
quietly cmake --build build/package -j"$jobs"

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== Fuzz targets (clang, libFuzzer)"
  quietly env CC=clang CXX=clang++ cmake -S . -B build/fuzz -DZEDUZ_FUZZ=ON -DZEDUZ_FAULT_INJECTION=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=/usr/bin/python3
  quietly cmake --build build/fuzz -j"$jobs"
fi

echo "== Linux test build (ASan, UBSan, fault injection)"
quietly cmake -S . -B build/test -DZEDUZ_TESTS=ON -DZEDUZ_SANITIZE=ON -DZEDUZ_FAULT_INJECTION=ON \
  -DZEDUZ_WINDOWS_BUILD_DIR="$root/build/windows" -DZEDUZ_WINDOWS64_BUILD_DIR="$root/build/windows64" \
  -DZEDUZ_FUZZ_BUILD_DIR="$root/build/fuzz" -DZEDUZ_PACKAGE_BUILD_DIR="$root/build/package" \
  -DPython3_EXECUTABLE=/usr/bin/python3
quietly cmake --build build/test -j"$jobs"

echo "== Tests"
cd build/test
# ctest lists the skipped tests after its summary; the summary line is
# repeated last so that it ends the output.
status=0
ctest -j"$jobs" --output-on-failure --timeout 900 | tee ctest.log || status=$?
grep -E '^[0-9]+% tests passed' ctest.log | tail -n 1
exit "$status"
