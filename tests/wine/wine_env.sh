#!/usr/bin/env bash
# The Wine runner of the Windows tests. Sourced by the test scripts:
#
#   source "$ZEDUZ_SOURCE_DIR/tests/wine/wine_env.sh"
#   run_wine program.exe args...         # console program, no display
#   run_wine_x program.exe args...       # windowed, on a private Xvfb display
#
# Executed as `wine_env.sh --print-env`, it prints the variables (NAME=value
# lines) for test scripts in other languages.
#
# ZEDUZ_WINE_ARCH picks the Windows flavour under test: win32 (the default:
# the 32-bit DLL under 32-bit Wine) or win64 (the x86-64 DLL under wine64).
# Where 32-bit Wine cannot run (the machine does not execute 32-bit programs,
# or 32-bit Wine could not be installed: wine32_probe.sh tells which), a win32
# test ends with exit status 77 (ctest shows it skipped) and says why.
# ZEDUZ_WINE32=0 or 1 overrides the probe (test.sh probes once and sets it;
# set it to 0 to try the skip path on a machine that runs 32-bit Wine).
#
# All Wine tests of one ctest run and flavour share one fresh prefix below
# the native build tree. The prefix is keyed by the run (the process that started
# the tests: ctest, or the shell of a hand-run script), so parallel tests of a
# run share it while a later run gets a new one; a lock makes sure exactly one
# test creates it while the others wait. Prefixes of finished runs are removed.
# The prefix is made quietly and offline: no first-run installers (Mono,
# Gecko), no network, no debug output.

if [ -z "${ZEDUZ_BIN_DIR:-}" ] || [ -z "${ZEDUZ_WIN_BIN_DIR:-}" ]; then
  echo "wine_env.sh: ZEDUZ_BIN_DIR and ZEDUZ_WIN_BIN_DIR must be set" >&2
  return 2 2>/dev/null || exit 2
fi

export WINEARCH="${ZEDUZ_WINE_ARCH:-win32}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

zeduz_wine_root="$(cd "$ZEDUZ_BIN_DIR/.." && pwd)/wine"
case "$WINEARCH" in
  win32)
    if ! zeduz_wine32_reason=$("$(dirname "${BASH_SOURCE[0]}")/wine32_probe.sh"); then
      echo "SKIP: $zeduz_wine32_reason: the 32-bit Wine tests are skipped; the x86-64 build is tested under wine64 instead"
      if [ "${1:-}" = "--print-env" ]; then exit 77; fi
      return 77 2>/dev/null || exit 77
    fi
    ;;
  win64)
    # Debian's `wine` prefers the 32-bit loader whenever it is installed; the
    # 64-bit flavour calls wine64 by name, through a `wine` first on PATH.
    export WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$zeduz_wine_root/bin-win64"
    if [ ! -x "$zeduz_wine_root/bin-win64/wine" ]; then
      printf '#!/bin/sh\nexec %s "$@"\n' "$WINELOADER" >"$zeduz_wine_root/bin-win64/wine.$$"
      chmod +x "$zeduz_wine_root/bin-win64/wine.$$"
      mv "$zeduz_wine_root/bin-win64/wine.$$" "$zeduz_wine_root/bin-win64/wine"
    fi
    export PATH="$zeduz_wine_root/bin-win64:$PATH"
    ;;
  *)
    echo "wine_env.sh: ZEDUZ_WINE_ARCH must be win32 or win64, not $WINEARCH" >&2
    return 2 2>/dev/null || exit 2
    ;;
esac

zeduz_wine_run_key="${ZEDUZ_WINE_RUN_KEY:-$PPID}"
export ZEDUZ_WINE_RUN_KEY="$zeduz_wine_run_key"
export WINEPREFIX="$zeduz_wine_root/prefix-$WINEARCH-$zeduz_wine_run_key"

# Removes the prefixes of runs whose starting process has ended.
zeduz_remove_stale_prefixes() {
  local prefix key
  for prefix in "$zeduz_wine_root"/prefix-*; do
    [ -d "$prefix" ] || continue
    key="${prefix##*-}"
    [ "$key" = "$zeduz_wine_run_key" ] && continue
    case "$key" in *[!0-9]*) continue ;; esac
    if ! kill -0 "$key" 2>/dev/null; then
      rm -rf "$prefix"
    fi
  done
}

