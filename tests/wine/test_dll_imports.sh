#!/usr/bin/env bash
# The plug-in DLL of each Windows flavour imports only system DLLs: the
# libraries it is built with (the C++ runtime, zlib, libjpeg-turbo) are all
# linked statically. Read from the file itself, with the flavour's objdump:
# no Wine is needed, so the 32-bit DLL is checked on machines without
# 32-bit Wine too.
set -euo pipefail
dll="$ZEDUZ_WIN_BIN_DIR/ZeduzTiff.dll"
case "${ZEDUZ_WINE_ARCH:-win32}" in
  win64) objdump=x86_64-w64-mingw32-objdump ;;
  *) objdump=i686-w64-mingw32-objdump ;;
esac
imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
echo "$dll imports: $imports"
others=$(echo "$imports" | tr ' ' '\n' | grep -vxE 'KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|MSVCRT.DLL|' || true)
if [ -n "$others" ]; then
  echo "FAIL: imports DLLs beside the system's: $others"
  exit 1
fi
echo "ok   imports only system DLLs"
