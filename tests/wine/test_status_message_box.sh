#!/usr/bin/env bash
# The message box of a failing status, as it appears on a (virtual) screen:
# text, caption and owner read from the window by the test program.
set -euo pipefail
source "$ZEDUZ_SOURCE_DIR/tests/wine/wine_env.sh"

work=$(mktemp -d "$(dirname "$WINEPREFIX")/message-box.XXXXXX")
trap 'rm -rf "$work"' EXIT
key="Software\\ZeduzWineTests\\MessageBox-$$"
missing="$(win_path "$work")\\no-such-directory"

status=0
run_wine_x "$ZEDUZ_WIN_BIN_DIR/status_message_box.exe" "$(win_path "$ZEDUZ_WIN_BIN_DIR/ZeduzTiff.dll")" \
  "$key" "$missing" "$(win_path "$work")" || status=$?
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
if [ -e "$work/no-such-directory" ]; then
  echo "FAIL the failed page created the missing directory"
  status=1
fi
exit "$status"
