"""Crash safety: the host is killed (SIGKILL) at many points of a multi-page
job, Group 4 pages, a page appended in several chunks (coded in two
strips) and pages shorter and longer than announced included; then (with a third as many kill points)
with JPEG for the colour and grey pages, and (with half as many) the same
pages as Group 3 2-D and PackBits ones. The
platform layer of the test build kills the process at its N-th service call
(ZEDUZ_CRASH_AT_CALL), so the kills land inside commands as well as between
them: between an append and the link that makes it a page, inside a chunked
append, before and after the registry learns of a commit.

After every kill the output is a valid TIFF holding exactly a prefix of the
pages, pixel for pixel (libtiff's tiffinfo -D, tiffdump, tiffcp), never fewer
pages than after an earlier kill point; a new host process then adds the
missing pages with --append (every tenth time: writes the document anew),
and the file holds the whole document, with no page file left behind and
no bytes behind its last page that no directory names.

ZEDUZ_CRASH_POINTS sets how many kill points are drawn (default 120);
ZEDUZ_CRASH_ALL=1 kills at every service call of the job (some minutes)."""

import os
import random
import shutil
import struct
import sys

sys.path.insert(0, os.path.join(os.environ.get("ZEDUZ_SOURCE_DIR", ""), "tests", "host"))
from host_check import (Workspace, check_output, check_with_libtiff, jpeg_suits, libtiff_jpeg,  # noqa: E402
                        pnm_bytes, random_page, read_tiff_file, run_ok)

RNG = random.Random(20261208)
KILL_POINTS = int(os.environ.get("ZEDUZ_CRASH_POINTS", "120"))


# Every page is begun announcing 20 rows: the first has as many, the others
# more (long pages) or fewer (short pages), so that their heights are
# rewritten at the end of the page.
ANNOUNCED_ROWS = "20"


# Black and white pages are Group 4 coded, all others Deflate coded; in the
# second job the others JPEG coded (Deflate where JPEG does not suit them); in
# the third Group 3 2-D and PackBits coded. Each: its --compression options,
# the check_output arguments that say so, and its share of the kill points.
JOBS = [
    (["--compression", "group4", "--compression", "deflate"], {"group4": True, "compression": 8}, 1.0),
    (["--compression", "group4", "--compression", "jpeg"], {"group4": True, "compression": 7}, 1 / 3),
    (["--compression", "packbits", "--compression", "g3-2d"], {"compression": 32773, "bilevel": 3}, 0.5),
    # A BigTIFF file: 8-byte links, LONG8 strips, and the same promises.
    (["--bigtiff", "--compression", "group4", "--compression", "lzw"], {"group4": True, "compression": 5, "big": True},
     1 / 3),
]


def make_pages():
    return [
        random_page(RNG, "gray", 8, 30, 20),
        random_page(RNG, "bilevel", 1, 45, 33),           # Group 4, long
        random_page(RNG, "rgb", 8, 300, 300),              # 270,000 bytes: append chunks, two coded strips; long
        random_page(RNG, "palette", 8, 11, 9, colours=50),  # short
        random_page(RNG, "bilevel", 1, 20, 9),            # Group 4 again, short
    ]


class Job:
    def __init__(self, ws, pages, compression, coded):
        self.ws = ws
        self.pages = pages
        self.compression = compression
        self.coded = coded
        # What the pages decode to as this job writes them.
        jpeg = coded["compression"] == 7
        self.expected = [libtiff_jpeg(p) if jpeg and jpeg_suits(p) else p for p in pages]
        self.inputs = [ws.write("p%d.pnm" % i, pnm_bytes(p)) if p.kind != "palette" else None
                       for i, p in enumerate(pages)]
        # Palette pages come from PNG (PNM has no palette).
        from host_check import png_bytes
        for i, p in enumerate(pages):
            if p.kind == "palette":
                self.inputs[i] = ws.write("p%d.png" % i, png_bytes(p))
        self.output = ws.path("doc.tif")

    def remove_output(self):
        if os.path.exists(self.output):
            os.remove(self.output)

    def run(self, first=0, append=False, crash_at=None):
        args = ["--byte-order", "intel"] + self.compression + ["--band-rows", "7",
                "--announce-rows", ANNOUNCED_ROWS, "-o", self.output] + (["--append"] if append else []) + self.inputs[first:]
        if crash_at is None:
            os.environ.pop("ZEDUZ_CRASH_AT_CALL", None)
        else:
            os.environ["ZEDUZ_CRASH_AT_CALL"] = str(crash_at)
        try:
            return self.ws.run(*args)
        finally:
            os.environ.pop("ZEDUZ_CRASH_AT_CALL", None)

    def committed_pages(self):
        if not os.path.exists(self.output):
            return 0
        _, directories = read_tiff_file(self.output)
        return len(directories)


TYPE_BYTES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8, 13: 4, 16: 8, 17: 8, 18: 8}


