#!/usr/bin/env bash
# Fails, naming the files, when a C or C++ source differs from what
# clang-format (the tree's .clang-format) makes of it. Fix with
#   scripts/check_format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' sources < <(find . -path ./build -prune -o -path ./.git -prune -o \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
if [ "${1:-}" = --fix ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
unformatted=()
for source in "${sources[@]}"; do
  clang-format --dry-run --Werror "$source" >/dev/null 2>&1 || unformatted+=("${source#./}")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "not formatted (run scripts/check_format.sh --fix): ${unformatted[*]}" >&2
  exit 1
fi
