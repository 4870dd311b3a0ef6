"""Checks a one-page JPEG TIFF against the page it was coded from.

usage: jpeg_check.py TIFF SOURCE.pnm MIN_PSNR ROWS_PER_STRIP

The file must pass libtiff's tiffinfo -D / tiffdump / tiffcp -c none without
a warning and carry the entries of a JPEG page (Compression 7; YCbCr with
2x2 subsampling and full-range ReferenceBlackWhite for colour, BlackIsZero
for grey; a strip per ROWS_PER_STRIP rows; 300 dpi). libtiff (the tiffcp
copy), Pillow and ImageMagick must each decode it to the source's exact size
and mode, within MIN_PSNR dB of its samples. Prints the PSNR per reader.
"""
import io
import math
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from PIL import Image, ImageChops  # noqa: E402
from image_checks import CONVERT, libtiff_reads_cleanly, pillow_page, run_tool  # noqa: E402


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def psnr(source, decoded):
    """Peak signal-to-noise ratio over every sample, in dB."""
    histogram = ImageChops.difference(source, decoded).histogram()
    squares = sum(count * (value % 256) ** 2 for value, count in enumerate(histogram))
    samples = source.width * source.height * len(source.getbands())
    return math.inf if squares == 0 else 10 * math.log10(255 ** 2 * samples / squares)


def check_entries(path, source, rows_per_strip):
    tags = pillow_page(path, 0).tag_v2
    colour = source.mode == "RGB"
    expected = {259: 7, 262: 6 if colour else 1, 277: 3 if colour else 1, 278: rows_per_strip}
    for tag, value in expected.items():
        if tags.get(tag) != value:
            fail("tag %d is %r, not %r" % (tag, tags.get(tag), value))
    strips = -(-source.height // rows_per_strip)
    if len(tags[273]) != strips or len(tags[279]) != strips:
        fail("%d strip offsets and %d counts, not %d" % (len(tags[273]), len(tags[279]), strips))
    if float(tags[282]) != 300 or float(tags[283]) != 300:
        fail("resolution %s x %s" % (tags[282], tags[283]))
    if colour:
        if tuple(tags[530]) != (2, 2):
            fail("YCbCrSubSampling %r" % (tags[530],))
        if [float(v) for v in tags[532]] != [0, 255, 128, 255, 128, 255]:
            fail("ReferenceBlackWhite %r" % (tags[532],))


def readers(path, copy, mode):
    """The page as each independent reader decodes it."""
    yield "libtiff", Image.open(copy)
    yield "pillow", pillow_page(path, 0)
    netpbm = run_tool([CONVERT, path + "[0]", "ppm:-" if mode == "RGB" else "pgm:-"])
    yield "imagemagick", Image.open(io.BytesIO(netpbm))


def main():
    path, source_path, min_psnr, rows_per_strip = sys.argv[1], sys.argv[2], float(sys.argv[3]), int(sys.argv[4])
    source = Image.open(source_path)
    source.load()
    check_entries(path, source, rows_per_strip)
    figures = []
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, "copy.tif")
        if source.mode == "RGB" and source.height % rows_per_strip == 1:
            # libtiff's raw reader (tiffinfo -D) refuses a subsampled strip
            # of one row, in the files libtiff writes too: tiffcp reads it.
            run_tool(["tiffdump", path])
            run_tool(["tiffcp", "-c", "none", path, copy])
        else:
            libtiff_reads_cleanly(path, copy)
        for reader, image in readers(path, copy, source.mode):
            image.load()
            if image.size != source.size or image.mode != source.mode:
                fail("%s: %s %s, not %s %s" % (reader, image.mode, image.size, source.mode, source.size))
            value = psnr(source, image)
            figures.append("%s %.2f" % (reader, value))
            if value < min_psnr:
                fail("%s: PSNR %.2f dB below %.2f" % (reader, value, min_psnr))
    print("PSNR dB:", ", ".join(figures))


if __name__ == "__main__":
    main()
