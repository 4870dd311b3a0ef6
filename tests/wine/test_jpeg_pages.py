"""JPEG pages through the Windows host and the plug-in DLL under Wine (each
Windows flavour): colour and grey pages in both byte orders and at two
qualities, shorter and longer than announced, a file continued by a second
process, beside a 16-bit page that JPEG does not suit. Every file must be
byte-identical to what the Linux build writes for the same pages and read
cleanly by libtiff. A Windows build configured where the JPEG library could
not be had (cmake/jpeg_library.cmake) codes no JPEG: the test is skipped
with the reason that build left."""

import os
import random
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
UNAVAILABLE = os.path.join(os.environ.get("ZEDUZ_WIN_BIN_DIR", ""), "..", "jpeg-library", "unavailable")
if os.path.exists(UNAVAILABLE):
    with open(UNAVAILABLE) as reason:
        print("skipped: this Windows build has no JPEG library:", reason.read().strip())
    sys.exit(77)

import wine_support as w  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "support"))
from image_checks import Page, pnm_bytes  # noqa: E402

checks = w.Checks()
work = w.work_directory("jpeg-pages")
WIN_HOST = os.path.join(w.WIN_BIN, "zeduz-tiff.exe")
NATIVE_HOST = os.path.join(w.NATIVE_BIN, "zeduz-tiff")
NATIVE_ENV = dict(os.environ, ZEDUZ_REGISTRY_DIR=os.path.join(work, "linux-registry"),
                  TMPDIR=os.path.join(work, "linux-temp"))
os.makedirs(NATIVE_ENV["TMPDIR"])


def source(name, kind, bits, width, height):
    """A photo-like page: smooth gradients with some noise, as scans are."""
    rng = random.Random(name)
    channels = 3 if kind == "rgb" else 1
    top = (1 << bits) - 1
    values = [min(top, max(0, (x * 7 + y * 5 + c * 40) * top // 900 + rng.randint(-top // 20, top // 20)))
              for y in range(height) for x in range(width) for c in range(channels)]
    samples = list(zip(values[0::3], values[1::3], values[2::3])) if channels == 3 else values
    path = os.path.join(work, name)
    with open(path, "wb") as out:
        out.write(pnm_bytes(Page(kind, bits, width, height, samples)))
    return path


RGB = source("rgb.ppm", "rgb", 8, 61, 45)
GREY = source("grey.pgm", "gray", 8, 47, 38)
GREY16 = source("grey16.pgm", "gray", 16, 13, 9)


def run_both(name, steps):
    outputs = os.path.join(work, name + ".win.tif"), os.path.join(work, name + ".linux.tif")
    for inputs, options in steps:
        windows = w.wine(WIN_HOST, "-q", *options, "-o", w.win_path(outputs[0]), *[w.win_path(p) for p in inputs])
        linux = subprocess.run([NATIVE_HOST, "-q", *options, "-o", outputs[1], *inputs], env=NATIVE_ENV,
                               capture_output=True, text=True)
        for host, result in (("Windows", windows), ("Linux", linux)):
            checks.check(result.returncode == 0, "%s: the %s host %s exits 0 %s" % (
                name, host, " ".join(options), (result.stdout + result.stderr).strip()))
    return outputs


def check_job(name, steps, schemes):
    windows, linux = run_both(name, steps)
    data = [open(p, "rb").read() if os.path.exists(p) else None for p in (windows, linux)]
    checks.check(data[0] is not None and data[0] == data[1],
                 "%s: Windows and Linux builds write identical bytes (%d and %d bytes)" % (
                     name, len(data[0] or b""), len(data[1] or b"")))
    info = subprocess.run(["tiffinfo", windows], capture_output=True, text=True)
    checks.equal([line.split(":")[1].strip() for line in info.stdout.splitlines() if "Compression Scheme" in line],
                 schemes, "%s: the pages' compressions" % name)
    copied = subprocess.run(["tiffcp", "-c", "none", windows, windows + ".copy.tif"], capture_output=True, text=True)
    checks.check(copied.returncode == 0 and copied.stderr.strip() == "", "%s: libtiff decodes every page %s" % (
        name, copied.stderr.strip()))


try:
    check_job("intel-q90", [([RGB, GREY, GREY16], ["--compression", "jpeg", "--band-rows", "7"])],
              ["JPEG", "JPEG", "AdobeDeflate"])
    check_job("motorola-q75-short-long-continued",
              [([GREY, RGB], ["--byte-order", "motorola", "--compression", "jpeg", "--jpeg-quality", "75",
                              "--band-rows", "5", "--announce-rows", "20"]),
               ([RGB], ["--append", "--compression", "jpeg", "--jpeg-quality", "75", "--band-rows", "16",
                        "--announce-rows", "90"])],
              ["JPEG", "JPEG", "JPEG"])
finally:
    w.delete_key("Software\\Zeduz\\Scan")
if checks.failures == 0:
    shutil.rmtree(work)
else:
    print("results kept in", work)
checks.finish()
