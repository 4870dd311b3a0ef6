"""Scan jobs through the Windows host (zeduz-tiff.exe) and the plug-in DLL
under Wine (each Windows flavour): every page format, both byte orders, Group 4, Group 3,
LZW, Deflate and PackBits, multi-page
files mixing formats, a job continued over several host processes, BigTIFF
files in both byte orders, pages
shorter and longer than announced, and a Deflate page whose bands two threads
code. Each
output is read on the Linux side by independent TIFF readers (tiffinfo -D,
tiffcp, Pillow, ImageMagick) with exact pixel comparison, and must be
byte-identical to what the Linux build writes for the same pages."""

import os
import random
import shutil
import subprocess
import sys

from PIL import Image

import wine_support as w

sys.path.insert(0, os.path.join(w.HERE, "..", "support"))
from image_checks import Page, imagemagick_16bit, pillow_page, pnm_bytes  # noqa: E402

checks = w.Checks()
work = w.work_directory("host-jobs")
WIN_HOST = os.path.join(w.WIN_BIN, "zeduz-tiff.exe")
NATIVE_HOST = os.path.join(w.NATIVE_BIN, "zeduz-tiff")
BAND_ROWS = "7"  # several bands per page, the last one short
VERSION = os.environ.get("ZEDUZ_VERSION", "")


# ---- inputs: PNM images with known samples -------------------------------

def samples(rng, count, top):
    return [rng.randint(0, top) for _ in range(count)]


def as_page(kind, width, height, channels, top, values):
    """The samples as a PNM page: RGB in triples, black and white with 1 =
    white (the values use the PBM sense, 1 = black)."""
    if channels == 3:
        return Page("rgb", top.bit_length(), width, height, list(zip(values[0::3], values[1::3], values[2::3])))
    if kind == "bilevel":
        return Page("bilevel", 1, width, height, [1 - v for v in values])
    return Page("gray", top.bit_length(), width, height, values)


class Source:
    """One input image and what its TIFF page must decode to."""

    def __init__(self, name, kind, width, height, channels, top):
        rng = random.Random(name)
        self.name, self.kind, self.width, self.height = name, kind, width, height
        self.values = samples(rng, width * height * channels, top)
        self.path = os.path.join(work, name)
        with open(self.path, "wb") as out:
            out.write(pnm_bytes(as_page(kind, width, height, channels, top, self.values)))


SOURCES = [
    Source("rgb24.ppm", "rgb24", 37, 23, 3, 255),
    Source("rgb48.ppm", "rgb48", 19, 11, 3, 65535),
    Source("gray8.pgm", "gray8", 33, 17, 1, 255),
    Source("gray16.pgm", "gray16", 21, 9, 1, 65535),
    Source("gray4.pgm", "gray4", 27, 13, 1, 15),
    Source("bilevel.pbm", "bilevel", 45, 29, 1, 1),
]
BY_KIND = {source.kind: source for source in SOURCES}


# ---- running the two hosts -----------------------------------------------

def run_windows_host(output, inputs, options):
    args = [WIN_HOST, "-q", "--band-rows", BAND_ROWS, *options, "-o", w.win_path(output)]
    args += [w.win_path(path) for path in inputs]
    return w.wine(*args)


NATIVE_ENV = dict(os.environ, ZEDUZ_REGISTRY_DIR=os.path.join(work, "linux-registry"),
                  TMPDIR=os.path.join(work, "linux-temp"))
os.makedirs(NATIVE_ENV["TMPDIR"])


def run_native_host(output, inputs, options):
    args = [NATIVE_HOST, "-q", "--band-rows", BAND_ROWS, *options, "-o", output, *inputs]
    if not os.path.exists(NATIVE_HOST):
        return subprocess.CompletedProcess(args, 127, "", "no Linux host at " + NATIVE_HOST)
    return subprocess.run(args, env=NATIVE_ENV, capture_output=True, text=True)


def both_hosts(name, runs):
    """Runs each (inputs, options) step with both hosts; returns the paths of
    the Windows and the Linux result."""
    outputs = os.path.join(work, name + ".win.tif"), os.path.join(work, name + ".linux.tif")
    for inputs, options in runs:
        for host, output in zip((run_windows_host, run_native_host), outputs):
            result = host(output, inputs, options)
            checks.check(result.returncode == 0, "%s: %s %s exits 0 %s" % (
                name, os.path.basename(host.__name__), " ".join(options), (result.stdout + result.stderr).strip()))
    return outputs


# ---- reading the results ---------------------------------------------------

def independent_readers_accept(name, path, pages):
    info = subprocess.run(["tiffinfo", "-D", path], capture_output=True, text=True)
    checks.check(info.returncode == 0 and info.stderr.strip() == "", "%s: tiffinfo -D reads it cleanly %s" % (
        name, info.stderr.strip()))
    checks.equal(info.stdout.count("TIFF Directory"), pages, "%s: tiffinfo finds the pages" % name)
    copy = path + ".tiffcp.tif"
    copied = subprocess.run(["tiffcp", path, copy], capture_output=True, text=True)
    checks.check(copied.returncode == 0 and copied.stderr.strip() == "", "%s: tiffcp copies it %s" % (
        name, copied.stderr.strip()))
    identify = subprocess.run(["identify", path], capture_output=True, text=True)
    checks.equal(len(identify.stdout.splitlines()), pages, "%s: ImageMagick identifies the pages" % name)


