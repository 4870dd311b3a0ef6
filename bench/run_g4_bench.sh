#!/bin/bash
# Builds the Group 4 and Group 3 benchmark (Release, no sanitizers) and
# prints our throughput against libtiff's per coding and page.
# Usage: run_g4_bench.sh [build dir]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/bench}
cmake -S "$source_dir" -B "$build_dir" -DZEDUZ_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target g4_bench >/dev/null
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build_dir/bin/g4_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json
/usr/bin/python3 - "$json" <<'PY'
import json, sys
rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    coder, coding, page = b["run_name"].split("/", 2)
    rows.setdefault((coding, page), {})[coder] = b["bytes_per_second"] / 1e6
print(f"\n{'coding':<8}{'page':<14}{'ours MB/s':>12}{'libtiff MB/s':>14}{'ratio':>8}")
for (coding, page), r in rows.items():
    print(f"{coding:<8}{page:<14}{r['ours']:>12.1f}{r['libtiff']:>14.1f}{r['ours'] / r['libtiff']:>8.2f}")
PY
