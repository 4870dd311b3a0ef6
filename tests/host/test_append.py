"""Adding pages to an existing file from a second host process (--append),
and --append onto a file that does not exist yet; through a symbolic link,
which stays; keeping the file's permission bits and owner; a second job on
the same file waiting for the first. BigTIFF files, ours and libtiff's, in
both byte orders; a file never converted by an append; a classic file's
4 GB end and a BigTIFF file past it."""

import os
import pty
import random
import stat
import subprocess
import time

from host_check import HOST, check_output, png_bytes, pnm_bytes, random_page, run_cases, run_ok

RNG = random.Random(77)


def append_case(order, group4_first, big=False):
    first = [random_page(RNG, "bilevel" if group4_first else "rgb", 1 if group4_first else 8, 13, 7),
             random_page(RNG, "gray", 8, 5, 3)]
    later = [random_page(RNG, "palette", 8, 7, 4, colours=40), random_page(RNG, "gray", 16, 1, 2)]

    def case(ws):
        paths = [ws.write("a%d.pnm" % i, pnm_bytes(p)) for i, p in enumerate(first)]
        compression = "group4" if group4_first else "none"
        kind = ["--bigtiff"] if big else []
        run_ok(ws, "--byte-order", order[0], "--compression", compression, "-o", "doc.tif", *paths, *kind)
        check_output(ws, ws.path("doc.tif"), first, order[1], group4_first, big=big)
        before = open(ws.path("doc.tif"), "rb").read()
        more = [ws.write("b%d.png" % i, png_bytes(p)) for i, p in enumerate(later)]
        run_ok(ws, "--append", "--band-rows", "1", "-o", "doc.tif", *more, *kind)
        after = open(ws.path("doc.tif"), "rb").read()
        # The pages already there stay byte for byte; only their last
        # next-directory pointer changes.
        changed = [i for i in range(len(before)) if before[i] != after[i]]
        assert len(changed) <= (8 if big else 4), "existing pages changed at %s" % changed[:10]
        check_output(ws, ws.path("doc.tif"), first + later, order[1], group4_first, big=big)
        # A third process adds one more; options are its own, the byte
        # order is the file's.
        last = random_page(RNG, "bilevel", 1, 5, 3)
        run_ok(ws, "--append", "--compression", compression, "-o", "doc.tif", ws.write("c.pbm", pnm_bytes(last)),
               *kind)
        check_output(ws, ws.path("doc.tif"), first + later + [last], order[1], group4_first, big=big)
    return case


def append_to_libtiff_bigtiff(order):
    """A BigTIFF file libtiff wrote (tiffcp -8) takes our pages: its chain is
    walked with 8-byte offsets."""
    pages = [random_page(RNG, "rgb", 8, 9, 4), random_page(RNG, "gray", 16, 5, 3),
             random_page(RNG, "palette", 8, 7, 4, colours=40)]

    def case(ws):
        run_ok(ws, "--byte-order", order[0], "-o", "ours.tif", ws.write("a.ppm", pnm_bytes(pages[0])))
        flag = "-L" if order[1] == "<" else "-B"
        subprocess.run(["tiffcp", "-8", flag, ws.path("ours.tif"), ws.path("doc.tif")], check=True)
        more = [ws.write("b.pgm", pnm_bytes(pages[1])), ws.write("c.png", png_bytes(pages[2]))]
        run_ok(ws, "--append", "--bigtiff", "-o", "doc.tif", *more)
        check_output(ws, ws.path("doc.tif"), pages, order[1], big=True, foreign_pages=1)
    return case


def no_append_converts(ws):
    """Appending with the other kind is refused before anything is written,
    saying what the file is; the same kind goes on."""
    page = random_page(RNG, "gray", 8, 5, 2)
    path = ws.write("g.pgm", pnm_bytes(page))
    for kind, other, said in (([], ["--bigtiff"], "is classic TIFF"), (["--bigtiff"], [], "is BigTIFF")):
        run_ok(ws, "-o", "doc.tif", path, *kind)
        before = open(ws.path("doc.tif"), "rb").read()
        refused = ws.run("--append", "-o", "doc.tif", path, *other)
        assert refused.returncode != 0 and said in refused.stderr, refused.stderr
        assert "does not convert" in refused.stderr, refused.stderr
        assert open(ws.path("doc.tif"), "rb").read() == before, "the file changed"
        run_ok(ws, "--append", "-o", "doc.tif", path, *kind)
        check_output(ws, ws.path("doc.tif"), [page, page], big=bool(kind))


