#!/bin/bash
# Whole jobs of the command-line host with LZW and Deflate against the usual
# converters on the same pages: an A4 colour photo-like page, an A4 colour
# document page, an A4 grey page and an A4 16-bit grey page (300 dpi), each
# with --compression lzw beside `pnmtotiff -lzw -predictor 2`, and with
# --compression deflate beside `pnmtotiff -flate -predictor 2`; ImageMagick
# (convert, Predictor 2) and libtiff's tiffcp (Predictor 2, from an
# uncompressed TIFF of the page) coded the same way are timed beside them.
# The same pages and an A4 text page with --compression packbits beside
# `pnmtotiff -packbits`, `convert -compress RLE` and `tiffcp -c packbits`
# (no predictor), and the text page with g3-1d and g3-2d beside
# `pnmtotiff -g3 [-2d] -fill` and `tiffcp -c g3:1d:fill` / `g3:2d:fill`
# (fill bits, as ours; tiffcp from a WhiteIsZero page at 300 dpi, as ours;
# convert only for 1-D: its Fax is one-dimensional).
# Every output is checked pixel for pixel against the source before it is
# timed. Prints one table of median times and file sizes, ratios ours/peer.
# (run_job_bench.sh's approach: one hyperfine run per job.)
#
# Then JPEG on the 8-bit pages (photo, document, grey): --compression jpeg
# (quality 90) beside libtiff's `tiffcp -c jpeg:90 -r 16` of the page's raw
# TIFF, both timed, their sizes compared; each of our files must decode
# exactly as libtiff's does, and the PSNR of each reader's decoding (libtiff,
# Pillow, ImageMagick) against the source is printed (tests/tiff/jpeg_check.py).
#
# Usage: run_compression_bench.sh [build dir]    (default build/bench)
# ZEDUZ_BENCH_RUNS sets the timed runs per command (default 5).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/bench}
runs=${ZEDUZ_BENCH_RUNS:-5}
convert=/usr/bin/convert  # ImageMagick's own, not a look-alike earlier on PATH

source "$source_dir/bench/bench_setup.sh"
bench_setup compression-bench pnmtotiff tiffcp "$convert"

say "generating pages"
"$make_pages" photo 2480 3508 1 "$pages/photo.ppm"
"$make_pages" document 2480 3508 1 "$pages/document.ppm"
"$make_pages" grey 2480 3508 1 "$pages/grey.pgm"
"$make_pages" grey16 2480 3508 1 "$pages/grey16.pgm"
"$make_pages" text 2480 3508 "$pages/text.pbm"
for page in photo.ppm document.ppm grey.pgm grey16.pgm text.pbm; do
  pnmtotiff -none "$pages/$page" > "$pages/${page%.*}.tif" 2>/dev/null  # tiffcp's input
done

# Decodes an output and refuses to go on unless its pixels are the source's.
verify() {
  /usr/bin/python3 - "$@" <<'PY'
import sys
from PIL import Image
Image.MAX_IMAGE_PIXELS = None
def pixels(path):
    with Image.open(path) as image:
        if image.mode.startswith("I"):  # 16-bit grey: PGM reads as I, TIFF as I;16 or I;16B
            image = image.convert("I")
        return image.mode, image.size, image.tobytes()
want = pixels(sys.argv[1])
for path in sys.argv[2:]:
    if pixels(path) != want:
        sys.exit(f"{path}: pixels differ from {sys.argv[1]}")
PY
}

