"""A page far larger than the memory the host may use: the host streams it
band by band, so that a 2000 x 100000 grey page (200 MB of pixels) goes
through under an address-space limit of 64 MiB, and reads back with the
right rows in the right places; an interlaced PNG of 8000 x 20000 (160 MB of
pixels in a file of a few hundred KB) too, its passes combined on disk. Runs
the unsanitized copy of the host (bin/memcheck/), since the sanitizers
reserve far more address space."""

import os
import resource
import struct
import subprocess
import zlib

from host_check import ADAM7, BIN_DIR, _chunk, run_cases, run_tool

HOST = os.path.join(BIN_DIR, "memcheck", "zeduz-tiff")
WIDTH, HEIGHT = 2000, 100000
ADDRESS_SPACE = 64 << 20
PATTERN = bytes((7 * i) & 0xFF for i in range(WIDTH + 256))


def row(y):
    """Row y: its number in the first three bytes, a shifting ramp after."""
    return y.to_bytes(3, "big") + PATTERN[y % 256:y % 256 + WIDTH - 3]


def write_tall_pgm(path):
    with open(path, "wb") as out:
        out.write(b"P5\n%d %d\n255\n" % (WIDTH, HEIGHT))
        for first in range(0, HEIGHT, 1000):
            out.write(b"".join(row(y) for y in range(first, first + 1000)))


def first_directory(path):
    """{tag: first value} of the first directory of a little-endian TIFF."""
    with open(path, "rb") as f:
        head = f.read(8)
        assert head[:4] == b"II*\0", head
        f.seek(struct.unpack("<I", head[4:])[0])
        (count,) = struct.unpack("<H", f.read(2))
        tags = {}
        for _ in range(count):
            tag, kind, n, value = struct.unpack("<HHII", f.read(12))
            tags[tag] = value & 0xFFFF if kind == 3 and n == 1 else value
        return tags


def write_interlaced_png(path, width, height):
    """Grey 8-bit, Adam7, pixel (x, y) = (x + 3 y) mod 256."""
    ramp = bytes(range(256)) * (width // 256 + 3)
    coder = zlib.compressobj(6)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 1)))
        idat = bytearray()
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                start = (3 * y) % 256 + x0
                idat += coder.compress(b"\0" + ramp[start:start + width - x0:dx])
        idat += coder.flush()
        out.write(_chunk(b"IDAT", bytes(idat)) + _chunk(b"IEND", b""))


def interlaced_row(width, y):
    start = (3 * y) % 256
    return (bytes(range(256)) * (width // 256 + 3))[start:start + width]


def run_limited(ws, source, output):
    env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp)
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))
    result = subprocess.run([HOST, "-q", "--byte-order", "intel", "--compression", "none", "--band-rows", "256",
                             "-o", output, source], cwd=ws.work, env=env, preexec_fn=limit,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=600)
    assert result.returncode == 0, "exit %d: %s" % (result.returncode, result.stderr)
    os.remove(source)
    path = ws.path(output)
    run_tool(["tiffinfo", path])
    return path


def check_rows(path, width, height, expected):
    tags = first_directory(path)
    assert (tags[256], tags[257], tags[258], tags[262]) == (width, height, 8, 1), tags
    assert tags[279] == width * height, "one strip of every row: %r" % tags
    with open(path, "rb") as f:
        for y in (0, 1, 2, 3, 4, 5, 7, 255, 256, 257, height // 2 + 1, height - 2, height - 1):
            f.seek(tags[273] + y * width)
            assert f.read(width) == expected(y), "row %d differs" % y


def tall_page_streams(ws):
    source = ws.path("tall.pgm")
    write_tall_pgm(source)
    check_rows(run_limited(ws, source, "tall.tif"), WIDTH, HEIGHT, row)


def interlaced_png_on_disk(ws):
    width, height = 8000, 20000
    source = ws.path("interlaced.png")
    write_interlaced_png(source, width, height)
    assert os.path.getsize(source) < 2 << 20
    check_rows(run_limited(ws, source, "interlaced.tif"), width, height, lambda y: interlaced_row(width, y))
    assert not os.listdir(ws.tmp), "left in the temp folder: %s" % os.listdir(ws.tmp)


CASES = [("a 200 MB page under a 64 MiB address space", tall_page_streams),
         ("an interlaced PNG of 160 MB of pixels under a 64 MiB address space", interlaced_png_on_disk)]

if __name__ == "__main__":
    if not os.path.exists(HOST):
        raise SystemExit("FAIL: %s is not built" % HOST)
    run_cases(CASES)
