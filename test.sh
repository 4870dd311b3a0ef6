#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux unit and end-to-end tests
# (AddressSanitizer, UndefinedBehaviorSanitizer, fault injection), the bounded
# fuzz runs, and the Windows plug-in under 32-bit Wine. Ends with ctest's
# summary line.
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

echo "== Windows build (i686 mingw-w64)"
quietly cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZEDUZ_TESTS=ON
quietly cmake --build build/windows -j"$jobs"

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== Fuzz targets (clang, libFuzzer)"
  quietly env CC=clang CXX=clang++ cmake -S . -B build/fuzz -DZEDUZ_FUZZ=ON -DZEDUZ_FAULT_INJECTION=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=/usr/bin/python3
  quietly cmake --build build/fuzz -j"$jobs"
fi

echo "== Linux test build (ASan, UBSan, fault injection)"
quietly cmake -S . -B build/test -DZEDUZ_TESTS=ON -DZEDUZ_SANITIZE=ON -DZEDUZ_FAULT_INJECTION=ON \
  -DZEDUZ_WINDOWS_BUILD_DIR="$root/build/windows" -DZEDUZ_FUZZ_BUILD_DIR="$root/build/fuzz" \
  -DPython3_EXECUTABLE=/usr/bin/python3
quietly cmake --build build/test -j"$jobs"

echo "== Tests"
cd build/test
ctest -j"$jobs" --output-on-failure --timeout 900
