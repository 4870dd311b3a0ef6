"""Checks a one-page TIFF of a coded strip against the bytes its pixels must
decode to.

usage: coded_strip_check.py TIFF EXPECTED

EXPECTED holds the page's pixels as Pillow gives them (Image.tobytes()).
The file must pass tiffinfo -D and tiffdump without a complaint, tiffcp -c
none must decode it, and Pillow must decode both the file and tiffcp's copy
to exactly those bytes.
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from image_checks import libtiff_reads_cleanly, pillow_page  # noqa: E402


def main():
    path, expected_path = sys.argv[1], sys.argv[2]
    expected = open(expected_path, "rb").read()
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, "copy.tif")
        libtiff_reads_cleanly(path, copy)
        for name, image in (("Pillow", pillow_page(path, 0)), ("tiffcp's copy", pillow_page(copy, 0))):
            if image.tobytes() != expected:
                print("FAIL: %s of %s: %s %s, pixels differ" % (name, path, image.mode, image.size))
                sys.exit(1)
    print("OK:", path)


main()
