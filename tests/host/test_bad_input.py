"""Bad input never crashes the host and never leaves a file behind: damaged
PNM and PNG files, unsupported PNGs, bad options, a damaged registry
database; each gives a clear message on stderr and exit code 2. A page the
plug-in refuses gives the status name and number and exit code 1."""

import os
import random
import shutil

from host_check import BIN_DIR, Page, png_bytes, pnm_bytes, random_page, run_cases, run_ok

RNG = random.Random(5)
GOOD_PGM = pnm_bytes(random_page(RNG, "gray", 8, 6, 4))
GOOD_PPM16 = pnm_bytes(random_page(RNG, "rgb", 16, 3, 2))
GOOD_PNG = png_bytes(random_page(RNG, "palette", 4, 5, 3))

# (name, file bytes, words the message must hold)
BAD_FILES = [
    ("truncated P5", GOOD_PGM[:-3], ["truncated"]),
    ("truncated 16-bit P6", GOOD_PPM16[:-1], ["truncated"]),
    ("truncated header", b"P6\n12", ["truncated"]),
    ("maxval 0", b"P5\n2 2\n0\n\0\0\0\0", ["maxval"]),
    ("maxval 70000", b"P5\n2 2\n70000\n" + b"\0" * 16, ["maxval"]),
    ("sample above maxval", b"P2\n2 1\n15\n3 16\n", ["exceeds maxval"]),
    ("zero width", b"P5\n0 5\n255\n", ["no pixels"]),
    ("huge image", b"P6\n4000000 4000000\n255\n\0\0\0", ["too large"]),
    ("width overflowing 32 bits", b"P5\n99999999999 1\n255\n\0", ["too large"]),
    ("letters for a size", b"P5\nab cd\n255\n", ["width"]),
    ("plain bitmap with a 2", b"P1\n2 1\n0 2\n", ["0 or 1"]),
    ("not an image", b"hello world", ["not a PNM"]),
    ("empty file", b"", ["not a PNM"]),
    ("PNG with alpha", png_bytes(random_page(RNG, "rgb", 8, 3, 2), extra_alpha=True), ["alpha"]),
    ("grey PNG with alpha", png_bytes(random_page(RNG, "gray", 8, 3, 2), extra_alpha=True), ["alpha"]),
    ("truncated PNG", GOOD_PNG[:40], ["PNG"]),
    ("PNG with a broken checksum", GOOD_PNG[:30] + bytes([GOOD_PNG[30] ^ 0xFF]) + GOOD_PNG[31:], ["PNG"]),
    ("palette PNG index beyond the palette",
     png_bytes(Page("palette", 4, 2, 1, [0, 9], [(1, 2, 3), (4, 5, 6)])), ["beyond the palette"]),
]


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


def missing_input(ws):
    refused(ws, ["-o", "out.tif", ws.path("nothing.pgm")], ["nothing.pgm", "cannot open"])


def bad_options(ws):
    for args, words in [(["--band-rows", "x"], ["--band-rows"]), (["--byte-order", "big"], ["--byte-order"]),
                        (["--compression", "lzw"], ["--compression"]), (["--dpi", "0"], ["--dpi"]),
                        (["--resolution", "300,"], ["--resolution"]), (["--frobnicate"], ["unknown option"]),
                        (["-o"], ["needs a value"]), (["--plugin", "/nonexistent/plugin.so"], ["cannot load"]),
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


def output_is_an_input(ws):
    path = ws.write("a.pgm", GOOD_PGM)
    refused(ws, ["-o", "a.pgm", path], ["also an input"])
    refused(ws, ["-o", path, "a.pgm"], ["also an input"])
    assert open(path, "rb").read() == GOOD_PGM


def help_text(ws):
    result = run_ok(ws, "--help")
    for option in ("--output", "--append", "--byte-order", "--group4", "--band-rows", "--dpi", "--plugin"):
        assert option in result.stdout, option


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
    ("missing input", missing_input),
    ("bad options", bad_options),
    ("plug-in without its resource library", plugin_without_resources),
    ("damaged registry database", damaged_registry),
    ("output file that is also an input", output_is_an_input),
    ("help", help_text),
    ("append in the other byte order is refused", other_byte_order_append_refused),
    ("append to a file that is not a TIFF is refused", append_to_non_tiff_refused),
    ("mutated inputs never crash", mutated_inputs_never_crash),
]

if __name__ == "__main__":
    run_cases(CASES)
