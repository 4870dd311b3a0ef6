"""Options that change what lands in the file: resolution, band sizes,
stored settings reused by a later run, 4-bit palettes on request, several
images in one PNM file, option spellings; and a destination the plug-in
cannot write, reported with the status name and number."""

import random

from host_check import (Page, check_output, png_bytes, pnm_bytes, random_page, read_tiff_file, run_cases,
                        run_ok)

RNG = random.Random(31)


def resolution(ws):
    page = random_page(RNG, "gray", 8, 5, 3)
    run_ok(ws, "--resolution", "200,150", "-o", "r.tif", ws.write("a.pgm", pnm_bytes(page)))
    _, pages = read_tiff_file(ws.path("r.tif"))
    assert pages[0].tag(282) == (200, 1) and pages[0].tag(283) == (150, 1), (pages[0].tag(282), pages[0].tag(283))
    run_ok(ws, "--dpi=600", "--output=s.tif", ws.path("a.pgm"))
    _, pages = read_tiff_file(ws.path("s.tif"))
    assert pages[0].tag(282) == (600, 1) and pages[0].tag(283) == (600, 1)
    check_output(ws, ws.path("s.tif"), [page])


def band_sizes(ws):
    page = random_page(RNG, "rgb", 8, 7, 11)
    path = ws.write("a.ppm", pnm_bytes(page))
    for rows in ("3", "10", "11", "12", "1000"):
        run_ok(ws, "--band-rows", rows, "-o", "b%s.tif" % rows, path)
        check_output(ws, ws.path("b%s.tif" % rows), [page])


def settings_persist(ws):
    pages = [random_page(RNG, "bilevel", 1, 13, 5), random_page(RNG, "gray", 16, 5, 2)]
    paths = [ws.write("a.pbm", pnm_bytes(pages[0])), ws.write("b.pgm", pnm_bytes(pages[1]))]
    first = run_ok(ws, "--byte-order", "motorola", "--group4", "-o", "1.tif", *paths)
    second = run_ok(ws, "-o", "2.tif", *paths)
    assert "MM" in second.stdout and first.stdout.splitlines()[0] == second.stdout.splitlines()[0], second.stdout
    check_output(ws, ws.path("2.tif"), pages, ">", group4=True)
    # Of two options that set the same thing, the later one wins.
    run_ok(ws, "--group4", "--byte-order", "intel", "--compression", "none", "-o", "3.tif", *paths)
    check_output(ws, ws.path("3.tif"), pages, "<", group4=False)


def palette4_on_request(ws):
    small = random_page(RNG, "palette", 8, 9, 3, colours=16)
    large = random_page(RNG, "palette", 8, 9, 3, colours=17)
    paths = [ws.write("s.png", png_bytes(small)), ws.write("l.png", png_bytes(large))]
    run_ok(ws, "--palette4", "-o", "p.tif", *paths)
    as4 = Page("palette", 4, small.width, small.height, small.samples, small.palette)
    check_output(ws, ws.path("p.tif"), [as4, large])
    run_ok(ws, "-o", "q.tif", *paths)
    check_output(ws, ws.path("q.tif"), [small, large])


def several_images_in_one_pnm(ws):
    pages = [random_page(RNG, "gray", 8, 5, 2), random_page(RNG, "rgb", 16, 3, 3), random_page(RNG, "bilevel", 1, 13, 2)]
    data = pnm_bytes(pages[0]) + b"\n" + pnm_bytes(pages[1]) + pnm_bytes(pages[2])
    result = run_ok(ws, "-o", "m.tif", "--", ws.write("m.pnm", data))
    assert "wrote 3 pages" in result.stdout, result.stdout
    check_output(ws, ws.path("m.tif"), pages)


def scaled(value, maxval, top):
    return (value * top + maxval // 2) // maxval


def odd_maxvals(ws):
    """Maxvals other than 2^n - 1 are scaled to 8 or 16 bits; maxval 1 grey
    is black and white; comments may stand anywhere in the header."""
    grey = [0, 1, 500, 999, 1000, 7]
    rgb = [(0, 15, 7), (3, 9, 14)]
    bits = [0, 1, 1, 0, 1, 1]
    files = [
        b"P5 # grey\n3 # width\n2\n1000\n" + b"".join(v.to_bytes(2, "big") for v in grey),
        b"P3\n2 1 15\n" + b" ".join(b"%d" % v for px in rgb for v in px) + b"\n",
        b"P2\n3 2\n1\n" + b" ".join(b"%d" % v for v in bits) + b"\n",
    ]
    paths = [ws.write("o%d.pnm" % i, data) for i, data in enumerate(files)]
    run_ok(ws, "-o", "o.tif", *paths)
    check_output(ws, ws.path("o.tif"), [
        Page("gray", 16, 3, 2, [scaled(v, 1000, 65535) for v in grey]),
        Page("rgb", 8, 2, 1, [tuple(scaled(v, 15, 255) for v in px) for px in rgb]),
        Page("bilevel", 1, 3, 2, bits),
    ])


def unwritable_destination(ws):
    page = random_page(RNG, "gray", 8, 5, 2)
    result = ws.run("-o", ws.path("no/such/dir/out.tif"), ws.write("a.pgm", pnm_bytes(page)))
    assert result.returncode == 1, (result.returncode, result.stderr)
    assert "page 1" in result.stderr and "failed with Status" in result.stderr, result.stderr
    assert "(20" in result.stderr, result.stderr
    assert not ws.leftover_temp_files(), ws.leftover_temp_files()


CASES = [
    ("resolution", resolution),
    ("band sizes", band_sizes),
    ("stored settings reused by the next run", settings_persist),
    ("4-bit palettes on request", palette4_on_request),
    ("several images in one PNM file", several_images_in_one_pnm),
    ("maxvals other than 2^n - 1", odd_maxvals),
    ("unwritable destination", unwritable_destination),
]

if __name__ == "__main__":
    run_cases(CASES)
