#!/usr/bin/env bash
# The plug-in DLL as a host sees it under 32-bit Wine: exactly one export,
# ZUVadeZoduv, undecorated; only system DLLs imported; the host records read
# and written at their raw offsets; the job's registry values where
# `wine reg query` finds them; and 213 for every command when Vizazira.dll is
# not beside the plug-in.
set -euo pipefail
source "$ZEDUZ_SOURCE_DIR/tests/wine/wine_env.sh"

failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

dll="$ZEDUZ_WIN_BIN_DIR/ZeduzTiff.dll"
objdump=i686-w64-mingw32-objdump

exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' || true)
check "exactly one export, ZUVadeZoduv by its plain name" \
  test "$(echo "$exports" | awk '{print $NF}')" = "ZUVadeZoduv"
imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
check "imports only system DLLs ($imports)" \
  bash -c "! echo '$imports' | tr ' ' '\n' | grep -vxE 'KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|MSVCRT.DLL|'"
viz="$ZEDUZ_WIN_BIN_DIR/Vizazira.dll"
check "Vizazira.dll holds resources and runs no code when loaded" \
  bash -c "$objdump -h '$viz' | grep -q '\.rsrc' && $objdump -p '$viz' | grep -qE 'AddressOfEntryPoint\s+0+$'"
check "Vizazira.dll imports nothing" bash -c "! $objdump -p '$viz' | grep -q 'DLL Name:'"

work=$(mktemp -d "$(dirname "$WINEPREFIX")/raw-records.XXXXXX")
trap 'rm -rf "$work"' EXIT
key="Software\\ZeduzWineTests\\RawRecords-$$"

echo "== CmdInitialize, command numbers, CmdPreparePage"
run_wine "$ZEDUZ_WIN_BIN_DIR/raw_records.exe" "$(win_path "$dll")" "$key" initialize || failures=$((failures + 1))

echo "== the registry after CmdPreparePage, as wine reg query shows it"
values=$(plugin_values "$key")
echo "$values"
check "File Type as stored" grep -qx 'File Type|REG_DWORD|0x3039' <<<"$values"
check "Compression as stored" grep -qx 'Compression|REG_DWORD|0x1' <<<"$values"
check "ImageFormat 1024 from the last accepted page" grep -qx 'ImageFormat|REG_DWORD|0x400' <<<"$values"
check "Page Count 0 for a new file" grep -qx 'Page Count|REG_DWORD|0x0' <<<"$values"
check "Image Offset 8 for a new file" grep -qx 'Image Offset|REG_DWORD|0x8' <<<"$values"
check "nothing else" test "$(wc -l <<<"$values")" -eq 5

echo "== CmdEndJob in a new process"
run_wine "$ZEDUZ_WIN_BIN_DIR/raw_records.exe" "$(win_path "$dll")" "$key" end-job || failures=$((failures + 1))
values=$(plugin_values "$key")
echo "$values"
check "after CmdEndJob only the settings and Image Offset remain" \
  test "$(cut -d'|' -f1 <<<"$values" | tr '\n' ',')" = "Compression,File Type,Image Offset,"
wine reg delete "HKCU\\Software\\ZeduzWineTests\\RawRecords-$$" /f >/dev/null 2>&1 || true

echo "== the plug-in alone, without Vizazira.dll"
mkdir -p "$work/alone"
cp "$dll" "$work/alone/"
run_wine "$ZEDUZ_WIN_BIN_DIR/raw_records.exe" "$(win_path "$work/alone/ZeduzTiff.dll")" "$key-alone" no-resources ||
  failures=$((failures + 1))

echo "$failures script checks failed"
[ "$failures" -eq 0 ]
