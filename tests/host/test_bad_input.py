"""Bad input never crashes the host: damaged PNM and PNG files, unsupported
PNGs, bad options, a damaged registry database; each gives a clear message on
stderr and exit code 2. A bad header leaves no file behind; damage past the
header, found while the page is written, drops that page and keeps the pages
before it. A page the
plug-in refuses gives the status name and number and exit code 1."""

import os
import random
import re
import shutil
import socket
import sqlite3
import stat
import subprocess

from host_check import BIN_DIR, HOST, Page, check_output, png_bytes, pnm_bytes, random_page, run_cases, run_ok

RNG = random.Random(5)
GOOD_GREY = random_page(RNG, "gray", 8, 6, 4)
GOOD_PGM = pnm_bytes(GOOD_GREY)
GOOD_PPM16 = pnm_bytes(random_page(RNG, "rgb", 16, 3, 2))
GOOD_PNG = png_bytes(random_page(RNG, "palette", 4, 5, 3))

# Headers the host refuses before the job starts: (name, file bytes, words
# the message must hold)
BAD_FILES = [
    ("truncated header", b"P6\n12", ["truncated"]),
    ("maxval 0", b"P5\n2 2\n0\n\0\0\0\0", ["maxval"]),
    ("maxval 70000", b"P5\n2 2\n70000\n" + b"\0" * 16, ["maxval"]),
    ("bad header of a later image in the file", GOOD_PGM + b"P5\n0 5\n255\n", ["no pixels"]),
    ("bad header after a plain image", pnm_bytes(GOOD_GREY, plain=True) + b"P2\n2 2\n0\n", ["maxval"]),
    ("zero width", b"P5\n0 5\n255\n", ["no pixels"]),
    ("huge image", b"P6\n4000000 4000000\n255\n\0\0\0", ["too large"]),
    ("width overflowing 32 bits", b"P5\n99999999999 1\n255\n\0", ["too large"]),
    ("letters for a size", b"P5\nab cd\n255\n", ["width"]),
    ("not an image", b"hello world", ["not a PNM"]),
    ("empty file", b"", ["not a PNM"]),
    ("PNG with alpha", png_bytes(random_page(RNG, "rgb", 8, 3, 2), extra_alpha=True), ["alpha"]),
    ("grey PNG with alpha", png_bytes(random_page(RNG, "gray", 8, 3, 2), extra_alpha=True), ["alpha"]),
    ("truncated PNG", GOOD_PNG[:40], ["PNG"]),
    ("PNG with a broken checksum", GOOD_PNG[:30] + bytes([GOOD_PNG[30] ^ 0xFF]) + GOOD_PNG[31:], ["PNG"]),
]