# job NAME PAGE OURS PNMTOTIFF CONVERT TIFFCP [PREDICTOR]: each output made
# and checked, then all four timed in one hyperfine run; sizes recorded.
# PREDICTOR 2 (the default) or none; CONVERT - leaves ImageMagick out (its
# time and size read 0).
job() {
  local name=$1 page=$2 our_option=$3 pnm_option=$4 magick_option=$5 tiffcp_option=$6 predictor=${7:-2}
  local src=$pages/$page tif=${tiffcp_input:-$pages/${page%.*}.tif} pnm_predictor="" magick_predictor=""
  if [ "$predictor" = 2 ]; then pnm_predictor="-predictor 2" magick_predictor="-define tiff:predictor=2"; fi
  local c_ours="'$host' --quiet --compression $our_option -o '$out/ours.tif' '$src'"
  local c_pnm="pnmtotiff $pnm_option $pnm_predictor '$src' > '$out/pnm.tif' 2>/dev/null"
  local c_magick="'$convert' '$src' -compress $magick_option $magick_predictor '$out/magick.tif'"
  [ "$magick_option" = - ] && c_magick="true"
  local c_tiffcp="tiffcp -c $tiffcp_option '$tif' '$out/tiffcp.tif'"
  say "$name"
  rm -f "$out"/*.tif
  for command in "$c_ours" "$c_pnm" "$c_magick" "$c_tiffcp"; do bash -c "$command"; done
  [ "$magick_option" = - ] && cp "$out/pnm.tif" "$out/magick.tif"  # not run: pnmtotiff's output stands in
  verify "$src" "$out/ours.tif" "$out/pnm.tif" "$out/magick.tif" "$out/tiffcp.tif" ||
    { echo "$name: outputs differ, not timed" >&2; exit 1; }
  local magick_size=$(stat -c %s "$out/magick.tif")
  [ "$magick_option" = - ] && magick_size=0
  echo "$name|$(stat -c %s "$out/ours.tif")|$(stat -c %s "$out/pnm.tif")|$magick_size|$(stat -c %s "$out/tiffcp.tif")" >> "$work/sizes"
  hyperfine --style none --shell bash --warmup 1 --runs "$runs" \
    --prepare "rm -f '$out'/ours.tif '$out'/pnm.tif '$out'/magick.tif '$out'/tiffcp.tif" \
    --export-json "$work/time-$(( ++job_number )).json" \
    -n "$name|ours" "$c_ours" -n "$name|pnmtotiff" "$c_pnm" -n "$name|convert" "$c_magick" \
    -n "$name|tiffcp" "$c_tiffcp" >/dev/null
}
job_number=0

# jpeg_job NAME PAGE: ours and tiffcp's JPEG at quality 90, checked and timed.
jpeg_job() {
  local name=$1 page=$2
  local src=$pages/$page tif=$pages/${page%.*}.tif
  local c_ours="'$host' --quiet --compression jpeg -o '$out/ours.tif' '$src'"
  local c_tiffcp="tiffcp -c jpeg:90 -r 16 '$tif' '$out/tiffcp.tif'"
  say "$name"
  rm -f "$out"/*.tif
  for command in "$c_ours" "$c_tiffcp"; do bash -c "$command"; done
  tiffcp -c none "$out/ours.tif" "$out/ours-plain.tif" && tiffcp -c none "$out/tiffcp.tif" "$out/tiffcp-plain.tif"
  verify "$out/tiffcp-plain.tif" "$out/ours-plain.tif" ||
    { echo "$name: ours does not decode as libtiff's JPEG does, not timed" >&2; exit 1; }
  echo "$name|$(/usr/bin/python3 "$source_dir/tests/tiff/jpeg_check.py" "$out/ours.tif" "$src" 0 16)" >> "$work/psnr"
  echo "$name|$(stat -c %s "$out/ours.tif")|$(stat -c %s "$out/tiffcp.tif")" >> "$work/jpeg-sizes"
  hyperfine --style none --shell bash --warmup 1 --runs "$runs" \
    --prepare "rm -f '$out'/ours.tif '$out'/tiffcp.tif" \
    --export-json "$work/jpeg-$(( ++job_number )).json" \
    -n "$name|ours" "$c_ours" -n "$name|tiffcp" "$c_tiffcp" >/dev/null
}

for page in photo.ppm document.ppm grey.pgm grey16.pgm; do
  job "${page%.*} LZW" "$page" lzw -lzw lzw lzw:2
  job "${page%.*} Deflate" "$page" deflate -flate zip zip:2
done
for page in photo.ppm document.ppm grey.pgm; do
  jpeg_job "${page%.*} JPEG q90" "$page"
done
for page in photo.ppm document.ppm grey.pgm grey16.pgm text.pbm; do
  job "${page%.*} PackBits" "$page" packbits -packbits RLE packbits none
done
# tiffcp codes Group 3 from a page as ours lies: WhiteIsZero at 300 dpi (the
# resolution chooses K), uncompressed.
"$host" --quiet --compression g3-1d -o "$work/text-g3.tif" "$pages/text.pbm"
tiffcp -c none "$work/text-g3.tif" "$pages/text-whiteiszero.tif"
tiffcp_input=$pages/text-whiteiszero.tif
job "text G3 1-D" text.pbm g3-1d "-g3 -fill" Fax g3:1d:fill none
job "text G3 2-D" text.pbm g3-2d "-g3 -2d -fill" - g3:2d:fill none
tiffcp_input=

/usr/bin/python3 - "$work" <<'PY'
import glob, json, os, sys
work = sys.argv[1]
sizes = {}
for line in open(os.path.join(work, "sizes")):
    name, *values = line.strip().split("|")
    sizes[name] = [int(v) for v in values]
peers = ["pnmtotiff", "convert", "tiffcp"]
print("\n%-18s | %9s | %9s %9s %9s | %6s | %10s | %10s %10s %10s | %6s" % (
    "job", "ours ms", "pnmtotiff", "convert", "tiffcp", "t/pnm", "ours bytes", "pnmtotiff", "convert", "tiffcp",
    "s/pnm"))
for path in sorted(glob.glob(os.path.join(work, "time-*.json")), key=lambda p: int(p.split("-")[-1][:-5])):
    times = {}
    for result in json.load(open(path))["results"]:
        name, side = result["command"].rsplit("|", 1)
        times[side] = result["median"] * 1000
    ours, *others = sizes[name]
    if others[1] == 0:
        times["convert"] = 0  # not run
    print("%-18s | %9.0f | %9.0f %9.0f %9.0f | %6.2f | %10d | %10d %10d %10d | %6.3f" % (
        name, times["ours"], times["pnmtotiff"], times["convert"], times["tiffcp"],
        times["ours"] / times["pnmtotiff"], ours, *others, ours / others[0]))
print("\nmedian of the timed runs; t/pnm and s/pnm: ours / pnmtotiff in time and size (below 1: ours is"
      " faster or smaller). pnmtotiff -flate writes no predictor whatever -predictor says.")

sizes = {}
for line in open(os.path.join(work, "jpeg-sizes")):
    name, *values = line.strip().split("|")
    sizes[name] = [int(v) for v in values]
psnr = dict(line.strip().split("|", 1) for line in open(os.path.join(work, "psnr")))
print("\n%-18s | %9s | %9s | %6s | %10s | %10s | %6s | %s" % (
    "job", "ours ms", "tiffcp", "t/tcp", "ours bytes", "tiffcp", "s/tcp", "PSNR of our file per reader"))
for path in sorted(glob.glob(os.path.join(work, "jpeg-*.json")), key=lambda p: int(p.split("-")[-1][:-5])):
    times = {}
    for result in json.load(open(path))["results"]:
        name, side = result["command"].rsplit("|", 1)
        times[side] = result["median"] * 1000
    ours, theirs = sizes[name]
    print("%-18s | %9.0f | %9.0f | %6.2f | %10d | %10d | %6.4f | %s" % (
        name, times["ours"], times["tiffcp"], times["ours"] / times["tiffcp"], ours, theirs, ours / theirs,
        psnr[name].replace("PSNR dB: ", "")))
print("\nJPEG: ours is the whole host job from the PNM page; tiffcp codes the page's raw TIFF"
      " (-c jpeg:90 -r 16). t/tcp and s/tcp: ours / tiffcp.")
PY