zeduz_make_prefix() {
  mkdir -p "$zeduz_wine_root"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.zeduz-ready" ]; then
      zeduz_remove_stale_prefixes
      rm -rf "$WINEPREFIX"
      if ! wine wineboot -i </dev/null >"$zeduz_wine_root/wineboot.log" 2>&1; then
        echo "wine_env.sh: wineboot failed, see $zeduz_wine_root/wineboot.log" >&2
        exit 1
      fi
      wineserver -w
      touch "$WINEPREFIX/.zeduz-ready"
    fi
  ) 9>"$zeduz_wine_root/prefix-$WINEARCH.lock" || { echo "wine_env.sh: no Wine prefix" >&2; return 1; }
}

if [ "${1:-}" = "--print-env" ]; then
  zeduz_make_prefix || exit 1
  wineserver -p10 >/dev/null 2>&1 || true
  for name in WINEARCH WINEDEBUG WINEDLLOVERRIDES WINEPREFIX ZEDUZ_WINE_RUN_KEY PATH ${WINELOADER:+WINELOADER}; do
    echo "$name=${!name}"
  done
  exit 0
fi

zeduz_make_prefix || { return 1 2>/dev/null || exit 1; }
# Keeps one Wine server up for a while between the programs of a test, so
# that each program does not pay for starting Wine's services afresh.
wineserver -p10 >/dev/null 2>&1 || true

# A Windows path for an absolute Linux path: Wine's drive Z: is the root.
win_path() { local path=${1//\//\\}; echo "Z:$path"; }

# Runs a Wine program and prints its output (stdout and stderr, without
# carriage returns); returns its exit status. The output goes through a file,
# not a pipe: Wine's service processes inherit the descriptors and would keep
# a pipe, and so the caller, waiting long after the program ended.
run_wine() {
  local out status=0
  out=$(mktemp)
  wine "$@" </dev/null >"$out" 2>&1 || status=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return "$status"
}

# Starts a private Xvfb server on the first free display (Xvfb picks it and
# tells us through -displayfd, so parallel tests never race for a number);
# sets zeduz_xvfb_pid and zeduz_xvfb_display.
zeduz_start_xvfb() {
  local numbers
  numbers=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numbers" </dev/null >/dev/null 2>&1 &
  zeduz_xvfb_pid=$!
  for _ in $(seq 100); do
    zeduz_xvfb_display=$(head -n1 "$numbers")
    [ -n "$zeduz_xvfb_display" ] && break
    sleep 0.1
  done
  rm -f "$numbers"
  [ -n "$zeduz_xvfb_display" ]
}

# A program with windows, in a virtual desktop of its own on a private Xvfb
# display. The desktop of its own matters: the prefix's default desktop may
# already have been made by a program without a display, and windows could not
# be created there. The program's exit code does not come through the desktop,
# so the programs report through their output (programs/wine_check.h): this
# succeeds when the output ends its checks with "0 failed" and has no "FAIL".
run_wine_x() {
  local out ok=0
  if ! zeduz_start_xvfb; then
    echo "FAIL no Xvfb display"
    kill "$zeduz_xvfb_pid" 2>/dev/null || true
    return 1
  fi
  out=$(mktemp)
  DISPLAY=":$zeduz_xvfb_display" wine explorer "/desktop=zeduz-$$-$RANDOM,1024x768" "$@" \
    </dev/null >"$out" 2>&1 || true
  kill "$zeduz_xvfb_pid" 2>/dev/null || true
  wait "$zeduz_xvfb_pid" 2>/dev/null || true
  tr -d '\r' <"$out" | grep -v '^X connection to .* broken' >"$out.clean" || true
  cat "$out.clean"
  grep -qx '0 failed' "$out.clean" && ! grep -q '^FAIL' "$out.clean" || ok=1
  rm -f "$out" "$out.clean"
  return "$ok"
}

# `wine reg query` of the plug-in's key below HKEY_CURRENT_USER, one
# "name|type|data" line per value, sorted; nothing when the key is missing.
plugin_values() {
  run_wine reg query "HKCU\\$1\\ZEDUZ-ORID" 2>/dev/null |
    awk '/REG_/ { name=$1; for (i = 2; $i !~ /^REG_/; i++) name = name " " $i;
                  type=$i; data=""; for (j = i + 1; j <= NF; j++) data = data (j > i + 1 ? " " : "") $j;
                  print name "|" type "|" data }' | sort
}
