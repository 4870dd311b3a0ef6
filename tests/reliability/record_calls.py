"""Records what a fixed set of jobs does, so that two builds can be compared
call for call and byte for byte.

    record_calls.py OUTDIR           runs the jobs with the build in ZEDUZ_BIN_DIR
    record_calls.py --compare A B    compares two such records
    record_calls.py --expected       rewrites registry_calls.expected (see
                                     test_registry_calls.py) from this build

Every job runs the host (every image format with every compression it
takes, in both byte orders where that matters, pages announced shorter and
longer than they are, pages appended by a second run, an input cut short in
the middle of a page, an append to a file that is not ours) and then the
entry-point test programs, with ZEDUZ_CALL_LOG set (platform/call_log.h):
OUTDIR/<job>.log holds the job's service and registry calls in order, and
OUTDIR/<job>.tif its output file. Needs a test build (fault injection)."""

import filecmp
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "host"))
from host_check import Workspace, png_bytes, pnm_bytes, random_page  # noqa: E402

BIN_DIR = os.environ.get("ZEDUZ_BIN_DIR", "")
HOST = os.path.join(BIN_DIR, "zeduz-tiff")

# (name, kind, bits, file type, compressions, extra host options)
FORMATS = [
    ("rgb48", "rgb", 16, "pnm", ["none", "lzw", "deflate"], []),
    ("rgb24", "rgb", 8, "pnm", ["none", "lzw", "deflate"], []),
    ("gray16", "gray", 16, "pnm", ["none", "lzw", "deflate"], []),
    ("gray8", "gray", 8, "pnm", ["none", "lzw", "deflate"], []),
    ("gray4", "gray", 4, "png", ["none", "lzw", "deflate"], []),
    ("palette8", "palette", 8, "png", ["none", "lzw", "deflate"], []),
    ("palette4", "palette", 4, "png", ["none", "lzw", "deflate"], []),
    ("bilevel", "bilevel", 1, "pnm", ["none", "group4"], []),
]


def source(rng, kind, bits, kind_of_file, width, height):
    page = random_page(rng, kind, bits, width, height)
    return png_bytes(page) if kind_of_file == "png" else pnm_bytes(page)


def smooth_rgb_ppm(width, height):
    """A page large enough for Deflate to share its bands between threads."""
    row = bytes((x * 7 + y) & 0xFF for x in range(width * 3) for y in (0,))
    data = b"".join(row[y % 5:] + row[:y % 5] for y in range(height))
    return b"P6\n%d %d\n255\n" % (width, height) + data