def magick_samples(path, index, channels):
    """16-bit samples as ImageMagick decodes them."""
    raw = imagemagick_16bit(path, index, channels)
    return [int.from_bytes(raw[i:i + 2], "big") for i in range(0, len(raw), 2)]


def decoded(path, index, kind):
    """The page's samples, decoded by independent readers, on the input's scale."""
    if kind == "rgb48":
        return magick_samples(path, index, "rgb")
    if kind == "gray16":
        pillow = list(pillow_page(path, index).getdata())
        checks.equal(magick_samples(path, index, "gray"), pillow, "ImageMagick and Pillow agree on 16-bit grey")
        return pillow
    image = pillow_page(path, index)
    if kind == "rgb24":
        return list(image.tobytes())
    if kind == "gray4":
        checks.equal(image.mode, "L", "Pillow reads 4-bit grey")
        magick = [v // 4369 for v in magick_samples(path, index, "gray")]
        pillow = [v // 17 for v in image.getdata()]
        checks.equal(magick, pillow, "ImageMagick and Pillow agree on 4-bit grey")
        return pillow
    if kind == "bilevel":
        return [0 if v else 1 for v in image.convert("L").getdata()]  # the PBM sense: 1 is black
    return list(image.getdata())


def check_pages(name, path, kinds):
    independent_readers_accept(name, path, len(kinds))
    if not checks.equal(Image.open(path).n_frames, len(kinds), "%s: Pillow finds the pages" % name):
        return
    for index, kind in enumerate(kinds):
        source = BY_KIND[kind]
        image = pillow_page(path, index)
        checks.equal(image.size, (source.width, source.height), "%s page %d (%s): size" % (name, index + 1, kind))
        checks.check(decoded(path, index, kind) == source.values,
                     "%s page %d (%s): every decoded sample equals the input" % (name, index + 1, kind))


def same_bytes(name, paths):
    windows, linux = (open(p, "rb").read() if os.path.exists(p) else None for p in paths)
    checks.check(windows is not None and windows == linux,
                 "%s: Windows and Linux builds write identical bytes (%s and %s bytes)" % (
                     name, len(windows or b""), len(linux or b"")))


def settings(byte_order, compression):
    return ["--byte-order", byte_order, "--compression", compression]


def byte_order_of(path):
    with open(path, "rb") as tiff:
        return tiff.read(2)


# ---- the jobs --------------------------------------------------------------

# What tiffinfo calls the colour and grey pages' compression.
COLOR_SCHEMES = {"lzw": "LZW", "deflate": "AdobeDeflate", "packbits": "PackBits"}
# And the black and white page's.
BILEVEL_SCHEMES = {"group4": "CCITT Group 4", "g3-1d": "CCITT Group 3", "g3-2d": "CCITT Group 3",
                   "packbits": "PackBits"}


def every_format_in_one_file():
    kinds = [source.kind for source in SOURCES]
    for byte_order, mark in (("intel", b"II"), ("motorola", b"MM")):
        for compression in ("none", "group4", "lzw", "deflate", "g3-1d", "g3-2d", "packbits"):
            name = "mixed-%s-%s" % (byte_order, compression)
            # LZW and Deflate leave the black and white page uncompressed.
            options = settings(byte_order, "none") + (["--compression", compression] if compression != "none" else [])
            paths = both_hosts(name, [([s.path for s in SOURCES], options)])
            checks.equal(byte_order_of(paths[0]), mark, "%s: byte order mark" % name)
            same_bytes(name, paths)
            check_pages(name, paths[0], kinds)
            scheme = subprocess.run(["tiffinfo", paths[0]], capture_output=True, text=True).stdout
            expected = BILEVEL_SCHEMES.get(compression, "None")
            checks.check(("Compression Scheme: %s" % expected) in scheme.split("Image Width: 45")[-1],
                         "%s: the black and white page's compression is %s" % (name, expected))
            if compression in COLOR_SCHEMES:
                every = len(SOURCES) if compression == "packbits" else len(SOURCES) - 1
                checks.equal(scheme.count("Compression Scheme: %s" % COLOR_SCHEMES[compression]), every,
                             "%s: every other page is %s coded" % (name, compression))


def demo_document():
    """The host's demo pages include the palette formats, which PNM input
    cannot express: 8- and 4-bit palette pages read the same by Pillow and
    ImageMagick."""
    for byte_order, compression in (("intel", "none"), ("motorola", "group4")):
        name = "demo-%s-%s" % (byte_order, compression)
        paths = both_hosts(name, [([], settings(byte_order, compression))])
        same_bytes(name, paths)
        pages = Image.open(paths[0]).n_frames
        independent_readers_accept(name, paths[0], pages)
        palettes = 0
        for index in range(pages):
            image = pillow_page(paths[0], index)
            if image.mode != "P":
                continue
            palettes += 1
            magick = subprocess.run(["convert", "%s[%d]" % (paths[0], index), "-depth", "8", "rgb:-"],
                                    capture_output=True, check=True).stdout
            checks.check(image.convert("RGB").tobytes() == magick,
                         "%s page %d: palette page decodes alike in Pillow and ImageMagick" % (name, index + 1))
        checks.equal(palettes, 2, "%s: two palette pages" % name)


def job_over_several_processes():
    """--append: each host process adds pages to the file an earlier one
    wrote."""
    steps = [(["rgb24", "bilevel"], []), (["gray16"], ["--append"]), (["gray4", "rgb48"], ["--append"])]
    for byte_order, compression in (("intel", "group4"), ("motorola", "none")):
        name = "append-%s-%s" % (byte_order, compression)
        runs = [([BY_KIND[k].path for k in kinds], settings(byte_order, compression) + extra)
                for kinds, extra in steps]
        paths = both_hosts(name, runs)
        same_bytes(name, paths)
        check_pages(name, paths[0], [kind for kinds, _ in steps for kind in kinds])


def short_and_long_pages():
    """Pages begun with 20 rows announced: grey with 17 rows (short), then
    black and white with 29 (long; Group 4, Group 3 or PackBits)."""
    for compression in ("group4", "g3-2d", "packbits"):
        name = "announced-rows" + ("" if compression == "group4" else "-" + compression)
        kinds = ["gray8", "bilevel"]
        paths = both_hosts(name, [([BY_KIND[k].path for k in kinds], settings("motorola", compression) +
                                    ["--announce-rows", "20"])])
        same_bytes(name, paths)
        check_pages(name, paths[0], kinds)


def deflate_bands_shared_between_threads():
    """A page of two strips, its bands across the first one's end; Deflate's
    bands large enough that two threads code each one (Windows' own threads
    here): the same bytes as the Linux build, LZW and PackBits too."""
    source = Source("large-rgb24.ppm", "rgb24", 520, 300, 3, 255)
    for compression in ("deflate", "lzw", "packbits"):
        name = compression + "-shared-bands"
        paths = both_hosts(name, [([source.path], ["--compression", compression, "--band-rows", "100"])])
        same_bytes(name, paths)
        independent_readers_accept(name, paths[0], 1)
        checks.check(decoded(paths[0], 0, "rgb24") == source.values,
                     "%s: every decoded sample equals the input" % name)
        strips = subprocess.run(["tiffdump", paths[0]], capture_output=True, text=True).stdout
        checks.check("StripOffsets (273) LONG (4) 2<" in strips, "%s: two strips" % name)


def bigtiff_jobs():
    """BigTIFF files in both byte orders, continued by a second process: the
    same bytes as the Linux build, LONG8 strips, every page decoded exactly
    (Pillow reads little-endian BigTIFF files only: a big-endian one is read
    through libtiff's classic copy of it)."""
    kinds = [source.kind for source in SOURCES]
    for byte_order, compression in (("intel", "deflate"), ("motorola", "group4")):
        name = "bigtiff-%s-%s" % (byte_order, compression)
        options = settings(byte_order, compression) + ["--bigtiff"]
        runs = [([BY_KIND[k].path for k in kinds[:3]], options),
                ([BY_KIND[k].path for k in kinds[3:]], options + ["--append"])]
        paths = both_hosts(name, runs)
        same_bytes(name, paths)
        dump = subprocess.run(["tiffdump", paths[0]], capture_output=True, text=True).stdout
        checks.check("<BigTIFF>" in dump and "StripOffsets (273) LONG8 (16)" in dump,
                     "%s: BigTIFF, its strips LONG8" % name)
        readable = paths[0]
        if byte_order == "motorola":
            independent_readers_accept(name, paths[0], len(kinds))
            readable = os.path.join(work, name + "-classic.tif")
            subprocess.run(["tiffcp", "-c", "none", paths[0], readable], check=True)
        check_pages(name, readable, kinds)


def versions():
    """--version names the host's version and the one in the version
    resource of the DLL the host loads, the build's both."""
    result = w.wine(WIN_HOST, "--version")
    expected = "zeduz-tiff %s\nplug-in %s (%s)\n" % (VERSION, VERSION, w.win_path(os.path.join(w.WIN_BIN,
                                                                                             "ZeduzTiff.dll")))
    checks.equal(result.stdout, expected, "zeduz-tiff.exe --version")


try:
    versions()
    every_format_in_one_file()
    demo_document()
    job_over_several_processes()
    short_and_long_pages()
    deflate_bands_shared_between_threads()
    bigtiff_jobs()
finally:
    w.delete_key("Software\\Zeduz\\Scan")
if checks.failures == 0:
    shutil.rmtree(work)
else:
    print("results kept in", work)
checks.finish()
