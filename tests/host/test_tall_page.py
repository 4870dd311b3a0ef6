"""A page far taller than the memory the host may use: the host streams it
band by band, so that a 2000 x 100000 grey page (200 MB of pixels) goes
through under an address-space limit of 64 MiB, and reads back with the
right rows in the right places. Runs the unsanitized copy of the host
(bin/memcheck/), since the sanitizers reserve far more address space."""

import os
import resource
import struct
import subprocess

from host_check import BIN_DIR, run_cases, run_tool

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


def tall_page_streams(ws):
    source = ws.path("tall.pgm")
    write_tall_pgm(source)
    env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp)
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))
    result = subprocess.run([HOST, "-q", "--byte-order", "intel", "--compression", "none", "--band-rows", "256",
                             "-o", "tall.tif", source], cwd=ws.work, env=env, preexec_fn=limit,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=600)
    assert result.returncode == 0, "exit %d: %s" % (result.returncode, result.stderr)
    os.remove(source)
    path = ws.path("tall.tif")
    run_tool(["tiffinfo", path])
    tags = first_directory(path)
    assert (tags[256], tags[257], tags[258], tags[262]) == (WIDTH, HEIGHT, 8, 1), tags
    assert tags[279] == WIDTH * HEIGHT, "one strip of every row: %r" % tags
    with open(path, "rb") as f:
        for y in (0, 1, 255, 256, 257, HEIGHT // 2 + 1, HEIGHT - 1):
            f.seek(tags[273] + y * WIDTH)
            assert f.read(WIDTH) == row(y), "row %d differs" % y


CASES = [("a 200 MB page under a 64 MiB address space", tall_page_streams)]

if __name__ == "__main__":
    if not os.path.exists(HOST):
        raise SystemExit("FAIL: %s is not built" % HOST)
    run_cases(CASES)
