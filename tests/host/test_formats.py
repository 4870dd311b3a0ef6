"""Every page format through the host, both byte orders, odd widths, bands of
one row and of the whole page, single pages and three-page files, pages
shorter and longer than announced: the output decodes exactly to the source
with libtiff, Pillow and ImageMagick."""

import random
import subprocess

from host_check import Page, check_output, parse_tiff, png_bytes, pnm_bytes, random_page, run_cases, run_ok

RNG = random.Random(20240611)


def source(kind, bits, width, height=6, colours=None):
    return random_page(RNG, kind, bits, width, height, colours)


def as_stored(page, palette4=False):
    """The page the host must produce from a source page."""
    if page.kind == "gray" and page.bits == 2:
        return Page("gray", 4, page.width, page.height, [v * 5 for v in page.samples])
    if page.kind == "palette" and (page.bits < 8 or (palette4 and len(page.palette) <= 16)):
        return Page("palette", 4, page.width, page.height, page.samples, page.palette)
    return page


# (name, source page, file writer, extra host options)
SOURCES = [
    ("rgb48 P6 w5", source("rgb", 16, 5), lambda p: ("a.ppm", pnm_bytes(p)), []),
    ("rgb48 PNG w13", source("rgb", 16, 13), lambda p: ("a.png", png_bytes(p)), []),
    ("rgb24 P6 w7", source("rgb", 8, 7), lambda p: ("a.ppm", pnm_bytes(p)), []),
    ("rgb24 P3 w13", source("rgb", 8, 13), lambda p: ("a.ppm", pnm_bytes(p, plain=True)), []),
    ("rgb24 PNG w1", source("rgb", 8, 1), lambda p: ("a.png", png_bytes(p)), []),
    ("grey16 P5 w1", source("gray", 16, 1), lambda p: ("a.pgm", pnm_bytes(p)), []),
    ("grey16 PNG w13", source("gray", 16, 13), lambda p: ("a.png", png_bytes(p)), []),
    ("grey8 P5 w5", source("gray", 8, 5), lambda p: ("a.pgm", pnm_bytes(p)), []),
    ("grey8 P2 w13", source("gray", 8, 13), lambda p: ("a.pgm", pnm_bytes(p, plain=True)), []),
    ("grey8 PNG w7", source("gray", 8, 7), lambda p: ("a.png", png_bytes(p)), []),
    ("grey4 P5 w7", source("gray", 4, 7), lambda p: ("a.pgm", pnm_bytes(p)), []),
    ("grey4 PNG w13", source("gray", 4, 13), lambda p: ("a.png", png_bytes(p)), []),
    ("grey2 PNG w5", source("gray", 2, 5), lambda p: ("a.png", png_bytes(p)), []),
    ("bilevel P4 w13", source("bilevel", 1, 13), lambda p: ("a.pbm", pnm_bytes(p)), []),
    ("bilevel P1 w5", source("bilevel", 1, 5), lambda p: ("a.pbm", pnm_bytes(p, plain=True)), []),
    ("bilevel PNG w7", source("bilevel", 1, 7), lambda p: ("a.png", png_bytes(p)), []),
    ("palette8 PNG w5", source("palette", 8, 5, colours=200), lambda p: ("a.png", png_bytes(p)), []),
    ("palette8 PNG w13 full", source("palette", 8, 13), lambda p: ("a.png", png_bytes(p)), []),
    ("palette4 PNG w7", source("palette", 4, 7), lambda p: ("a.png", png_bytes(p)), []),
    ("palette2 PNG w13", source("palette", 2, 13), lambda p: ("a.png", png_bytes(p)), []),
    ("palette1 PNG w5", source("palette", 1, 5), lambda p: ("a.png", png_bytes(p)), []),
    ("palette8 small as 4-bit w13", source("palette", 8, 13, colours=10), lambda p: ("a.png", png_bytes(p)),
     ["--palette4"]),
    # Interlaced: narrow and short pages leave some of the seven passes empty.
    ("interlaced rgb48 PNG w13", source("rgb", 16, 13, 11), lambda p: ("a.png", png_bytes(p, interlace=True)), []),
    ("interlaced grey8 PNG w1", source("gray", 8, 1, 9), lambda p: ("a.png", png_bytes(p, interlace=True)), []),
    ("interlaced grey2 PNG w3", source("gray", 2, 3, 2), lambda p: ("a.png", png_bytes(p, interlace=True)), []),
    ("interlaced bilevel PNG w17", source("bilevel", 1, 17, 10), lambda p: ("a.png", png_bytes(p, interlace=True)),
     []),
    ("interlaced palette4 PNG w9", source("palette", 4, 9, 5), lambda p: ("a.png", png_bytes(p, interlace=True)),
     []),
]

