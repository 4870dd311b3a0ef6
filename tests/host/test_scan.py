"""Scanning through SANE with its own test backend (a private SANE_CONFIG_DIR
enables it): every page the host writes decodes, with libtiff, Pillow and
ImageMagick, exactly to what scanimage --format=pnm delivers for the same
settings; feeder batches end at the empty feeder; a scanner fault or Ctrl-C
loses the page under way only."""

import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

from host_check import HOST, Page, check_output, run_cases, run_ok

SCANIMAGE = shutil.which("scanimage")
CONFIG = tempfile.mkdtemp(prefix="zeduz-sane-")
with open(os.path.join(CONFIG, "dll.conf"), "w") as f:
    f.write("test\n")
os.environ["SANE_CONFIG_DIR"] = CONFIG
SCANIMAGE_ENV = dict(os.environ)
# The host keeps SANE's backends loaded (keep_modules.c), so that a leak is
# named by its library, and the test backend's own leak is suppressed by name.
KEEP_MODULES = os.path.join(os.environ.get("ZEDUZ_BIN_DIR", ""), "libzeduz_keep_modules.so")
if os.path.exists(KEEP_MODULES):
    os.environ["LD_PRELOAD"] = KEEP_MODULES
    os.environ["ASAN_OPTIONS"] = "detect_leaks=1:verify_asan_link_order=0"
    os.environ["LSAN_OPTIONS"] = "suppressions=" + os.path.join(os.path.dirname(__file__), "sane_test_backend.supp")
DEVICE = "test:0"
FEEDER = {"source": "Automatic Document Feeder"}
PATTERN = {"test-picture": "Color pattern", "resolution": "25", "br-x": "20", "br-y": "13"}