def past_four_gigabytes(ws):
    """Behind 4 GiB of bytes of no page (a sparse tail, as an append cut
    short leaves), a classic file takes no page: 205, its pages kept, and the
    message names BigTIFF; a BigTIFF file takes it there."""
    page = random_page(RNG, "gray", 8, 40, 30)
    path = ws.write("g.pgm", pnm_bytes(page))
    beyond = (4 << 30) + 10
    for kind in ([], ["--bigtiff"]):
        run_ok(ws, "-o", "doc.tif", path, *kind)
        with open(ws.path("doc.tif"), "r+b") as f:
            f.truncate(beyond)
        result = ws.run("--append", "-o", "doc.tif", path, *kind)
        if not kind:
            assert result.returncode != 0 and "205" in result.stderr and "BigTIFF" in result.stderr, result.stderr
            assert os.path.getsize(ws.path("doc.tif")) == beyond
            continue
        assert result.returncode == 0, result.stderr
        data = open(ws.path("doc.tif"), "rb")
        data.seek(beyond)
        tail = data.read()
        assert len(tail) < 2000 and os.path.getsize(ws.path("doc.tif")) > beyond
        # libtiff copies both pages out of the sparse file into a small one.
        subprocess.run(["tiffcp", "-c", "none", ws.path("doc.tif"), ws.path("copy.tif")], check=True)
        check_output(ws, ws.path("copy.tif"), [page, page])
        dump = subprocess.run(["tiffdump", ws.path("doc.tif")], capture_output=True, text=True, check=True).stdout
        assert "Directory 1: offset %d" % (beyond + (beyond & 1)) in dump, dump[:2000]


def mixed_compressions(ws):
    """Raw, Group 4, LZW, Deflate and JPEG pages in one file, each process adding
    pages with the settings the first one stored, under its own options."""
    runs = [(["--byte-order", "motorola", "--compression", "none", "--group4", "--save-settings"],
             [("rgb", 8, 13, 7), ("bilevel", 1, 29, 9)], [1, 1]),
            (["--compression", "lzw", "--band-rows", "3"], [("gray", 8, 7, 5), ("rgb", 16, 5, 4)], [5, 5]),
            (["--compression", "deflate"], [("palette", 8, 9, 3), ("bilevel", 1, 13, 4), ("gray", 16, 3, 6)],
             [8, 1, 8]),
            (["--compression", "jpeg", "--band-rows", "5"], [("rgb", 8, 21, 19), ("gray", 16, 3, 6), ("gray", 8, 9, 17)],
             [7, 8, 7]),
            (["--compression", "none"], [("gray", 8, 11, 2)], [1])]
    pages, compressions = [], []
    for i, (options, shapes, tags) in enumerate(runs):
        more = [random_page(RNG, kind, bits, width, height, 40 if kind == "palette" else None)
                for kind, bits, width, height in shapes]
        paths = [ws.write("m%d-%d.png" % (i, j), png_bytes(p)) for j, p in enumerate(more)]
        run_ok(ws, *(["--append"] if i else []), *options, "-o", "mixed.tif", *paths)
        pages += more
        compressions += tags
    # Group 4 is stored once and stays for the bilevel pages of later runs,
    # up to the last run's none.
    check_output(ws, ws.path("mixed.tif"), pages, ">", True, compressions)


def append_to_missing_file(ws):
    page = random_page(RNG, "gray", 8, 7, 3)
    result = run_ok(ws, "--append", "-o", "new.tif", ws.write("g.pgm", pnm_bytes(page)))
    assert "does not exist" in result.stdout, result.stdout
    check_output(ws, ws.path("new.tif"), [page])


def without_append_replaces(ws):
    pages = [random_page(RNG, "gray", 8, 5, 2) for _ in range(2)]
    run_ok(ws, "-o", "r.tif", ws.write("a.pgm", pnm_bytes(pages[0])))
    run_ok(ws, "-o", "r.tif", ws.write("b.pgm", pnm_bytes(pages[1])))
    check_output(ws, ws.path("r.tif"), [pages[1]])
    assert os.path.getsize(ws.path("r.tif")) < 400


