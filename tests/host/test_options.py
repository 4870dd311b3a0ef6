"""Options that change what lands in the file: resolution, band sizes,
options for one run and stored settings as the defaults of later runs, the
job's own registry key, 4-bit palettes on request, several images in one PNM
file, images read from standard input and FIFOs, option spellings; and a
destination that cannot be written, named in the message."""

import os
import random
import sqlite3
import subprocess
import threading

from host_check import (HOST, Page, check_output, png_bytes, pnm_bytes, random_page, read_tiff_file, run_cases,
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


def settings_for_one_run(ws):
    """Options apply to their run only; --save-settings stores them as the
    defaults of later runs; later options still override them."""
    pages = [random_page(RNG, "bilevel", 1, 13, 5), random_page(RNG, "gray", 16, 5, 2)]
    paths = [ws.write("a.pbm", pnm_bytes(pages[0])), ws.write("b.pgm", pnm_bytes(pages[1]))]
    run_ok(ws, "--byte-order", "motorola", "--group4", "-o", "1.tif", *paths)
    check_output(ws, ws.path("1.tif"), pages, ">", group4=True)
    run_ok(ws, "-o", "2.tif", *paths)
    check_output(ws, ws.path("2.tif"), pages, "<", group4=False)
    first = run_ok(ws, "--byte-order", "motorola", "--group4", "--save-settings", "-o", "3.tif", *paths)
    second = run_ok(ws, "-o", "4.tif", *paths)
    assert "MM" in second.stdout and first.stdout.splitlines()[0] == second.stdout.splitlines()[0], second.stdout
    check_output(ws, ws.path("4.tif"), pages, ">", group4=True)
    # Of two options that set the same thing, the later one wins.
    run_ok(ws, "--group4", "--byte-order", "intel", "--compression", "none", "-o", "5.tif", *paths)
    check_output(ws, ws.path("5.tif"), pages, "<", group4=False)
    run_ok(ws, "-o", "6.tif", *paths)
    check_output(ws, ws.path("6.tif"), pages, ">", group4=True)


def fnv1a64(text):
    value = 14695981039346656037
    for byte in text.encode():
        value = ((value ^ byte) * 1099511628211) & (2 ** 64 - 1)
    return "%016x" % value


def registry_keys(ws):
    with sqlite3.connect(os.path.join(ws.registry, "registry.db")) as db:
        return {path for (path,) in db.execute("SELECT path FROM registry_keys")}


def job_keys(ws):
    """Each job runs under a key named from its output file (its canonical
    path): it holds this run's settings, not the user's, and goes once every
    page is in the file; a failed job's key stays for the next job on it."""
    page = random_page(RNG, "gray", 8, 5, 2)
    path = ws.write("a.pgm", pnm_bytes(page))
    run_ok(ws, "--group4", "-o", "k.tif", path)
    jobs = "HKEY_CURRENT_USER\\Software\\Zeduz\\Scan\\Jobs\\"
    assert not [k for k in registry_keys(ws) if k.startswith(jobs)], registry_keys(ws)
    assert "HKEY_CURRENT_USER\\Software\\Zeduz\\Scan\\ZEDUZ-ORID" not in registry_keys(ws)
    ws.write("bad.pgm", pnm_bytes(page)[:-3])
    os.mkdir(ws.path("sub"))
    result = ws.run("-o", os.path.join("sub", "..", "k.tif"), "bad.pgm")
    assert result.returncode == 2, result.stderr
    key = jobs + fnv1a64(os.path.realpath(ws.path("k.tif")))
    assert {key, key + "\\ZEDUZ-ORID"} <= registry_keys(ws), registry_keys(ws)
    run_ok(ws, "--append", "-o", ws.path("k.tif"), path)
    assert key not in registry_keys(ws)
    check_output(ws, ws.path("k.tif"), [page, page])


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


def streams_read_once(ws):
    """Standard input ("-") and FIFOs are read once, in order, with the
    files around them: several images from one stream."""
    pages = [random_page(RNG, "gray", 8, 5, 2), random_page(RNG, "rgb", 8, 3, 3), random_page(RNG, "bilevel", 1, 9, 2)]
    fifo = ws.path("scans.fifo")
    os.mkfifo(fifo)
    feeder = threading.Thread(target=lambda: open(fifo, "wb").write(pnm_bytes(pages[1]) + pnm_bytes(pages[2])))
    feeder.start()
    env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp)
    result = subprocess.run([HOST, "-o", "s.tif", "-", fifo, ws.write("c.pgm", pnm_bytes(pages[0]))], cwd=ws.work,
                            input=pnm_bytes(pages[0]), capture_output=True, env=env, timeout=60)
    feeder.join()
    assert result.returncode == 0, result.stderr
    assert b"standard input" in result.stdout, result.stdout
    check_output(ws, ws.path("s.tif"), [pages[0]] + pages[1:] + [pages[0]])


def missing_output_folder(ws):
    page = random_page(RNG, "gray", 8, 5, 2)
    result = ws.run("-o", ws.path("no/such/dir/out.tif"), ws.write("a.pgm", pnm_bytes(page)))
    assert result.returncode == 2, (result.returncode, result.stderr)
    assert "output folder %s does not exist" % ws.path("no/such/dir") in result.stderr, result.stderr
    assert not ws.leftover_temp_files(), ws.leftover_temp_files()


CASES = [
    ("resolution", resolution),
    ("band sizes", band_sizes),
    ("options for one run, stored settings as defaults", settings_for_one_run),
    ("a registry key per output file", job_keys),
    ("standard input and FIFOs read once", streams_read_once),
    ("4-bit palettes on request", palette4_on_request),
    ("several images in one PNM file", several_images_in_one_pnm),
    ("maxvals other than 2^n - 1", odd_maxvals),
    ("a missing output folder is named", missing_output_folder),
]

if __name__ == "__main__":
    run_cases(CASES)