ORDERS = [("intel", "<"), ("motorola", ">")]


# The --compression of pages other than bilevel ones, and their Compression tag.
COMPRESSIONS = {"none": 1, "lzw": 5, "deflate": 8, "jpeg": 7, "packbits": 32773}


def single_page_case(page, writer, extra, order, band_rows, compression="none", big=False):
    def case(ws):
        name, data = writer(page)
        path = ws.write(name, data)
        kind = ["--bigtiff"] if big else []
        run_ok(ws, "--byte-order", order[0], "--compression", compression, "--band-rows", str(band_rows),
               "-o", "out.tif", path, *extra, *kind)
        stored = as_stored(page, "--palette4" in extra)
        check_output(ws, ws.path("out.tif"), [stored], order[1], compression=COMPRESSIONS[compression],
                     bilevel=32773 if compression == "packbits" else None, big=big)
        if big:
            # A page appended to the BigTIFF file: linked by an 8-byte offset.
            run_ok(ws, "--byte-order", order[0], "--compression", compression, "--append", "-o", "out.tif", path,
                   *extra, *kind)
            check_output(ws, ws.path("out.tif"), [stored, stored], order[1], compression=COMPRESSIONS[compression],
                         bilevel=32773 if compression == "packbits" else None, big=True)
    return case


def three_page_case(order, band_rows, group4):
    pages = [source("rgb", 8, 13, 5), source("palette", 4, 7, 4), source("bilevel", 1, 5, 9)]
    if group4:
        pages[1] = source("gray", 16, 1, 3)

    def case(ws):
        paths = [ws.write("p%d.png" % i, png_bytes(p)) for i, p in enumerate(pages)]
        options = ["--group4"] if group4 else ["--compression", "none"]
        run_ok(ws, "--byte-order", order[0], "--band-rows", str(band_rows), "-o", "three.tif", *options, *paths)
        check_output(ws, ws.path("three.tif"), [as_stored(p) for p in pages], order[1], group4)
    return case


def announced_case(order, announced, group4, compression="none"):
    """Every source as a page of one file, each begun with `announced` rows
    announced and then given its own six: short or long pages."""
    def case(ws):
        paths = []
        for i, (_, page, writer, _) in enumerate(SOURCES):
            name, data = writer(page)
            paths.append(ws.write("%d%s" % (i, name), data))
        options = ["--compression", compression] + (["--group4"] if group4 else [])
        run_ok(ws, "--byte-order", order[0], "--band-rows", "4", "--announce-rows", str(announced), *options,
               "-o", "a.tif", *paths)
        check_output(ws, ws.path("a.tif"), [as_stored(page) for _, page, _, _ in SOURCES], order[1], group4,
                     COMPRESSIONS[compression])
    return case


def group4_case(width, height, order, band_rows, big=False):
    page = source("bilevel", 1, width, height)

    def case(ws):
        path = ws.write("g.pbm", pnm_bytes(page))
        kind = ["--bigtiff"] if big else []
        run_ok(ws, "--byte-order", order[0], "--group4", "--band-rows", str(band_rows), "-o", "g4.tif", path, *kind)
        check_output(ws, ws.path("g4.tif"), [page], order[1], group4=True, big=big)
    return case