def unreferenced_bytes(path):
    """Bytes at the end of a classic or BigTIFF file that neither the header
    nor any directory names (one pad byte to a word boundary aside)."""
    with open(path, "rb") as f:
        data = f.read()
    order = "<" if data[:2] == b"II" else ">"
    big = struct.unpack(order + "H", data[2:4])[0] == 43
    # Entry count, entry, count and offset sizes.
    count_bytes, entry_bytes, word, word_code = (8, 20, 8, "Q") if big else (2, 12, 4, "I")
    end = 16 if big else 8
    directory = struct.unpack(order + word_code, data[8:16] if big else data[4:8])[0]
    while directory:
        count = struct.unpack(order + ("Q" if big else "H"), data[directory:directory + count_bytes])[0]
        end = max(end, directory + count_bytes + entry_bytes * count + word)
        pieces = {}
        for i in range(count):
            start = directory + count_bytes + entry_bytes * i
            entry = data[start:start + entry_bytes]
            tag, kind, n = struct.unpack(order + "HH" + word_code, entry[:4 + word])
            size = TYPE_BYTES[kind] * n
            at = start + 4 + word if size <= word else struct.unpack(order + word_code, entry[4 + word:])[0]
            end = max(end, at + size)
            if tag in (273, 279):
                form = order + {3: "H", 4: "I", 16: "Q"}[kind] * n
                pieces[tag] = struct.unpack(form, data[at:at + size])
        for offset, length in zip(pieces.get(273, ()), pieces.get(279, ())):
            end = max(end, offset + length)
        next_field = directory + count_bytes + entry_bytes * count
        directory = struct.unpack(order + word_code, data[next_field:next_field + word])[0]
    tail = len(data) - end
    return 0 if tail == 1 and end % 2 else tail


def fresh_start(job):
    """No output, no page files, no registry: every run makes the same calls."""
    job.remove_output()
    for directory in (job.ws.tmp, job.ws.registry):
        shutil.rmtree(directory)
        os.makedirs(directory)


def calls_of_a_clean_job(job):
    """The service calls a whole job makes: the smallest crash point that the
    job no longer reaches."""
    def killed(point):
        fresh_start(job)
        return job.run(crash_at=point).returncode != 0

    low, high = 1, 1
    while killed(high):
        low, high = high, high * 2
    while low < high:
        middle = (low + high) // 2
        if killed(middle):
            low = middle + 1
        else:
            high = middle
    return low - 1


def kill_and_recover(ws, job, share, failures):
    """Kills the job at its drawn points, recovers each time and checks."""
    total = calls_of_a_clean_job(job)
    if os.environ.get("ZEDUZ_CRASH_ALL"):
        points = list(range(1, total + 1))  # every call: a long run, by hand
    else:
        count = max(1, int(KILL_POINTS * share))
        points = sorted(set([1, total] + RNG.sample(range(1, total + 1), min(count, total))))
    print("%s: a clean job makes %d service calls; killing at %d of them" % (" ".join(job.compression), total,
                                                                            len(points)))
    highest = 0
    leftovers = 0
    for n, point in enumerate(points):
        fresh_start(job)
        try:
            killed = job.run(crash_at=point)
            left_by_kill = set(ws.leftover_temp_files())
            assert killed.returncode == -9, "not killed at call %d: %d %s" % (point, killed.returncode,
                                                                              killed.stderr)
            committed = job.committed_pages()
            assert committed >= highest, "%d pages after a later kill, %d before" % (committed, highest)
            highest = committed
            if committed:
                check_with_libtiff(job.output, job.expected[:committed], ws)
            # A new process finishes the job, or (now and then) starts it again.
            if n % 10 == 9:
                run_ok(ws, "--band-rows", "7", "-o", job.output, *job.inputs)  # the stored settings
            elif committed < len(job.pages):
                result = job.run(first=committed, append=committed > 0)
                assert result.returncode == 0, "recovery after call %d: %s" % (point, result.stderr)
                # What an append cut short left behind the last page is reclaimed.
                assert unreferenced_bytes(job.output) == 0, "%d bytes no page names" % (
                    unreferenced_bytes(job.output))
            else:  # the document is complete; the next job on it (here: writing it anew) clears what is left
                assert job.run().returncode == 0, "the next job after call %d failed" % point
            # Whatever page file the kill left, the registry names it,
            # and the recovering job deletes it.
            assert not ws.leftover_temp_files(), "page files left: %s (after the kill: %s)" % (
                ws.leftover_temp_files(), sorted(left_by_kill))
            # A copy being renamed into place when the kill came stays
            # beside the output: its name is known to no one.
            strays = [name for name in os.listdir(ws.work) if name.startswith("~TF")]
            leftovers += len(strays)
            for name in strays:
                os.remove(os.path.join(ws.work, name))
            if n % 10 == 0:
                check_output(ws, job.output, job.pages, "<", **job.coded)  # every reader
            else:  # written anew with the stored settings (none), every page is lossless
                check_with_libtiff(job.output, job.pages if n % 10 == 9 else job.expected, ws)
        except AssertionError as failure:
            failures.append("kill at call %d: %s" % (point, failure))
            print("FAILED kill at call %d: %s" % (point, failure))
    print("%d kill points, %d failures; %d kills left a copy beside the output" % (
        len(points), len(failures), leftovers))


def main():
    if not os.environ.get("ZEDUZ_BIN_DIR"):
        print("ZEDUZ_BIN_DIR is not set")
        return 1
    failures = []
    pages = make_pages()
    for compression, coded, share in JOBS:
        ws = Workspace()
        try:
            job = Job(ws, pages, compression, coded)
            if job.run(crash_at=1).returncode != -9:
                print("this build has no crash hook (ZEDUZ_FAULT_INJECTION off); nothing to test")
                return 0
            kill_and_recover(ws, job, share, failures)
        finally:
            ws.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
