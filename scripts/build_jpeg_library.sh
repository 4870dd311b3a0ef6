#!/usr/bin/env bash
# Builds the JPEG library of a Windows flavour of the plug-in: libjpeg-turbo
# from Debian's own source package, cross-compiled as a static library with
# the flavour's mingw-w64 toolchain, once per build folder.
#   build_jpeg_library.sh TOOLCHAIN_FILE WORK_DIR [JOBS]
# cmake/jpeg_library.cmake runs it when a Windows build folder is configured.
# It leaves WORK_DIR/install/include (jpeglib.h and the headers it includes)
# and WORK_DIR/install/lib/libjpeg.a, and does nothing while they are there
# and were built by this script from the wanted version.
#
# The version is that of Debian's libjpeg62-turbo-dev where it is installed,
# so that both platforms code with the same library (ZEDUZ_JPEG_VERSION
# names another). The source comes with `apt-get source` through a source
# list made from the machine's own apt sources (every deb entry of
# /etc/apt/sources.list and /etc/apt/sources.list.d/*.list or *.sources, as
# deb-src), in lists of its own below WORK_DIR: the system's lists and
# caches are not touched, and no host is named here. The downloaded files stay
# in WORK_DIR/download; once there they are used again (dpkg-source checks
# them against their .dsc), so a mirror caught mid-sync matters only until a
# build folder has fetched them once. When nothing can be fetched, a library
# this script built here before is used, and the build says so; without one
# the build fails, naming what is missing and where to put it.
set -euo pipefail
trap 'echo "jpeg library: error: \"$BASH_COMMAND\" failed (line $LINENO of $0)" >&2' ERR
toolchain=$1
work=$2
jobs=${3:-2}
package=libjpeg-turbo
tries=${ZEDUZ_APT_TRIES:-3}
pause=${ZEDUZ_APT_PAUSE:-5}

prefix=$work/install
download=$work/download
apt_dir=$work/apt
log=$work/build.log
mkdir -p "$work" "$download"

version=${ZEDUZ_JPEG_VERSION:-$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev 2>/dev/null || true)}
recipe="$version $(sha256sum "$0" "$toolchain" | cut -c1-16 | tr '\n' ' ')"
if [ -f "$prefix/lib/libjpeg.a" ] && [ "$(cat "$prefix/.recipe" 2>/dev/null)" = "$recipe" ]; then
  exit 0
fi

say() { echo "jpeg library: $*"; }

# The machine's deb entries as deb-src entries, in a list of our own.
write_source_list() {
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  rm -f "$apt_dir/sources.list.d/"*
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
  done >"$apt_dir/sources.list"
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas: those whose Types hold deb become deb-src only.
    awk 'function flush() { if (keep) printf "%s\n", stanza; stanza = ""; keep = 0 }
         /^[[:space:]]*$/ { flush(); next }
         tolower($0) ~ /^types:/ && $0 ~ /[[:space:]]deb([[:space:]]|$)/ { keep = 1; $0 = "Types: deb-src" }
         { stanza = stanza $0 "\n" }
         END { flush() }' "$file" >"$apt_dir/sources.list.d/$(basename "$file")"
  done
}

apt_private() {
  local -a options=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache")
  [ "$(id -u)" = 0 ] && options+=(-o APT::Sandbox::User=root)  # the download folder is ours, not _apt's
  apt-get "${options[@]}" "$@"
}

# apt's last error, in one line.
apt_reason() { grep '^E:' "$1" | tail -n1 | sed 's/^E: //' || true; }

# Fetches the source package into $download: the lists updated and the
# download tried a few times, a mirror mid-sync being the usual cause of a
# failure. With a version, that version only.
fetch_source() {
  local wanted=$1 try attempt_log
  attempt_log=$(mktemp)
  write_source_list
  for try in $(seq "$tries"); do
    if apt_private update -qq >"$attempt_log" 2>&1 &&
      (cd "$download" && apt_private source --download-only -qq "$package${wanted:+=$wanted}") >>"$attempt_log" 2>&1; then
      rm -f "$attempt_log"
      return 0
    fi
    reason=$(apt_reason "$attempt_log")
    [ "$try" -lt "$tries" ] && sleep "$pause"
  done
  rm -f "$attempt_log"
  return 1
}

# The .dsc of the version wanted (any, without one) in $download.
find_dsc() {
  local upstream=${1#*:} file found=""
  for file in "$download/${package}_${upstream}"*.dsc; do
    [ -f "$file" ] && found=$file
  done
  echo "$found"
}

# Unpacks the source package; dpkg-source checks every file against the .dsc.
# (It puts a copy of the upstream tarball beside the tree: both in $work/unpacked.)
unpack() {
  rm -rf "$work/unpacked"
  mkdir -p "$work/unpacked"
  dpkg-source -x "$1" "$work/unpacked/source" >>"$log" 2>&1
}

use_previous_or_fail() {
  if [ -f "$prefix/lib/libjpeg.a" ]; then
    say "warning: $1; using the library built here before ($(cat "$prefix/.recipe" | cut -d' ' -f1))" >&2
    exit 0
  fi
  echo "jpeg library: error: $1." >&2
  echo "jpeg library: the Windows build needs Debian's source package $package${version:+ $version}" \
    "(its .dsc and the files the .dsc lists) in $download: run the configure again once the mirror answers," \
    "or copy them there (a Windows build folder that has fetched them holds them in jpeg-library/download)." >&2
  exit 1
}

: >"$log"
reason=""
dsc=$(find_dsc "$version")
if [ -n "$dsc" ] && unpack "$dsc"; then
  say "using the source package already downloaded: $(basename "$dsc")"
else
  if [ -n "$dsc" ]; then
    say "$(basename "$dsc") and its files do not unpack (damaged or incomplete): fetching them again"
    rm -f "$download"/*
  fi
  if ! fetch_source "$version"; then
    use_previous_or_fail "apt-get source $package${version:+=$version} failed $tries times (${reason:-no reason given})"
  fi
  dsc=$(find_dsc "$version")
  [ -n "$dsc" ] || use_previous_or_fail "apt-get source left no .dsc of $package in $download"
  unpack "$dsc" || use_previous_or_fail "dpkg-source could not unpack $(basename "$dsc") ($(tail -n1 "$log"))"
fi

say "building $(basename "$dsc" .dsc) with $(basename "$toolchain" .cmake)"
rm -rf "$work/build" "$prefix.new"
{
  cmake -S "$work/unpacked/source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF &&
    cmake --build "$work/build" -j"$jobs" --target jpeg-static
} >>"$log" 2>&1 || {
  tail -n 40 "$log" >&2
  use_previous_or_fail "libjpeg-turbo did not build (the whole log: $log)"
}
mkdir -p "$prefix.new/include" "$prefix.new/lib"
cp "$work/unpacked/source/jpeglib.h" "$work/unpacked/source/jerror.h" "$work/unpacked/source/jmorecfg.h" "$work/build/jconfig.h" \
  "$prefix.new/include/"
cp "$work/build/libjpeg.a" "$prefix.new/lib/"
echo "$recipe" >"$prefix.new/.recipe"
rm -rf "$prefix"
mv "$prefix.new" "$prefix"
say "built $prefix/lib/libjpeg.a"
