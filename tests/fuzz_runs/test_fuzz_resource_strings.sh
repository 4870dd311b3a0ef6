#!/usr/bin/env bash
# Bounded fuzz run of fuzz_resource_strings (see tests/fuzz/).
source "$(dirname "$0")/run_fuzzer.sh"
run_fuzzer resource_strings "${ZEDUZ_FUZZ_SECONDS:-30}" -max_len=512