def host_jobs():
    """(job name, [runs of host arguments], {input name: bytes})."""
    rng = random.Random(23)
    jobs = []
    for name, kind, bits, kind_of_file, compressions, extra in FORMATS:
        ext = ".png" if kind_of_file == "png" else ".pnm"
        inputs = {"a" + ext: source(rng, kind, bits, kind_of_file, 37, 23),
                  "b" + ext: source(rng, kind, bits, kind_of_file, 64, 9)}
        orders = ["intel", "motorola"] if bits == 16 or kind == "bilevel" else ["intel"]
        for compression in compressions:
            for order in orders:
                args = ["--compression", compression, "--byte-order", order] + extra
                if kind == "palette" and bits == 4:
                    args.append("--palette4")
                runs = [args + ["-o", "out.tif", "a" + ext, "b" + ext],
                        args + ["--append", "-o", "out.tif", "b" + ext]]
                jobs.append(("%s-%s-%s" % (name, compression, order), runs, inputs))
    gray = {"g.pnm": source(rng, "gray", 8, "pnm", 50, 40)}
    for rows in (10, 40, 90):
        jobs.append(("announce-%d" % rows, [["--announce-rows", str(rows), "-o", "out.tif", "g.pnm", "g.pnm"]],
                     gray))
        jobs.append(("announce-%d-g4" % rows,
                     [["--group4", "--announce-rows", str(rows), "-o", "out.tif", "w.pnm", "w.pnm"]],
                     {"w.pnm": source(rng, "bilevel", 1, "pnm", 70, 40)}))
    big = {"big.ppm": smooth_rgb_ppm(700, 400)}
    for compression in ("deflate", "lzw", "none"):
        jobs.append(("big-" + compression, [["--compression", compression, "-o", "out.tif", "big.ppm", "big.ppm"],
                                            ["--compression", compression, "--append", "-o", "out.tif", "big.ppm"]],
                     big))
    # A page lost: the second input ends in the middle of its rows.
    whole = source(rng, "gray", 8, "pnm", 50, 40)
    jobs.append(("cut-short", [["-o", "out.tif", "g.pnm", "cut.pnm", "g.pnm"], ["--append", "-o", "out.tif", "g.pnm"]],
                 {"g.pnm": whole, "cut.pnm": whole[:len(whole) // 2]}))
    # A failed commit: the file to append to is not one we can continue.
    jobs.append(("not-ours", [["--append", "-o", "out.tif", "g.pnm"]],
                 {"g.pnm": whole, "out.tif": b"II*\x00\x08\x00\x00\x00\xff\xff"}))
    # JPEG pages: the quality is read at each page's begin, and only there.
    jobs.append(("big-jpeg", [["--compression", "jpeg", "--jpeg-quality", "80", "-o", "out.tif", "big.ppm", "big.ppm"],
                              ["--compression", "jpeg", "--append", "-o", "out.tif", "big.ppm"]], big))
    # BigTIFF files: every format with its last compression, in both byte
    # orders, and a page appended by a second run.
    big_rng = random.Random(43)
    for name, kind, bits, kind_of_file, compressions, extra in FORMATS + [("jpeg", "rgb", 8, "pnm", ["jpeg"], [])]:
        ext = ".png" if kind_of_file == "png" else ".pnm"
        inputs = {"a" + ext: source(big_rng, kind, bits, kind_of_file, 37, 23)}
        for order in ("intel", "motorola"):
            args = ["--bigtiff", "--compression", compressions[-1], "--byte-order", order] + extra
            jobs.append(("bigtiff-%s-%s-%s" % (name, compressions[-1], order),
                         [args + ["-o", "out.tif", "a" + ext], args + ["--append", "-o", "out.tif", "a" + ext]],
                         inputs))
    return jobs


# The entry-point test programs whose call sequence does not depend on timing.
# The fault matrix is not among them: it runs a job for each service call,
# so that its calls follow the number of calls a job makes.
TEST_PROGRAMS = [
    ("pages_tests", "-*JobOfALiveProcess*"),
    ("reliability_tests", "-*FaultMatrix.*"),
    ("entry_tests", ""),
]


def run_host_job(outdir, name, runs, inputs):
    ws = Workspace()
    try:
        for file_name, data in inputs.items():
            ws.write(file_name, data)
        log = os.path.join(outdir, name + ".log")
        with open(log, "w") as f:
            f.write("")
        statuses = []
        for args in runs:
            env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp, ZEDUZ_CALL_LOG=log)
            with open(log, "a") as f:
                f.write("== zeduz-tiff %s\n" % " ".join(args))
            result = subprocess.run([HOST, "--quiet"] + args, cwd=ws.work, env=env, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True, timeout=300)
            statuses.append("%d %s" % (result.returncode, result.stderr.strip().replace(ws.root, "<ws>")))
        with open(log, "a") as f:
            f.write("".join("== status %s\n" % s for s in statuses))
        output = ws.path("out.tif")
        if os.path.exists(output):
            with open(output, "rb") as f, open(os.path.join(outdir, name + ".tif"), "wb") as out:
                out.write(f.read())
    finally:
        ws.close()


def run_test_program(outdir, program, exclude):
    log = os.path.join(outdir, program + ".log")
    if os.path.exists(log):
        os.remove(log)
    args = [os.path.join(BIN_DIR, program)]
    if exclude:
        args.append("--gtest_filter=" + exclude)
    env = dict(os.environ, ZEDUZ_CALL_LOG=log)
    result = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            timeout=1800)
    last = result.stdout.strip().splitlines()[-1:] if result.stdout.strip() else [""]
    print("%s: exit %d, %s" % (program, result.returncode, last[0]))


def record(outdir):
    os.makedirs(outdir, exist_ok=True)
    for name, runs, inputs in host_jobs():
        run_host_job(outdir, name, runs, inputs)
    for program, exclude in TEST_PROGRAMS:
        run_test_program(outdir, program, exclude)


def registry_lines(path):
    """The registry calls of a log, and the job lines between them."""
    with open(path, errors="replace") as f:
        return [line for line in f if line.startswith(("Reg", "=="))]


def service_counts(path):
    counts = {}
    with open(path, errors="replace") as f:
        for line in f:
            if not line.startswith(("Reg", "==")):
                name = line.split()[0] if line.strip() else ""
                counts[name] = counts.get(name, 0) + 1
    return counts


def compare(first, second):
    """Outputs byte for byte and registry calls in order must agree; the
    other service calls are listed where their counts differ."""
    names = sorted(set(os.listdir(first)) | set(os.listdir(second)))
    differ = 0
    for name in names:
        a, b = os.path.join(first, name), os.path.join(second, name)
        if not (os.path.exists(a) and os.path.exists(b)):
            print("only in one record:", name)
            differ += 1
        elif name.endswith(".log"):
            if registry_lines(a) != registry_lines(b):
                print("registry calls differ:", name)
                differ += 1
            ca, cb = service_counts(a), service_counts(b)
            changed = ["%s %d -> %d" % (k, ca.get(k, 0), cb.get(k, 0)) for k in sorted(set(ca) | set(cb))
                       if ca.get(k, 0) != cb.get(k, 0)]
            if changed:
                print("service calls of %s: %s" % (name, ", ".join(changed)))
        elif not filecmp.cmp(a, b, shallow=False):
            print("output differs:", name)
            differ += 1
    print("%d files compared, %d differ in output bytes or registry calls" % (len(names), differ))
    return 1 if differ else 0


# The jobs whose registry calls test_registry_calls.py holds to the expected
# sequence: two Group 4 pages and an append to them, an
# input cut short within a page, and a file that cannot be continued.
EXPECTED_JOBS = ["bilevel-group4-intel", "cut-short", "not-ours", "big-jpeg", "bigtiff-bilevel-group4-motorola"]
EXPECTED_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "registry_calls.expected")


def registry_record(outdir):
    """The registry calls of the expected jobs, as registry_calls.expected holds them."""
    lines = []
    for name, runs, inputs in host_jobs():
        if name in EXPECTED_JOBS:
            run_host_job(outdir, name, runs, inputs)
            lines.append("=== %s\n" % name)
            lines.extend(registry_lines(os.path.join(outdir, name + ".log")))
    return lines


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "--expected":
        import tempfile
        with tempfile.TemporaryDirectory() as outdir, open(EXPECTED_FILE, "w") as f:
            f.writelines(registry_record(outdir))
        sys.exit(0)
    if len(sys.argv) == 4 and sys.argv[1] == "--compare":
        sys.exit(compare(sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    record(sys.argv[1])
