#!/usr/bin/env bash
# Bounded fuzz run of fuzz_chain_reader (see tests/fuzz/).
source "$(dirname "$0")/run_fuzzer.sh"
run_fuzzer chain_reader "${ZEDUZ_FUZZ_SECONDS:-30}" -max_len=4096