def group3_case(width, height, order, band_rows, kind, resolution, big=False):
    """Group 3 at a standard (K = 2) or fine (K = 4) vertical resolution."""
    page = source("bilevel", 1, width, height)

    def case(ws):
        path = ws.write("g.pbm", pnm_bytes(page))
        flavour = ["--bigtiff"] if big else []
        run_ok(ws, "--byte-order", order[0], "--compression", kind, "--resolution", resolution, "--band-rows",
               str(band_rows), "-o", "g3.tif", path, *flavour)
        check_output(ws, ws.path("g3.tif"), [page], order[1], bilevel=3, big=big)
        # libtiff codes the decoded page again as the page's T4Options and
        # resolution say: the same strip, so K followed the resolution.
        scheme = "g3:%s:fill" % kind[3:]
        subprocess.run(["tiffcp", "-c", scheme, ws.path("g3.tif"), ws.path("again.tif")], check=True)
        ours = parse_tiff(open(ws.path("g3.tif"), "rb").read())[1][0]
        again = parse_tiff(open(ws.path("again.tif"), "rb").read())[1][0]
        assert ours.data == again.data, "strip differs from libtiff's (%d and %d bytes)" % (len(ours.data),
                                                                                           len(again.data))
    return case


CASES = []
for index, (label, page, writer, extra) in enumerate(SOURCES):
    for order in ORDERS:
        band_rows = 1 if (index + (order[0] == "motorola")) % 2 == 0 else 0
        CASES.append(("%s %s bands of %s" % (label, order[0], band_rows or "the whole page"),
                      single_page_case(page, writer, extra, order, band_rows)))
        for compression in ("lzw", "deflate", "jpeg", "packbits"):
            CASES.append(("%s %s %s bands of %s" % (label, compression, order[0], band_rows or "the whole page"),
                          single_page_case(page, writer, extra, order, band_rows, compression)))
# BigTIFF: every source in both byte orders, the compressions in turn.
BIG_COMPRESSIONS = ["none", "lzw", "deflate", "jpeg", "packbits"]
for index, (label, page, writer, extra) in enumerate(SOURCES):
    for order in ORDERS:
        compression = BIG_COMPRESSIONS[(2 * index + (order[0] == "motorola")) % len(BIG_COMPRESSIONS)]
        CASES.append(("%s BigTIFF %s %s" % (label, compression, order[0]),
                      single_page_case(page, writer, extra, order, 3, compression, big=True)))
for order in ORDERS:
    CASES.append(("three pages %s one-row bands" % order[0], three_page_case(order, 1, False)))
    CASES.append(("three pages %s whole-page bands" % order[0], three_page_case(order, 0, False)))
    CASES.append(("three pages with group 4 %s" % order[0], three_page_case(order, 2, True)))
    for announced, group4 in ((4, order[0] == "intel"), (9, order[0] != "intel")):
        CASES.append(("every source %s %s pages%s" % (order[0], "long" if announced < 6 else "short",
                                                     " with group 4" if group4 else ""),
                      announced_case(order, announced, group4)))
        for compression in ("lzw" if group4 else "deflate", "jpeg"):
            CASES.append(("every source %s %s pages, %s%s" % (order[0], "long" if announced < 6 else "short",
                                                             compression, " with group 4" if group4 else ""),
                          announced_case(order, announced, group4, compression)))
    for width, height, band_rows in ((1, 3, 1), (13, 17, 0), (5, 40, 7), (100, 30, 4)):
        CASES.append(("group 4 w%d h%d %s bands of %d" % (width, height, order[0], band_rows),
                      group4_case(width, height, order, band_rows)))
    for kind in ("g3-1d", "g3-2d"):
        for width, height, band_rows, resolution in ((1, 3, 1, "200,100"), (13, 17, 0, "200"), (100, 30, 4, "300")):
            CASES.append(("%s w%d h%d %s bands of %d at %s" % (kind, width, height, order[0], band_rows, resolution),
                          group3_case(width, height, order, band_rows, kind, resolution)))
        # BigTIFF: the resolution, which chose the coding, read back from the entry itself.
        CASES.append(("%s BigTIFF %s at 200,100 and 300" % (kind, order[0]),
                      group3_case(100, 30, order, 4, kind, "200,100" if kind == "g3-1d" else "300", big=True)))
    CASES.append(("group 4 BigTIFF %s" % order[0], group4_case(100, 30, order, 4, big=True)))

if __name__ == "__main__":
    run_cases(CASES)
