#!/bin/bash
# A document past 4 GiB: 21 A4 pages at 600 dpi in 48-bit colour (4960 x
# 7016, 209 MB each, 4.4 GB in all) into one BigTIFF file, by the host
# (--bigtiff) and by libtiff (tiffcp -8 of the same page 21 times), timed
# side by side; then the host's peak memory, and the classic job of the same
# pages, which must stop at page 21 with status 205 and keep pages 1 to 20.
# Both outputs are checked before they are timed: 21 directories, the file
# past 4 GiB (the 21st page ends beyond it), and the last page decoded by libtiff
# (tiffcp -c none) equal to the source, pixel for pixel.
#
# It writes some 9 GB and needs about 5 GB free where the work directory
# lies (TMPDIR): it checks first and refuses with less.
#
# Usage: run_bigtiff_bench.sh [build dir]    (default build/bench)
# ZEDUZ_BENCH_RUNS sets the timed runs per command (default 2).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/bench}
runs=${ZEDUZ_BENCH_RUNS:-2}
pages_in_document=21
needed_kib=$((5 * 1024 * 1024))

free_kib=$(df -Pk "${TMPDIR:-/tmp}" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$needed_kib" ]; then
  echo "needs 5 GB free in ${TMPDIR:-/tmp}, has $((free_kib / 1024)) MB: not run" >&2
  exit 1
fi

source "$source_dir/bench/bench_setup.sh"
bench_setup bigtiff-bench tiffcp tiffinfo /usr/bin/time

say "generating a 600 dpi 48-bit page"
"$make_pages" photo 4960 7016 1 "$pages/rgb24.ppm"
# Each 8-bit sample v becomes the 16-bit sample v * 257.
/usr/bin/python3 - "$pages/rgb24.ppm" "$pages/rgb48.ppm" <<'PY'
import sys
with open(sys.argv[1], "rb") as f:
    data = f.read()
header_end = 0
for _ in range(4):  # P6, width, height, maximum: each ends at its whitespace
    while data[header_end:header_end + 1].isspace():
        header_end += 1
    while not data[header_end:header_end + 1].isspace():
        header_end += 1
header_end += 1
width, height = (int(v) for v in data[:header_end].split()[1:3])
samples = data[header_end:]
wide = bytearray(2 * len(samples))
wide[0::2] = samples
wide[1::2] = samples
with open(sys.argv[2], "wb") as f:
    f.write(b"P6\n%d %d\n65535\n" % (width, height))
    f.write(wide)
PY
rm "$pages/rgb24.ppm"
page=$pages/rgb48.ppm
page_list=$(printf "'$page' %.0s" $(seq $pages_in_document))
"$host" --quiet --dpi 600 -o "$pages/page.tif" "$page"  # the peer's source: one classic page
peer_list=$(printf "'$pages/page.tif' %.0s" $(seq $pages_in_document))

ours=$out/ours.tif peer=$out/peer.tif
our_command="'$host' --quiet --bigtiff --dpi 600 -o '$ours' $page_list"
peer_command="tiffcp -8 -c none $peer_list '$peer'"

# check FILE: 21 pages, the file past 4 GiB, and the last page as libtiff
# decodes it equal to the source page.
check() {
  local file=$1 directories last
  directories=$(tiffinfo "$file" 2>/dev/null | grep -c "^TIFF Directory at offset")
  [ "$directories" = $pages_in_document ] || { echo "$file: $directories pages" >&2; return 1; }
  last=$(stat -c %s "$file")
  [ "$last" -gt $((4 << 30)) ] || { echo "$file: $last bytes, not past 4 GiB" >&2; return 1; }
  tiffcp -c none "$file,$((pages_in_document - 1))" "$work/last.tif"
  /usr/bin/python3 - "$work/last.tif" "$page" <<'PY'
import sys
with open(sys.argv[2], "rb") as f:
    source = f.read()
width, height = 4960, 7016
source = source[len(source) - width * height * 6:]  # 16-bit samples, big-endian
data = open(sys.argv[1], "rb").read()
# A classic single-strip page (tiffcp keeps the strip whole): find the
# strip by its length and compare in the file's byte order.
import struct
order = "<" if data[:2] == b"II" else ">"
offset = struct.unpack(order + "I", data[4:8])[0]
count = struct.unpack(order + "H", data[offset:offset + 2])[0]
tags = {}
for i in range(count):
    tag, kind, n, value = struct.unpack(order + "HHII", data[offset + 2 + 12 * i:offset + 14 + 12 * i])
    tags[tag] = (kind, n, value)
def values(tag):
    kind, n, value = tags[tag]
    if n == 1:
        return [value if kind == 4 else value & 0xFFFF if order == "<" else value >> 16]
    return list(struct.unpack(order + ("I" if kind == 4 else "H") * n, data[value:value + n * (4 if kind == 4 else 2)]))
strip = b"".join(data[o:o + c] for o, c in zip(values(273), values(279)))
if order == "<":
    swapped = bytearray(len(strip))
    swapped[0::2], swapped[1::2] = strip[1::2], strip[0::2]
    strip = bytes(swapped)
sys.exit(0 if strip == source else "the last page differs from the source")
PY
}

say "one run of each, checked"
rm -f "$ours" "$peer"
bash -c "$our_command"
check "$ours"
rm -f "$ours"
bash -c "$peer_command"
check "$peer"
rm -f "$peer"

say "timed: $runs runs each (one output on the disk at a time)"
hyperfine --style none --shell bash --runs "$runs" \
  --prepare "rm -f '$ours' '$peer'" --cleanup "rm -f '$ours' '$peer'" \
  --export-json "$work/time.json" \
  -n ours "$our_command" -n peer "$peer_command" >/dev/null

say "peak memory"
/usr/bin/time -v -o "$work/rss-ours" bash -c "$our_command" >/dev/null 2>&1
rm -f "$ours"
/usr/bin/time -v -o "$work/rss-peer" bash -c "$peer_command" >/dev/null 2>&1
rm -f "$peer"

say "the classic job of the same pages"
classic=$out/classic.tif
set +e
bash -c "'$host' --quiet --dpi 600 -o '$classic' $page_list" 2> "$work/classic.err"
classic_status=$?
set -e
classic_pages=$(tiffinfo "$classic" 2>/dev/null | grep -c "^TIFF Directory at offset")
rm -f "$classic"

/usr/bin/python3 - "$work" "$classic_status" "$classic_pages" <<'PY'
import json, os, re, sys
work, status, pages = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
times = {r["command"]: r["median"] for r in json.load(open(os.path.join(work, "time.json")))["results"]}
def rss(side):
    text = open(os.path.join(work, "rss-" + side)).read()
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1)) / 1024
gb = 21 * 4960 * 7016 * 6 / 1e9
print(f"\n21 RGB48 pages at 600 dpi, {gb:.2f} GB, into one BigTIFF file")
print(f"{'':<22} | {'ours':>10} | {'tiffcp -8':>10} | {'ratio':>7}")
print(f"{'median time (s)':<22} | {times['ours']:>10.2f} | {times['peer']:>10.2f} | {times['ours'] / times['peer']:>7.2f}")
print(f"{'throughput (MB/s)':<22} | {gb * 1000 / times['ours']:>10.0f} | {gb * 1000 / times['peer']:>10.0f} |")
print(f"{'peak memory (MiB)':<22} | {rss('ours'):>10.1f} | {rss('peer'):>10.1f} | {rss('ours') / rss('peer'):>7.2f}")
message = open(os.path.join(work, "classic.err")).read().strip().splitlines()
print(f"\nclassic job: exit status {status}, {pages} pages kept")
for line in message:
    print("  " + line.replace(work, "<work>"))
ok = status != 0 and pages == 20 and "205" in "\n".join(message) and "BigTIFF" in "\n".join(message)
sys.exit(0 if ok else "the classic job did not stop at page 21 with its 20 pages and the BigTIFF message")
PY