def read_pnm(data, loss=0):
    """scanimage's PNM as the page it must become. scanimage writes SANE's
    lines whole, so with ppl-loss each row carries `loss` pixels more."""
    fields, at = [], 0
    while len(fields) < (3 if data[:2] == b"P4" else 4):
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    body = data[at + 1:]
    width, height = int(fields[1]), int(fields[2])
    if fields[0] == b"P4":
        stride = (width + loss + 7) // 8
        samples = [1 - ((body[y * stride + x // 8] >> (7 - x % 8)) & 1) for y in range(height) for x in range(width)]
        return Page("bilevel", 1, width, height, samples)
    channels = 3 if fields[0] == b"P6" else 1
    bits = 16 if int(fields[3]) > 255 else 8
    size = bits // 8
    stride = (width + loss) * channels * size
    samples = []
    for y in range(height):
        row = body[y * stride:y * stride + width * channels * size]
        values = struct.unpack(">%d%s" % (width * channels, "H" if bits == 16 else "B"), row)
        samples += [tuple(values[3 * x:3 * x + 3]) for x in range(width)] if channels == 3 else list(values)
    return Page("rgb" if channels == 3 else "gray", bits, width, height, samples)


def scanimage_page(settings, loss=0):
    # scanimage takes the bottom-right corner as the area's size (-x, -y).
    short = {"br-x": "-x", "br-y": "-y"}
    args = [SCANIMAGE, "-d", DEVICE, "--format=pnm"]
    for name, value in settings.items():
        args += [short[name], value] if name in short else ["--%s=%s" % (name, value)]
    result = subprocess.run(args, env=SCANIMAGE_ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    assert result.returncode == 0, result.stderr.decode()
    return read_pnm(result.stdout, loss)


def host_args(settings):
    """Mode, depth and resolution through the host's own options, the rest
    as --scan-option."""
    args = []
    for name, value in settings.items():
        own = {"mode": "--mode", "depth": "--depth", "resolution": "--resolution", "source": "--source"}.get(name)
        args += [own, value] if own else ["--scan-option", "%s=%s" % (name, value)]
    return args


def scan(ws, settings, *extra):
    return run_ok(ws, "--scan", DEVICE, "-o", "scan.tif", *extra, *host_args(settings))


# (name, device settings, host options, pixels lost per line)
MIMICS = [
    ("lineart", {"mode": "Gray", "depth": "1"}, ["--compression", "none"], 0),
    ("lineart group 4", {"mode": "Gray", "depth": "1"}, ["--group4"], 0),
    ("grey 8", {"mode": "Gray", "depth": "8"}, [], 0),
    ("grey 16", {"mode": "Gray", "depth": "16"}, [], 0),
    ("colour 8", {"mode": "Color", "depth": "8"}, ["--byte-order", "motorola"], 0),
    ("colour 16", {"mode": "Color", "depth": "16"}, ["--band-rows", "1"], 0),
    ("colour 16 inverted endianness", {"mode": "Color", "depth": "16", "invert-endianess": "yes"}, [], 0),
    ("colour 8 short reads", {"mode": "Color", "depth": "8", "read-limit": "yes", "read-limit-size": "7"}, [], 0),
    ("grey 16 ppl-loss", {"mode": "Gray", "depth": "16", "ppl-loss": "3"}, [], 3),
    ("lineart ppl-loss", {"mode": "Gray", "depth": "1", "ppl-loss": "5"}, [], 5),
]


def mimic_case(settings, extra, loss):
    settings = dict(PATTERN, **settings)

    def case(ws):
        expected = scanimage_page(settings, loss)
        scan(ws, settings, *extra)
        order = ">" if "motorola" in extra else "<"
        check_output(ws, ws.path("scan.tif"), [expected], order, group4="--group4" in extra)
    return case


def hand_scanner(ws):
    """Lines = -1: the page becomes as tall as the rows delivered, whatever
    was announced."""
    settings = {"hand-scanner": "yes", "test-picture": "Color pattern", "resolution": "10"}
    expected = scanimage_page(settings)
    for announced in ("5", "500"):
        scan(ws, settings, "--announce-rows", announced, "--band-rows", "16")
        check_output(ws, ws.path("scan.tif"), [expected])


def feeder_batch(ws):
    """Ten sheets, then the empty feeder ends the job normally."""
    settings = dict(PATTERN, mode="Color", **FEEDER)
    expected = scanimage_page(settings)
    result = scan(ws, settings, "--batch")
    assert "wrote 10 pages" in result.stdout, result.stdout
    check_output(ws, ws.path("scan.tif"), [expected] * 10)


def fault_case(status, words):
    """A fault on the next page: exit 1 naming the page, the pages already in
    the file intact; --append then continues the document."""
    def case(ws):
        settings = dict(PATTERN, mode="Gray", depth="8")
        expected = scanimage_page(settings)
        scan(ws, settings)
        failed = ws.run("--scan", DEVICE, "--append", "-o", "scan.tif", *host_args(settings),
                        "--scan-option", "read-return-value=" + status)
        assert failed.returncode == 1, (failed.returncode, failed.stderr)
        assert words in failed.stderr and "page 1 of this scan was not added" in failed.stderr, failed.stderr
        check_output(ws, ws.path("scan.tif"), [expected])
        scan(ws, settings, "--append")
        check_output(ws, ws.path("scan.tif"), [expected, expected])
    return case


def interrupted_in_page(ws):
    """Ctrl-C while the second sheet is read: the first page stays."""
    settings = dict(PATTERN, mode="Gray", depth="8", **FEEDER)
    expected = scanimage_page(settings)
    slow = dict(settings, **{"read-limit": "yes", "read-limit-size": "1", "read-delay": "yes",
                             "read-delay-duration": "200000"})
    env = dict(os.environ, ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp)
    host = subprocess.Popen([HOST, "--scan", DEVICE, "--batch", "-o", "scan.tif"] + host_args(slow), cwd=ws.work,
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    for line in host.stdout:
        if line.startswith("page 1") and line.rstrip().endswith("done"):
            break
    host.send_signal(signal.SIGINT)
    _, stderr = host.communicate(timeout=120)
    assert host.returncode == 1, (host.returncode, stderr)
    assert "page 2 of this scan was not added: interrupted" in stderr, stderr
    check_output(ws, ws.path("scan.tif"), [expected])


def refusals(ws):
    """What the device lacks is named with what it offers; nothing is written."""
    for args, words in ((["--mode", "Lineart"], 'no mode "Lineart"; it offers: Gray, Color'),
                        (["--scan-option", "no-such=1"], 'no option "no-such"; it offers: mode, depth'),
                        (["--resolution", "5000"], 'no resolution "5000"; it offers: 1..1200')):
        result = ws.run("--scan", DEVICE, "-o", "scan.tif", *args)
        assert result.returncode == 2 and words in result.stderr, (args, result.stderr)
    result = ws.run("--scan", DEVICE, "-o", "scan.tif", "--mode", "Color", "--scan-option", "three-pass=yes")
    assert result.returncode == 1 and "three passes" in result.stderr, result.stderr
    assert not os.path.exists(ws.path("scan.tif"))
    listed = run_ok(ws, "--list-scanners").stdout
    assert listed.startswith("test:0\t"), listed


CASES = [("mimic " + name, mimic_case(settings, extra, loss)) for name, settings, extra, loss in MIMICS]
CASES += [("hand scanner", hand_scanner), ("ten-sheet feeder", feeder_batch),
          ("interrupted in page 2", interrupted_in_page), ("refusals", refusals)]
CASES += [("fault " + status, fault_case(status, words)) for status, words in (
    ("SANE_STATUS_JAMMED", "the paper jammed"), ("SANE_STATUS_COVER_OPEN", "cover is open"),
    ("SANE_STATUS_IO_ERROR", "I/O error"), ("SANE_STATUS_NO_DOCS", "no documents"))]

if __name__ == "__main__":
    if SCANIMAGE is None:
        print("scanimage is missing: install sane-utils")
        sys.exit(1)
    try:
        run_cases(CASES)
    finally:
        shutil.rmtree(CONFIG, ignore_errors=True)
