#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (run as root).
#   install_packages.sh build   - native build and the host
#   install_packages.sh test    - everything the whole test suite needs,
#                                 the Windows cross compiler and 32-bit Wine too
#   install_packages.sh bench   - the benchmarks and the peers they time
set -euo pipefail
what=${1:-build}

export DEBIAN_FRONTEND=noninteractive
build_packages=(build-essential cmake python3 libpng-dev pkg-config libsqlite3-dev libcli11-dev libsane-dev zlib1g-dev)
test_packages=(
  clang clang-format libclang-rt-14-dev libgtest-dev libbenchmark-dev
  libtiff-dev libtiff-tools python3-pil imagemagick netpbm
  g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb x11-apps xdotool valgrind sqlite3
  sane-utils libsane1
)
bench_packages=(libbenchmark-dev libtiff-dev hyperfine netpbm imagemagick time python3-pil libdeflate-dev)

packages=("${build_packages[@]}")
if [ "$what" = test ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  packages+=("${test_packages[@]}")
elif [ "$what" = bench ]; then
  packages+=("${bench_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
