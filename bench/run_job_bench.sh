#!/bin/bash
# Whole jobs of the command-line host against the usual converters, on the
# pages users scan: an A4 text page with Group 4 and A4 RGB photo pages
# (300 dpi, ten of them into one file, 600 dpi), timed side by side in one
# hyperfine run each; then the peak memory of the 600 dpi page and of a page
# twice as tall. Every output is checked pixel for pixel against the peer's
# and the source before it is timed. Prints one table.
#
# Usage: run_job_bench.sh [build dir]    (default build/bench)
# ZEDUZ_BENCH_RUNS sets the timed runs per command (default 5).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/bench}
runs=${ZEDUZ_BENCH_RUNS:-5}
convert=/usr/bin/convert  # ImageMagick's own, not a look-alike earlier on PATH

source "$source_dir/bench/bench_setup.sh"
bench_setup job-bench pnmtotiff "$convert" /usr/bin/time

say "generating pages"
"$make_pages" text 2480 3508 "$pages/text.pbm"
page_list=()
for seed in 1 2 3 4 5 6 7 8 9 10; do
  "$make_pages" photo 2480 3508 "$seed" "$pages/p$seed.ppm"
  page_list+=("$pages/p$seed.ppm")
done
"$make_pages" photo 4960 7016 1 "$pages/rgb600.ppm"
"$make_pages" photo 4960 14032 1 "$pages/rgb600tall.ppm"

ours=$out/ours.tif peer=$out/peer.tif

# Decodes both outputs and the sources and refuses to go on unless every
# page's pixels agree.
verify() {
  /usr/bin/python3 - "$ours" "$peer" "$@" <<'PY'
import sys
from PIL import Image, ImageSequence
Image.MAX_IMAGE_PIXELS = None
ours, peer, sources = sys.argv[1], sys.argv[2], sys.argv[3:]
def frames(path):
    with Image.open(path) as image:
        return [(f.mode, f.size, f.tobytes()) for f in ImageSequence.Iterator(image)]
a, b = frames(ours), frames(peer)
want = []
for path in sources:
    want += frames(path)
for name, got in (("ours", a), ("peer", b)):
    if len(got) != len(want):
        sys.exit(f"{name}: {len(got)} pages, want {len(want)}")
    for i, (page, source) in enumerate(zip(got, want)):
        if page != source:
            sys.exit(f"{name}: page {i + 1} differs from {sources[min(i, len(sources) - 1)]} "
                     f"({page[0]} {page[1]} vs {source[0]} {source[1]})")
PY
}

# job NAME "OUR COMMAND" "PEER COMMAND" SOURCES...: one output of each,
# checked, then both timed in one hyperfine run.
job() {
  local name=$1 our_command=$2 peer_command=$3
  shift 3
  say "$name"
  rm -f "$ours" "$peer"
  bash -c "$our_command"
  bash -c "$peer_command"
  verify "$@" || { echo "$name: outputs differ, not timed" >&2; exit 1; }
  hyperfine --style none --shell bash --warmup 1 --runs "$runs" \
    --prepare "rm -f '$ours' '$peer'" \
    --export-json "$work/time-$(( ++job_number )).json" \
    -n "$name|ours" "$our_command" -n "$name|peer" "$peer_command" >/dev/null
}
job_number=0

job "G4 text page A4 300 dpi (pnmtotiff -g4)" \
  "'$host' --quiet -o '$ours' --group4 '$pages/text.pbm'" \
  "pnmtotiff -g4 '$pages/text.pbm' > '$peer' 2>/dev/null" "$pages/text.pbm"
job "RGB A4 300 dpi (pnmtotiff -none)" \
  "'$host' --quiet -o '$ours' '$pages/p1.ppm'" \
  "pnmtotiff -none '$pages/p1.ppm' > '$peer' 2>/dev/null" "$pages/p1.ppm"
job "10 RGB A4 pages into one file (convert)" \
  "'$host' --quiet -o '$ours' ${page_list[*]}" \
  "'$convert' ${page_list[*]} -compress none '$peer'" "${page_list[@]}"
job "RGB A4 600 dpi (pnmtotiff -none)" \
  "'$host' --quiet --dpi 600 -o '$ours' '$pages/rgb600.ppm'" \
  "pnmtotiff -none '$pages/rgb600.ppm' > '$peer' 2>/dev/null" "$pages/rgb600.ppm"

# Peak memory (max RSS) in KiB of one run: peak_kib STDOUT_FILE COMMAND...
peak_kib() {
  local stdout_file=$1
  shift
  /usr/bin/time -v -o "$work/rss" "$@" > "$stdout_file" 2>/dev/null || return 1
  sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/rss"
}
memory() {
  local name=$1 page=$2 our_kib peer_kib
  say "memory: $name"
  rm -f "$ours" "$peer"
  our_kib=$(peak_kib /dev/null "$host" --quiet --dpi 600 -o "$ours" "$page")
  peer_kib=$(peak_kib "$peer" pnmtotiff -none "$page")
  verify "$page" || { echo "$name: outputs differ" >&2; exit 1; }
  echo "$name|$our_kib|$peer_kib" >> "$work/memory"
}
memory "RGB A4 600 dpi, 4960x7016 (pnmtotiff)" "$pages/rgb600.ppm"
memory "RGB 600 dpi twice as tall, 4960x14032 (pnmtotiff)" "$pages/rgb600tall.ppm"

/usr/bin/python3 - "$work" <<'PY'
import glob, json, os, sys
work = sys.argv[1]
rows = []
for path in sorted(glob.glob(os.path.join(work, "time-*.json")), key=lambda p: int(p.split("-")[-1][:-5])):
    times = {}
    for result in json.load(open(path))["results"]:
        job, side = result["command"].rsplit("|", 1)
        times[side] = result["median"] * 1000
    rows.append((job, times["ours"], times["peer"]))
memory = []
for line in open(os.path.join(work, "memory")):
    job, ours, peer = line.strip().split("|")
    memory.append((job, int(ours) / 1024, int(peer) / 1024))
width = max(len(r[0]) for r in rows + memory)
rule = f"{'-' * width}-|-{'-' * 10}-|-{'-' * 10}-|-{'-' * 10}"
print(f"\n{'job':<{width}} | {'ours (ms)':>10} | {'peer (ms)':>10} | {'ratio':>10}")
print(rule)
for job, ours, peer in rows:
    print(f"{job:<{width}} | {ours:>10.1f} | {peer:>10.1f} | {ours / peer:>10.2f}")
print(f"{'peak memory (max RSS)':<{width}} | {'ours MiB':>10} | {'peer MiB':>10} | {'difference':>10}")
print(rule)
for job, ours, peer in memory:
    print(f"{job:<{width}} | {ours:>10.1f} | {peer:>10.1f} | {ours - peer:>+10.1f}")
print("\nmedian of the timed runs; ratio = ours / peer (above 1: ours is slower)")
PY