def through_a_link_keeping_mode_and_owner(ws):
    """Pages written through a symbolic link go to the file it names, and
    the link stays; a file replaced keeps its permission bits and owner."""
    pages = [random_page(RNG, "gray", 8, 5, 2) for _ in range(3)]
    paths = [ws.write("p%d.pgm" % i, pnm_bytes(p)) for i, p in enumerate(pages)]
    os.mkdir(ws.path("real"))
    run_ok(ws, "-o", "real/doc.tif", paths[0])
    os.symlink(os.path.join("real", "doc.tif"), ws.path("link.tif"))
    run_ok(ws, "--append", "-o", "link.tif", paths[1])
    assert os.path.islink(ws.path("link.tif"))
    check_output(ws, ws.path("real/doc.tif"), pages[:2])
    os.chmod(ws.path("real/doc.tif"), 0o640)
    owner = (1234, 2345) if os.geteuid() == 0 else (os.getuid(), os.getgid())
    os.chown(ws.path("real/doc.tif"), *owner)
    run_ok(ws, "-o", "link.tif", paths[2])
    info = os.stat(ws.path("real/doc.tif"))
    assert os.path.islink(ws.path("link.tif")) and stat.S_IMODE(info.st_mode) == 0o640, oct(info.st_mode)
    assert (info.st_uid, info.st_gid) == owner, (info.st_uid, info.st_gid)
    check_output(ws, ws.path("real/doc.tif"), pages[2:])


def second_job_waits(ws):
    """While a job on a file runs (here: waiting for its FIFO), a second job
    appending to the same file waits, saying so on a terminal, then adds its
    pages after the first job's; a job on another file does not wait."""
    pages = [random_page(RNG, "gray", 8, 5, 2) for _ in range(3)]
    fifo = ws.path("slow.fifo")
    os.mkfifo(fifo)
    env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp)
    first = subprocess.Popen([HOST, "-q", "-o", "doc.tif", ws.write("a.pgm", pnm_bytes(pages[0])), fifo],
                             cwd=ws.work, env=env, stderr=subprocess.PIPE)
    time.sleep(1)
    terminal, tty = pty.openpty()
    second = subprocess.Popen([HOST, "-q", "--append", "-o", "doc.tif", ws.write("c.pgm", pnm_bytes(pages[2]))],
                              cwd=ws.work, env=env, stderr=tty)
    os.close(tty)
    run_ok(ws, "-q", "-o", "other.tif", ws.path("a.pgm"))
    time.sleep(1)
    assert second.poll() is None, "the second job did not wait"
    said = os.read(terminal, 4096).decode()
    assert "waiting for another job on %s" % os.path.realpath(ws.path("doc.tif")) in said, said
    with open(fifo, "wb") as feed:
        feed.write(pnm_bytes(pages[1]))
    assert first.wait(timeout=60) == 0, first.stderr.read()
    assert second.wait(timeout=60) == 0
    os.close(terminal)
    check_output(ws, ws.path("doc.tif"), pages)


CASES = [
    ("append intel", append_case(("intel", "<"), False)),
    ("append motorola", append_case(("motorola", ">"), False)),
    ("append after a group 4 page", append_case(("intel", "<"), True)),
    ("BigTIFF append intel", append_case(("intel", "<"), False, big=True)),
    ("BigTIFF append motorola after a group 4 page", append_case(("motorola", ">"), True, big=True)),
    ("append to libtiff's BigTIFF intel", append_to_libtiff_bigtiff(("intel", "<"))),
    ("append to libtiff's BigTIFF motorola", append_to_libtiff_bigtiff(("motorola", ">"))),
    ("no append converts a file to or from BigTIFF", no_append_converts),
    ("past 4 GiB: refused in a classic file, taken in a BigTIFF one", past_four_gigabytes),
    ("raw, group 4, LZW, deflate and JPEG pages appended by five processes", mixed_compressions),
    ("append to a missing file starts it", append_to_missing_file),
    ("a new job without --append replaces the file", without_append_replaces),
    ("through a symbolic link, keeping mode and owner", through_a_link_keeping_mode_and_owner),
    ("a second job on the same file waits for the first", second_job_waits),
]

if __name__ == "__main__":
    run_cases(CASES)