def cut_in_row(page, row, plain=False):
    """The PNM bytes of a page, ending in the middle of row `row` (from 0)."""
    data = pnm_bytes(page, plain)
    per_row = page.width * (3 if page.kind == "rgb" else 1)
    if plain:
        samples = list(re.finditer(rb"\S+", data))[-per_row * page.height:]
        return data[:samples[row * per_row + per_row // 2].start()]
    row_bytes = (page.width + 7) // 8 if page.kind == "bilevel" else per_row * (2 if page.bits == 16 else 1)
    return data[:len(data) - (page.height - row) * row_bytes + row_bytes // 2]


def png_cut_in_pixels(damage):
    """A 13 x 20 grey PNG whose pixels stop (damage "cut") or go wrong
    (damage "checksum") halfway through the file."""
    data = png_bytes(random_page(RNG, "gray", 8, 13, 20), idat_size=16)
    middle = len(data) // 2
    if damage == "cut":
        return data[:middle]
    return data[:middle] + bytes([data[middle] ^ 0x55]) + data[middle + 1:]


# Damage past the header, found while the page is written: (name, file
# bytes, the earlier images of the same file, the message as a pattern).
DAMAGED_PAGES = [
    ("truncated P5", GOOD_PGM[:-3], [], r"bad\.img: truncated at row 4 of 4$"),
    ("truncated 16-bit P6", GOOD_PPM16[:-1], [], r"bad\.img: truncated at row 2 of 2$"),
    ("sample above maxval", b"P2\n2 1\n15\n3 16\n", [], r"bad\.img: sample 16 exceeds maxval 15 at row 1 of 1$"),
    ("plain bitmap with a 2", b"P1\n2 1\n0 2\n", [], r"bad\.img: bad bitmap pixel: expected 0 or 1 at row 1 of 1$"),
    ("palette PNG index beyond the palette", png_bytes(Page("palette", 4, 2, 1, [0, 9], [(1, 2, 3), (4, 5, 6)])),
     [], r"bad\.img: pixel index 9 lies beyond the palette of 2 colours at row 1 of 1$"),
    ("PNG cut in its pixels", png_cut_in_pixels("cut"), [], r"bad\.img: truncated at row ([2-9]|1\d) of 20$"),
    ("PNG with a broken pixel chunk", png_cut_in_pixels("checksum"), [],
     r"bad\.img: damaged PNG \(.*CRC.*\) at row ([2-9]|1\d) of 20$"),
]
# (format, kind, bits, width, plain): at width 16 raw grey and colour rows
# lie in the band as in the file, and a band's rows come in one read.
LATER_IMAGE_CUTS = [(name, kind, bits, 13, plain) for plain in (False, True)
                    for name, kind, bits in (("PBM", "bilevel", 1), ("PGM", "gray", 16), ("PPM", "rgb", 8))]
LATER_IMAGE_CUTS += [("PGM", "gray", 16, 16, False), ("PPM", "rgb", 8, 16, False)]
for _name, _kind, _bits, _width, _plain in LATER_IMAGE_CUTS:
    _first, _tall = random_page(RNG, _kind, _bits, _width, 3), random_page(RNG, _kind, _bits, _width, 9)
    DAMAGED_PAGES.append(("%s %s %d wide cut in a later image" % ("plain" if _plain else "raw", _name, _width),
                          pnm_bytes(_first, _plain) + cut_in_row(_tall, 5, _plain), [_first],
                          r"bad\.img: truncated at row 6 of 9$"))


def no_sanitizer_report(result):
    assert "Sanitizer" not in result.stderr and "runtime error" not in result.stderr, result.stderr


def refused(ws, args, words, code=2):
    result = ws.run(*args)
    no_sanitizer_report(result)
    assert result.returncode == code, "exit %d, expected %d: %s" % (result.returncode, code, result.stderr)
    assert "error:" in result.stderr, result.stderr
    for word in words:
        assert word in result.stderr, "message lacks %r: %s" % (word, result.stderr)
    return result


def bad_file_case(data, words):
    def case(ws):
        path = ws.write("bad.img", data)
        # A good page before it: nothing may be written when any input is bad.
        good = ws.write("good.pgm", GOOD_PGM)
        refused(ws, ["-o", "out.tif", good, path], words + ["bad.img"])
        assert not os.path.exists(ws.path("out.tif")), "output written despite bad input"
    return case


def damaged_page_case(data, earlier, message):
    def case(ws):
        good = ws.write("good.pgm", GOOD_PGM)
        path = ws.write("bad.img", data)
        # Bands of two rows: some of the damaged page has reached the plug-in.
        result = refused(ws, ["--band-rows", "2", "-o", "out.tif", good, path], [])
        assert re.search(message, result.stderr.strip()), result.stderr
        kept = 1 + len(earlier)
        assert "kept the %d page" % kept in result.stdout, result.stdout
        check_output(ws, ws.path("out.tif"), [GOOD_GREY] + earlier)
    return case


def damage_while_appending(ws):
    """The pages of the file appended to stay as they were."""
    first = random_page(RNG, "rgb", 8, 7, 3)
    run_ok(ws, "-o", "doc.tif", ws.write("a.ppm", pnm_bytes(first)))
    before = open(ws.path("doc.tif"), "rb").read()
    bad = ws.write("bad.pgm", cut_in_row(random_page(RNG, "gray", 8, 13, 9), 5))
    refused(ws, ["--append", "--band-rows", "2", "-o", "doc.tif", bad], ["bad.pgm: truncated at row 6 of 9"])
    assert open(ws.path("doc.tif"), "rb").read() == before, "existing file changed"
    check_output(ws, ws.path("doc.tif"), [first])


def missing_input(ws):
    refused(ws, ["-o", "out.tif", ws.path("nothing.pgm")], ["nothing.pgm", "cannot open"])


def bad_options(ws):
    for args, words in [(["--band-rows", "x"], ["--band-rows"]), (["--byte-order", "big"], ["--byte-order"]),
                        (["--compression", "webp"], ["--compression"]),
                        (["--jpeg-quality", "101"], ["--jpeg-quality"]), (["--dpi", "0"], ["--dpi"]),
                        (["--announce-rows", "0"], ["--announce-rows"]),
                        (["--resolution", "300,"], ["--resolution"]), (["--frobnicate"], ["unknown option"]),
                        (["-o"], ["needs a value"]), (["--append=yes"], ["--append", "takes no value"]),
                        (["--plugin", "/nonexistent/plugin.so"], ["cannot load"]),
                        (["-o", "x" * 300 + ".tif"], ["too long"])]:
        refused(ws, args, words)
    assert not any(name.endswith(".tif") for name in os.listdir(ws.work))


def plugin_without_resources(ws):
    """A plug-in whose resource library is missing answers every command
    with StatusNoResources; the host names it and stops."""
    lonely = os.path.join(ws.root, "lonely")
    os.makedirs(lonely)
    shutil.copy(os.path.join(BIN_DIR, "libzeduztiff.so"), lonely)
    refused(ws, ["--plugin", os.path.join(lonely, "libzeduztiff.so"), "-o", "x.tif"],
            ["CmdInitialize failed with StatusNoResources (213)"], code=1)
    assert not os.path.exists(ws.path("x.tif"))
    refused(ws, ["--plugin", "/bin/sh", "-o", "x.tif"], ["cannot load"])
    refused(ws, ["--plugin", os.path.join(BIN_DIR, "Vizazira.so"), "-o", "x.tif"], ["no entry point ZUVadeZoduv"])


def damaged_registry(ws):
    """A registry database that cannot be used stops the job before the
    plug-in is loaded, with a message naming the database, and is left as
    it was."""
    good = ws.write("good.pgm", GOOD_PGM)
    run_ok(ws, "-o", "first.tif", good)
    database = os.path.join(ws.registry, "registry.db")
    for suffix in ("", "-wal", "-shm"):
        if os.path.exists(database + suffix):
            os.remove(database + suffix)
    garbage = b"not a registry\n" * 300
    with open(database, "wb") as f:
        f.write(garbage)
    refused(ws, ["--group4", "-o", "out.tif", good], [database, "damaged", "registry error 1009"])
    assert open(database, "rb").read() == garbage
    os.remove(database)
    os.makedirs(database)
    refused(ws, ["-o", "out.tif", good], [database, "registry error 1011"])
    assert not os.path.exists(ws.path("out.tif"))
    # Locked by another program for longer than the host waits: the job
    # stops after the bounded wait, naming the database and the lock.
    os.rmdir(database)
    run_ok(ws, "-o", "first.tif", good)
    holder = sqlite3.connect(database, isolation_level=None, timeout=1)
    holder.execute("BEGIN EXCLUSIVE")
    try:
        refused(ws, ["-o", "out.tif", good], [database, "locked", "registry error 33"])
    finally:
        holder.execute("COMMIT")
        holder.close()
    assert not os.path.exists(ws.path("out.tif"))


def alias(kind):
    """A way of naming a.pgm again as the output: (output argument, inputs)."""
    def make(ws):
        if kind == "hard link":
            os.link(ws.path("a.pgm"), ws.path("b.tif"))
            return "b.tif", ["a.pgm"]
        if kind == "symbolic link":
            os.symlink("a.pgm", ws.path("b.tif"))
            return "b.tif", ["a.pgm"]
        return {"same name": ("a.pgm", ["a.pgm"]), "full path": (ws.path("a.pgm"), ["a.pgm"]),
                "./ spelling": ("./a.pgm", [ws.write("c.pgm", GOOD_PGM), "a.pgm"]),
                "folder spelling": (os.path.join("..", "work", "a.pgm"), ["a.pgm"])}[kind]
    return make


ALIASES = ["same name", "full path", "./ spelling", "folder spelling", "hard link", "symbolic link"]


def output_is_an_input(ws):
    """Whatever names an input as the output is refused before anything is
    written, the input as it was."""
    for kind in ALIASES:
        path = ws.write("a.pgm", GOOD_PGM)
        output, inputs = alias(kind)(ws)
        refused(ws, ["-o", output] + inputs, ["also an input"])
        assert open(path, "rb").read() == GOOD_PGM, kind
        for name in ("b.tif", "c.pgm"):
            if os.path.lexists(ws.path(name)):
                os.remove(ws.path(name))
    # Standard input read from the output file.
    with open(ws.path("a.pgm"), "rb") as stdin:
        result = subprocess.run([HOST, "-o", "a.pgm", "-"], cwd=ws.work, stdin=stdin, capture_output=True, text=True,
                                env=dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp))
    assert result.returncode == 2 and "also an input" in result.stderr, result.stderr
    assert open(ws.path("a.pgm"), "rb").read() == GOOD_PGM


def special_output(kind):
    def make(path):
        if kind == "device":
            os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        elif kind == "FIFO":
            os.mkfifo(path)
        elif kind == "folder":
            os.mkdir(path)
        else:
            server = socket.socket(socket.AF_UNIX)
            server.bind(path)
            return server
        return None
    return make


def outputs_that_are_not_files(ws):
    """A device, FIFO, folder or socket as the output is refused and stays
    what it was (the device a scratch node made here, never the system's)."""
    good = ws.write("good.pgm", GOOD_PGM)
    for kind, test in (("device", stat.S_ISCHR), ("FIFO", stat.S_ISFIFO), ("folder", stat.S_ISDIR),
                       ("socket", stat.S_ISSOCK)):
        if kind == "device" and os.geteuid() != 0:
            continue
        path = ws.path("node-" + kind)
        keep = special_output(kind)(path)
        refused(ws, ["-o", path, good], ["is a " + kind, "not a regular file"])
        refused(ws, ["--append", "-o", path, good], ["is a " + kind])
        assert test(os.lstat(path).st_mode), "%s replaced" % kind
        if keep:
            keep.close()
    os.symlink("nowhere.tif", ws.path("dangling.tif"))
    refused(ws, ["-o", "dangling.tif", good], ["symbolic link to a file that does not exist"])
    assert not ws.leftover_temp_files()


def folder_as_input(ws):
    os.mkdir(ws.path("scans"))
    refused(ws, ["-o", "out.tif", ws.write("good.pgm", GOOD_PGM), "scans"], ["scans: is a folder"])
    assert not os.path.exists(ws.path("out.tif"))


def help_and_version(ws):
    result = run_ok(ws, "--help")
    for option in ("--output", "--append", "--palette4", "--byte-order", "--compression", "--group4", "--dpi",
                   "--resolution", "--band-rows", "--announce-rows", "--plugin", "--quiet", "--save-settings",
                   "--version", "this run only", "standard input"):
        assert option in result.stdout, option
    # The plug-in's version is read from the library loaded, by default or
    # with --plugin; a library without a version note says so.
    version = os.environ["ZEDUZ_VERSION"]
    plugin = os.path.join(BIN_DIR, "libzeduztiff.so")
    for args in (["--version"], ["-V", "--plugin", plugin]):
        result = run_ok(ws, *args)
        assert result.stdout == "zeduz-tiff %s\nplug-in %s (%s)\n" % (version, version, plugin), result.stdout
    without_note = os.path.join(BIN_DIR, "memcheck", "libzeduztiff.so")  # the valgrind copy has none
    result = run_ok(ws, "--version", "--plugin", without_note)
    assert "plug-in of unknown version (%s)" % without_note in result.stdout, result.stdout
    refused(ws, ["--version", "--plugin", os.path.join(BIN_DIR, "Vizazira.so")], ["no entry point ZUVadeZoduv"])


def other_byte_order_append_refused(ws):
    pages = [random_page(RNG, "gray", 8, 5, 2) for _ in range(2)]
    run_ok(ws, "--byte-order", "intel", "-o", "doc.tif", ws.write("a.pgm", pnm_bytes(pages[0])))
    before = open(ws.path("doc.tif"), "rb").read()
    result = refused(ws, ["--append", "--byte-order", "motorola", "-o", "doc.tif",
                          ws.write("b.pgm", pnm_bytes(pages[1]))], ["failed with", "("], code=1)
    assert "Status" in result.stderr, result.stderr
    assert open(ws.path("doc.tif"), "rb").read() == before, "existing file changed"
    assert not ws.leftover_temp_files()


def append_to_non_tiff_refused(ws):
    path = ws.write("notes.tif", b"these are not pages\n")
    refused(ws, ["--append", "-o", path, ws.write("a.pgm", GOOD_PGM)], ["failed with"], code=1)
    assert open(path, "rb").read() == b"these are not pages\n"


def mutated_inputs_never_crash(ws):
    """Fuzz-ish: random byte changes to good files give success or a clear
    refusal, nothing else."""
    rng = random.Random(99)
    seeds = [GOOD_PGM, GOOD_PPM16, GOOD_PNG, pnm_bytes(random_page(rng, "bilevel", 1, 9, 3))]
    for round_ in range(40):
        data = bytearray(rng.choice(seeds))
        for _ in range(rng.randint(1, 4)):
            data[rng.randrange(min(len(data), 24))] = rng.randrange(256)
        if rng.random() < 0.3:
            data = data[:rng.randrange(len(data))]
        path = ws.write("m%d.img" % round_, bytes(data))
        result = ws.run("--quiet", "-o", "m.tif", path)
        no_sanitizer_report(result)
        assert result.returncode in (0, 2), "exit %d on %r: %s" % (result.returncode, bytes(data), result.stderr)
        assert result.returncode == 0 or "error:" in result.stderr


CASES = [("bad file: " + name, bad_file_case(data, words)) for name, data, words in BAD_FILES] + [
    ("damaged page: " + name, damaged_page_case(data, earlier, message))
    for name, data, earlier, message in DAMAGED_PAGES] + [
    ("damage while appending", damage_while_appending),
    ("missing input", missing_input),
    ("bad options", bad_options),
    ("plug-in without its resource library", plugin_without_resources),
    ("damaged registry database", damaged_registry),
    ("output file that is also an input, under any name or link", output_is_an_input),
    ("outputs that are not regular files", outputs_that_are_not_files),
    ("a folder as input", folder_as_input),
    ("help and version", help_and_version),
    ("append in the other byte order is refused", other_byte_order_append_refused),
    ("append to a file that is not a TIFF is refused", append_to_non_tiff_refused),
    ("mutated inputs never crash", mutated_inputs_never_crash),
]

if __name__ == "__main__":
    run_cases(CASES)
