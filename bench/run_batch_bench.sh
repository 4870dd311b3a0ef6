#!/bin/bash
# Documents of many pages: whether a page costs the same however many pages
# come before it. Four jobs, each timed side by side with its peer in one
# hyperfine run, every output first checked pixel for pixel against the
# sources (and the peer's):
#   - 200 Group 4 A4 text pages in one job, against tiffcp joining the same
#     200 single-page Group 4 files (it decodes and re-codes each page);
#   - 1000 small grey pages (200 x 100) in one job, against ImageMagick, and
#     the same with our flushes to the disk skipped, to show what they cost;
#   - 250, 500, 1000 and 2000 small pages: the time per doubling;
#   - one page appended to a 2000-page file, against the same page appended
#     to a 1-page file.
# Prints one table of medians and ratios.
#
# Usage: run_batch_bench.sh [build dir]    (default build/bench)
# ZEDUZ_BENCH_RUNS sets the timed runs per command (default 5).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/bench}
runs=${ZEDUZ_BENCH_RUNS:-5}
convert=/usr/bin/convert  # ImageMagick's own, not a look-alike earlier on PATH

source "$source_dir/bench/bench_setup.sh"
bench_setup batch-bench tiffcp pnmtotiff "$convert"

say "generating pages"
"$make_pages" text 2480 3508 "$pages/text.pbm"
pnmtotiff -g4 "$pages/text.pbm" >"$pages/text.tif" 2>/dev/null
for i in $(seq 200); do
  ln -s text.pbm "$pages/t$i.pbm"
  ln -s text.tif "$pages/t$i.tif"
done
for seed in $(seq 2000); do
  "$make_pages" grey 200 100 "$seed" "$pages/g$seed.pgm"
done
list() {  # list PREFIX COUNT SUFFIX: the page files, in order
  local i
  for i in $(seq "$2"); do printf '%s ' "$pages/$1$i$3"; done
}

# check OUTPUT SOURCES...: every page of OUTPUT decodes to its source.
check() {
  /usr/bin/python3 - "$@" <<'PY'
import sys
from PIL import Image, ImageSequence
output, sources = sys.argv[1], sys.argv[2:]
def frames(path):
    with Image.open(path) as image:
        return [(f.convert("L").size, f.convert("L").tobytes()) for f in ImageSequence.Iterator(image)]
got, want = frames(output), []
for path in sources:
    want += frames(path)
if len(got) != len(want):
    sys.exit(f"{output}: {len(got)} pages, want {len(want)}")
for i, (page, source) in enumerate(zip(got, want)):
    if page != source:
        sys.exit(f"{output}: page {i + 1} differs from its source")
PY
}

# job NAME "OUR COMMAND" "PEER COMMAND" "PREPARE" OURS "OUR SOURCES" PEER "PEER SOURCES":
# both outputs made and checked against their sources, then both commands
# timed in one hyperfine run, PREPARE before every run.
job_number=0
job() {
  local name=$1 our_command=$2 peer_command=$3 prepare=$4
  say "$name"
  bash -c "$prepare" && bash -c "$our_command" && check "$5" $6
  bash -c "$prepare" && bash -c "$peer_command" && check "$7" $8
  hyperfine --style none --shell bash --warmup 1 --runs "$runs" --prepare "$prepare" \
    --export-json "$work/time-$((++job_number)).json" \
    -n "$name|ours" "$our_command" -n "$name|peer" "$peer_command" >/dev/null
}

ours=$out/ours.tif peer=$out/peer.tif
clean="rm -f '$ours' '$peer'"
job "200 G4 A4 text pages, one job (tiffcp)" \
  "'$host' --quiet --group4 -o '$ours' $(list t 200 .pbm)" \
  "tiffcp -c g4 $(list t 200 .tif) '$peer'" "$clean" "$ours" "$(list t 200 .pbm)" "$peer" "$(list t 200 .tif)"
job "1000 small grey pages, one job (convert)" \
  "'$host' --quiet -o '$ours' $(list g 1000 .pgm)" \
  "'$convert' $(list g 1000 .pgm) -compress none '$peer'" "$clean" \
  "$ours" "$(list g 1000 .pgm)" "$peer" "$(list g 1000 .pgm)"

# What the flushes cost: the same job with fsync made a no-op by a preloaded
# shim, so that the table shows the job with and without them. The product
# always flushes; this row only measures what that costs on this disk.
no_flush=$work/no_flush.so
printf 'int fsync(int fd) { (void)fd; return 0; }\nint fdatasync(int fd) { (void)fd; return 0; }\n' >"$work/no_flush.c"
cc -shared -fPIC -O2 -o "$no_flush" "$work/no_flush.c"
job "1000 small grey pages, flushes skipped (convert)" \
  "LD_PRELOAD='$no_flush' '$host' --quiet -o '$ours' $(list g 1000 .pgm)" \
  "'$convert' $(list g 1000 .pgm) -compress none '$peer'" "$clean" \
  "$ours" "$(list g 1000 .pgm)" "$peer" "$(list g 1000 .pgm)"

# The doubling: ours alone, each count against the one before.
previous=250
for count in 250 500 1000 2000; do
  job "$count small pages, one job (against $previous)" \
    "'$host' --quiet -o '$ours' $(list g "$count" .pgm)" \
    "'$host' --quiet -o '$peer' $(list g "$previous" .pgm)" "$clean" \
    "$ours" "$(list g "$count" .pgm)" "$peer" "$(list g "$previous" .pgm)"
  previous=$count
done

# One page appended: to the 2000-page file, against the same to a 1-page file.
"$host" --quiet -o "$out/long.tif" $(list g 2000 .pgm)
"$host" --quiet -o "$out/short.tif" "$pages/g1.pgm"
job "append a page to a 2000-page file (to a 1-page file)" \
  "'$host' --quiet --append -o '$ours' '$pages/g2.pgm'" \
  "'$host' --quiet --append -o '$peer' '$pages/g2.pgm'" \
  "cp '$out/long.tif' '$ours'; cp '$out/short.tif' '$peer'" \
  "$ours" "$(list g 2000 .pgm) $pages/g2.pgm" "$peer" "$pages/g1.pgm $pages/g2.pgm"

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
width = max(len(r[0]) for r in rows)
print(f"\n{'job':<{width}} | {'ours (ms)':>10} | {'peer (ms)':>10} | {'ratio':>10}")
print(f"{'-' * width}-|-{'-' * 10}-|-{'-' * 10}-|-{'-' * 10}")
for job, ours, peer in rows:
    print(f"{job:<{width}} | {ours:>10.1f} | {peer:>10.1f} | {ours / peer:>10.2f}")
doubling = {int(job.split()[0]): ours for job, ours, _ in rows if job.split()[0].isdigit() and "small pages" in job}
if 500 in doubling and 2000 in doubling:
    print(f"\n2000 pages / 500 pages: {doubling[2000] / doubling[500]:.2f} (4 is linear)")
print("median of the timed runs; ratio = ours / peer (above 1: ours is slower)")
PY
