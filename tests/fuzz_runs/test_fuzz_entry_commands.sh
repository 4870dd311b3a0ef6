#!/usr/bin/env bash
# Bounded fuzz run of fuzz_entry_commands (see tests/fuzz/).
source "$(dirname "$0")/run_fuzzer.sh"
run_fuzzer entry_commands "${ZEDUZ_FUZZ_SECONDS:-30}" -max_len=2048 -malloc_limit_mb=512
