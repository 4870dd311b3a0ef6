#!/usr/bin/env bash
# Bounded fuzz run of fuzz_jpeg_coder (see tests/fuzz/).
source "$(dirname "$0")/run_fuzzer.sh"
run_fuzzer jpeg_coder "${ZEDUZ_FUZZ_SECONDS:-30}" -max_len=4096
