#!/usr/bin/env bash
# Sets up, builds and runs the command-line host: with no input it writes a
# multi-page demo document; with input files (PNM, PNG) it writes them as one
# multi-page TIFF. All options go to the host (see: ./run.sh --help).
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(id -u)" = 0 ]; then scripts/install_packages.sh build; fi
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" >/dev/null
exec build/release/bin/zeduz-tiff "$@"
