#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (run as root).
#   install_packages.sh build   - native build and the host
#   install_packages.sh test    - everything the whole test suite needs,
#                                 the Windows cross compilers and Wine too
#   install_packages.sh bench   - the benchmarks and the peers they time
#   install_packages.sh package - the build and what makes and checks the
#                                 Debian package (cpack -G DEB, lintian)
#
# A package mirror may be caught mid-sync: then `apt-get update` fails on one
# index and, for a while, the i386 packages lag the amd64 ones. So the update
# is retried and, if an index still fails, the lists it left are used; the
# packages install in groups, so that a group that cannot be resolved never
# blocks the others. 32-bit Wine and lintian are the optional groups: where
# one cannot be installed, one line says so and the tests that need it are
# skipped (the 32-bit Wine tests; the package's lintian check). Any other
# package that cannot be installed fails the run, naming it.
set -euo pipefail
what=${1:-build}
update_tries=${ZEDUZ_APT_UPDATE_TRIES:-3}
update_pause=${ZEDUZ_APT_UPDATE_PAUSE:-5}

export DEBIAN_FRONTEND=noninteractive

# Each group is one apt-get install; the names are the groups' own.
declare -A groups=(
  [build]="build-essential cmake python3 libpng-dev pkg-config libsqlite3-dev libcli11-dev libsane-dev zlib1g-dev libjpeg62-turbo-dev"
  [test-tools]="clang clang-format libclang-rt-14-dev libgtest-dev libbenchmark-dev valgrind sqlite3"
  [test-readers]="libtiff-dev libtiff-tools python3-pil imagemagick netpbm"
  [test-scanner]="sane-utils libsane1"
  [mingw-i686]="g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev"
  [mingw-x86-64]="g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64"
  [wine64]="wine wine64 xvfb x11-apps xdotool"
  [wine32]="wine32:i386"
  [bench]="libbenchmark-dev libtiff-dev hyperfine netpbm imagemagick time python3-pil libdeflate-dev"
  [package]="file dpkg-dev groff-base bash-completion"
  [lintian]="lintian"
)
# The optional groups and what their absence costs.
declare -A optional_groups=(
  [wine32]="32-bit Wine could not be installed (%s); the 32-bit Wine tests will be skipped"
  [lintian]="lintian could not be installed (%s); the package's lintian check will be skipped"
)

case "$what" in
  build) order=(build) ;;
  test) order=(build test-tools test-readers test-scanner package mingw-i686 mingw-x86-64 wine64 wine32 lintian) ;;
  bench) order=(build bench) ;;
  package) order=(build package lintian) ;;
  *)
    echo "install_packages.sh: build, test, bench or package, not '$what'" >&2
    exit 2
    ;;
esac

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The packages of a group that are not installed yet.
missing_of() {
  local package
  for package in $1; do
    is_installed "$package" || echo "$package"
  done
}

# apt's error of a log (the first, or with "last" the last one) in one
# line, without the mirror's address.
apt_reason() {
  grep '^E:' "$1" | { if [ "${2:-}" = last ]; then tail -n1; else head -n1; fi; } |
    sed 's/^E: //; s#http[^ ]*  *##; s# \[IP: [^]]*\]##' || true
}

# apt-get update, tried a few times. An index that still fails to download
# leaves the lists apt had (or ignores that index): go on with them, and let
# the installs say whether they suffice.
updated=0
update_lists() {
  [ "$updated" = 1 ] && return 0
  updated=1
  local try log
  log=$(mktemp)
  for try in $(seq "$update_tries"); do
    if apt-get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    [ "$try" -lt "$update_tries" ] && sleep "$update_pause"
  done
  echo "apt-get update failed $update_tries times ($(apt_reason "$log")); going on with the package lists it left"
  rm -f "$log"
}

# Installs one group; on failure, tries its packages one by one so that the
# message names the ones that cannot be installed ("package: apt's reason",
# left in `failed`).
failed=()
install_group() {
  local name=$1 log package
  local -a missing
  failed=()
  mapfile -t missing < <(missing_of "${groups[$name]}")
  [ ${#missing[@]} -eq 0 ] && return 0
  update_lists
  echo "Installing ($name): ${missing[*]}"
  log=$(mktemp)
  if apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  for package in "${missing[@]}"; do
    if ! apt-get install -y -qq --no-install-recommends "$package" >"$log" 2>&1; then
      failed+=("$package: $(apt_reason "$log" last)")
    fi
  done
  rm -f "$log"
  [ ${#failed[@]} -eq 0 ]
}

if [ "$what" = test ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
fi

failed_groups=()
for name in "${order[@]}"; do
  install_group "$name" && continue
  if [ -n "${optional_groups[$name]:-}" ]; then
    # shellcheck disable=SC2059 # the group's own message
    printf "${optional_groups[$name]}\n" "${failed[*]}"
  else
    printf 'Could not install %s\n' "${failed[@]}" >&2
    failed_groups+=("$name")
  fi
done
if [ ${#failed_groups[@]} -gt 0 ]; then
  echo "install_packages.sh: the groups ${failed_groups[*]} could not be installed" >&2
  exit 1
fi
