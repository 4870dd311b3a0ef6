#!/usr/bin/env bash
# Screenshots of the plug-in's dialogs as Wine shows them (not a test):
#
#   ZEDUZ_BIN_DIR=build/test/bin ZEDUZ_WIN_BIN_DIR=build/windows/bin \
#     tests/wine/screenshot_dialogs.sh [output folder]
#
# writes settings.png, settings-chosen.png (Motorola and
# Group 4 picked) and
# about.png into the folder (default: dialog-screenshots).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export ZEDUZ_SOURCE_DIR="${ZEDUZ_SOURCE_DIR:-$(cd "$here/../.." && pwd)}"
# Defaults: the build trees ./test.sh makes.
export ZEDUZ_BIN_DIR="${ZEDUZ_BIN_DIR:-$ZEDUZ_SOURCE_DIR/build/test/bin}"
export ZEDUZ_WIN_BIN_DIR="${ZEDUZ_WIN_BIN_DIR:-$ZEDUZ_SOURCE_DIR/build/windows/bin}"
inside=false
if [ "${1:-}" = "--inside" ]; then inside=true; shift; fi
out="$(mkdir -p "${1:-dialog-screenshots}" && cd "${1:-dialog-screenshots}" && pwd)"
display="${DISPLAY:-}"
source "$here/wine_env.sh"  # keeps Wine off any display of the caller
if $inside; then export DISPLAY="$display"; fi
key="Software\\ZeduzWineTests\\Screenshots-$PPID"
dll="$(win_path "$ZEDUZ_WIN_BIN_DIR/ZeduzTiff.dll")"
program="$ZEDUZ_WIN_BIN_DIR/dialog_test.exe"

# One dialog: opened by the program, captured from the root window once the
# program reports its area, then released.
shoot() {  # shoot <what>
  local what=$1 ready="$work/$1.ready" done="$work/$1.done"
  rm -f "$ready" "$done"
  wine "$program" "$dll" "$key" show "$what" "$(win_path "$ready")" "$(win_path "$done")" >/dev/null 2>&1 &
  local program_pid=$! waited=0
  while [ ! -s "$ready" ] && [ "$waited" -lt 1800 ]; do sleep 0.1; waited=$((waited + 1)); done
  if [ -s "$ready" ]; then
    read -r x y width height <"$ready"
    xwd -root -silent | convert xwd:- -crop "${width}x${height}+${x}+${y}" +repage "$out/$what.png"
    echo "$out/$what.png"
  else
    echo "no $what dialog appeared" >&2
  fi
  touch "$done"
  wait "$program_pid" || true
}

if $inside; then
  work=$(mktemp -d "$(dirname "$WINEPREFIX")/screenshots.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  # No window manager runs on the virtual display: Wine draws the frames and
  # captions itself, as Windows does.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  shoot settings
  shoot settings-chosen
  shoot about
  wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
else
  # The same script again, inside a virtual display of its own.
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside "$out"
fi
