#!/usr/bin/env bash
# The settings dialog and the About box of the Windows plug-in on a virtual
# screen: controls, user gestures, registry and settings text, positions.
set -euo pipefail
source "$ZEDUZ_SOURCE_DIR/tests/wine/wine_env.sh"

key="Software\\ZeduzWineTests\\Dialogs-$$"
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
status=0
run_wine_x "$ZEDUZ_WIN_BIN_DIR/dialog_test.exe" "$(win_path "$ZEDUZ_WIN_BIN_DIR/ZeduzTiff.dll")" "$key" |
  tr -d '\r' || status=$?
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
exit "$status"
