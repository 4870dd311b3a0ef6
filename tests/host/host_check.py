"""Helpers of the host's end-to-end checks: source images written by hand
(PNM, PNG), runs of zeduz-tiff in fresh registry and temp directories, and
decoding of the output with independent readers (libtiff tools, Pillow,
ImageMagick) for exact comparison with the source. What other tests use
too (Page, PNM, the readers) lives in tests/support/image_checks.py."""

import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from image_checks import (IDENTIFY, Page, imagemagick_16bit, libtiff_reads_cleanly, pillow_page,  # noqa: E402,F401
                          pnm_bytes, run_tool)

BIN_DIR = os.environ.get("ZEDUZ_BIN_DIR", "")
HOST = os.path.join(BIN_DIR, "zeduz-tiff")


# --- source images -------------------------------------------------------

def random_page(rng, kind, bits, width, height, colours=None):
    count = width * height
    if kind == "rgb":
        top = (1 << bits) - 1
        samples = [tuple(rng.randint(0, top) for _ in range(3)) for _ in range(count)]
        return Page(kind, bits, width, height, samples)
    if kind == "palette":
        colours = colours or (1 << bits)
        palette = [tuple(rng.randint(0, 255) for _ in range(3)) for _ in range(colours)]
        samples = [rng.randrange(colours) for _ in range(count)]
        return Page(kind, bits, width, height, samples, palette)
    top = 1 if kind == "bilevel" else (1 << bits) - 1
    samples = [rng.randint(0, top) for _ in range(count)]
    # Pin the extremes so that a lost bit or wrong scale shows.
    samples[0] = top
    samples[-1] = 0
    return Page(kind, bits, width, height, samples)


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def _packed_row(values, bits):
    if bits >= 8:
        return struct.pack(">%d%s" % (len(values), "H" if bits == 16 else "B"), *values)
    row = bytearray((len(values) * bits + 7) // 8)
    for i, v in enumerate(values):
        row[i * bits // 8] |= v << (8 - bits - (i * bits) % 8)
    return bytes(row)


def png_bytes(page, colour_type=None, extra_alpha=False, idat_size=None, interlace=False):
    """A PNG of a page with its own bit depth: grey (1/2/4/8/16), palette
    (1/2/4/8), RGB (8/16); extra_alpha adds an alpha channel (refused).
    idat_size: the pixels uncompressed, in IDAT chunks of that many bytes, so
    that a cut in the file falls within a known stretch of rows. interlace:
    Adam7, the pixels in seven passes."""
    w, h, bits = page.width, page.height, page.bits
    if colour_type is None:
        colour_type = {"gray": 0, "bilevel": 0, "palette": 3, "rgb": 2}[page.kind]
    if extra_alpha:
        colour_type |= 4

    def pixel(x, y):
        s = page.samples[y * w + x]
        values = list(s) if isinstance(s, tuple) else [s]
        return values + ([(1 << bits) - 1] if extra_alpha else [])

    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        xs = range(x0, w, dx)
        if not xs:
            continue
        for y in range(y0, h, dy):
            raw.append(0)
            raw += _packed_row([v for x in xs for v in pixel(x, y)], bits)
    out = b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, bits, colour_type, 0, 0,
                                                              1 if interlace else 0))
    if colour_type == 3:
        out += _chunk(b"PLTE", b"".join(bytes(c) for c in page.palette))
    if idat_size is None:
        return out + _chunk(b"IDAT", zlib.compress(bytes(raw))) + _chunk(b"IEND", b"")
    data = zlib.compress(bytes(raw), 0)
    for start in range(0, len(data), idat_size):
        out += _chunk(b"IDAT", data[start:start + idat_size])
    return out + _chunk(b"IEND", b"")


# --- running the host ----------------------------------------------------

class Workspace:
    """A fresh registry, temp directory and work directory for host runs."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="zeduz-host-")
        self.registry = os.path.join(self.root, "registry")
        self.tmp = os.path.join(self.root, "tmp")
        self.work = os.path.join(self.root, "work")
        for d in (self.registry, self.tmp, self.work):
            os.makedirs(d)

    def path(self, name):
        return os.path.join(self.work, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def run(self, *args, cwd=None):
        env = dict(os.environ)
        env.update(ZEDUZ_REGISTRY_DIR=self.registry, TMPDIR=self.tmp)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        return subprocess.run([HOST] + list(args), cwd=cwd or self.work, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)

    def leftover_temp_files(self):
        return [n for n in os.listdir(self.tmp) if n.startswith("~TF")]

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def run_ok(ws, *args):
    result = ws.run(*args)
    if result.returncode != 0:
        raise AssertionError("host failed (%d): %s\n%s" % (result.returncode, " ".join(args), result.stderr))
    assert "runtime error" not in result.stderr and "Sanitizer" not in result.stderr, result.stderr
    return result


# --- reading the output --------------------------------------------------

class TiffPage:
    """One directory of an uncompressed or compressed TIFF, read by hand."""

    def __init__(self, tags, data):
        self.tags, self.data = tags, data

    def tag(self, code, default=None):
        values = self.tags.get(code)
        return default if values is None else values


def parse_tiff(data, read_strips=True):
    """Directories of a classic or BigTIFF file: a list of TiffPage with every
    tag's values and the concatenated strips."""
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (magic,) = struct.unpack(order + "H", data[2:4])
    assert magic in (42, 43)
    big = magic == 43
    if big:
        assert struct.unpack(order + "HH", data[4:8]) == (8, 0), "BigTIFF offset size"
        (offset,) = struct.unpack(order + "Q", data[8:16])
    else:
        (offset,) = struct.unpack(order + "I", data[4:8])
    # Count, entry and offset sizes: classic, or BigTIFF's.
    count_code, entry_bytes, count_field, word = ("Q", 20, "Q", 8) if big else ("H", 12, "I", 4)
    count_bytes = 8 if big else 2
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 16: 8}
    codes = {1: "B", 2: "c", 3: "H", 4: "I", 5: "II", 7: "B", 16: "Q"}  # 7: UNDEFINED (JPEGTables)
    pages, seen = [], set()
    while offset:
        assert offset not in seen and offset % 2 == 0, "directory at %d" % offset
        seen.add(offset)
        (count,) = struct.unpack(order + count_code, data[offset:offset + count_bytes])
        tags, types = {}, {}
        for i in range(count):
            start = offset + count_bytes + entry_bytes * i
            entry = data[start:start + entry_bytes]
            tag, kind, n = struct.unpack(order + "HH" + count_field, entry[:4 + word])
            assert kind != 16 or big, "LONG8 in a classic file"
            size = sizes[kind] * n
            field = entry[4 + word:]
            where = field if size <= word else data[struct.unpack(order + ("Q" if big else "I"), field)[0]:][:size]
            fmt = order + codes[kind] * n
            values = struct.unpack(fmt, where[:size]) if kind != 2 else (bytes(where[:size]),)
            tags[tag], types[tag] = values, kind
        next_field = offset + count_bytes + entry_bytes * count
        (offset,) = struct.unpack(order + ("Q" if big else "I"), data[next_field:next_field + word])
        strips = b""
        if read_strips:
            for start, length in zip(tags[273], tags[279]):
                strips += data[start:start + length]
        page = TiffPage(tags, strips)
        page.big, page.types = big, types
        pages.append(page)
    return order, pages


def decode_uncompressed(page):
    """(samples, palette) of an uncompressed page, as Page samples."""
    width, height = page.tag(256)[0], page.tag(257)[0]
    bps, spp = page.tag(258)[0], page.tag(277, (1,))[0]
    photometric = page.tag(262)[0]
    assert page.tag(259, (1,))[0] == 1
    row_bytes = (width * bps * spp + 7) // 8
    data = page.data
    assert len(data) >= row_bytes * height, "strip too short"
    samples = []
    for y in range(height):
        row = data[y * row_bytes:(y + 1) * row_bytes]
        if bps == 16:
            vals = struct.unpack(page.order + "%dH" % (width * spp), row)
        elif bps == 8:
            vals = list(row)
        else:
            vals = [(row[i * bps // 8] >> (8 - bps - (i * bps) % 8)) & ((1 << bps) - 1) for i in range(width)]
        if spp == 3:
            samples.extend(tuple(vals[3 * x:3 * x + 3]) for x in range(width))
        elif bps == 1 and photometric == 0:
            samples.extend(1 - v for v in vals)
        else:
            samples.extend(vals)
    palette = []
    if photometric == 3:
        cmap = page.tag(320)
        n = len(cmap) // 3
        palette = [(cmap[i] >> 8, cmap[n + i] >> 8, cmap[2 * n + i] >> 8) for i in range(n)]
        for i in range(n):
            assert all(c % 257 == 0 for c in (cmap[i], cmap[n + i], cmap[2 * n + i])), "colour map value"
    return samples, palette


def read_tiff_file(path):
    with open(path, "rb") as f:
        data = f.read()
    order, pages = parse_tiff(data)
    for page in pages:
        page.order = order
    return order, pages


def jpeg_suits(page):
    """The pages a JPEG setting codes as JPEG: 8-bit grey and 24-bit colour."""
    return page.kind in ("rgb", "gray") and page.bits == 8


def libtiff_jpeg(page):
    """The page as libtiff's own JPEG coding of it at the default quality,
    16-row strips (tiffcp -c jpeg:90 -r 16), decodes: what a JPEG page of
    ours must decode to, exactly."""
    from PIL import Image
    mode = "RGB" if page.kind == "rgb" else "L"
    data = bytes(v for s in page.samples for v in (s if mode == "RGB" else (s,)))
    with tempfile.TemporaryDirectory() as scratch:
        raw, coded, plain = (os.path.join(scratch, n) for n in ("raw.tif", "jpeg.tif", "plain.tif"))
        Image.frombytes(mode, (page.width, page.height), data).save(raw, compression=None)
        for command in (["tiffcp", "-c", "jpeg:90", "-r", "16", raw, coded], ["tiffcp", "-c", "none", coded, plain]):
            subprocess.run(command, check=True, capture_output=True)
        decoded = list(Image.open(plain).convert(mode).getdata())
    return Page(page.kind, 8, page.width, page.height, decoded)


def check_page_tags(page, expected, group4, compression=1, bilevel=None):
    """The directory says what the page is; `compression` is the tag of every
    page but bilevel ones, `bilevel` that of bilevel ones (4 with `group4`,
    else 1 unless given), and 8- and 16-bit LZW or Deflate pages of other
    than palette images carry Predictor 2. Group 3 and 4 pages are
    WhiteIsZero, Group 3 ones with T4Options. JPEG colour pages are YCbCr.
    Coded pages but Group 3 and 4 ones are in strips of bounded size."""
    bilevel = bilevel if bilevel is not None else (4 if group4 else 1)
    kinds = {"rgb": 6 if compression == 7 else 2, "gray": 1, "palette": 3, "bilevel": 0 if bilevel in (3, 4) else 1}
    bits = 16 if expected.kind == "rgb" and expected.bits == 16 else expected.bits
    assert page.tag(256)[0] == expected.width and page.tag(257)[0] == expected.height
    assert page.tag(262)[0] == kinds[expected.kind], "photometric %r" % (page.tag(262),)
    assert set(page.tag(258)) == {bits}, "bits %r" % (page.tag(258),)
    assert page.tag(277, (1,))[0] == (3 if expected.kind == "rgb" else 1)
    coded = compression if expected.kind != "bilevel" else bilevel
    assert page.tag(259, (1,))[0] == coded, "compression %r" % (page.tag(259),)
    predicted = coded in (5, 8) and expected.kind != "palette" and bits in (8, 16)
    assert page.tag(317, (1,))[0] == (2 if predicted else 1), "predictor %r" % (page.tag(317, (1,)),)
    assert (page.tag(292, None) is not None) == (coded == 3), "T4Options %r" % (page.tag(292, None),)
    rows = strip_rows(coded, expected.width, page.tag(277, (1,))[0] * bits, expected.height)
    strips = -(-expected.height // rows)
    assert page.tag(278)[0] == rows, "%d rows per strip, expected %d" % (page.tag(278)[0], rows)
    assert len(page.tag(273)) == strips, "%d strips, expected %d" % (len(page.tag(273)), strips)


def strip_rows(coded, width, bits_per_pixel, height):
    """Rows per strip: LZW, Deflate and PackBits pages as many as 256 KiB
    of rows holds (at least one), JPEG pages 16 (fewer whole MCU rows where
    16 would pass 256 KiB, at least one), every other page one strip."""
    row_bytes = (width * bits_per_pixel + 7) // 8
    if coded in (5, 8, 32773):
        return min(height, max(1, 262144 // row_bytes))
    if coded == 7:
        mcu = 16 if bits_per_pixel == 24 else 8
        return min(16, max(mcu, 262144 // row_bytes // mcu * mcu))
    return height


def compare(what, got, expected):
    if list(got) != list(expected):
        diffs = [i for i, (a, b) in enumerate(zip(got, expected)) if a != b][:5]
        raise AssertionError("%s: pixels differ (%d vs %d values; first differences at %s: %s vs %s)" % (
            what, len(got), len(expected), diffs, [list(got)[i] for i in diffs], [list(expected)[i] for i in diffs]))


def check_with_libtiff(path, pages, ws):
    """tiffinfo -D and tiffdump clean; tiffcp -c none decodes every page,
    whose strips then match the source exactly."""
    plain = os.path.join(ws.tmp, "plain-%d.tif" % random.randrange(1 << 30))
    libtiff_reads_cleanly(path, plain)
    order, decoded = read_tiff_file(plain)
    os.remove(plain)
    assert len(decoded) == len(pages), "libtiff: %d pages, expected %d" % (len(decoded), len(pages))
    for i, (page, expected) in enumerate(zip(decoded, pages)):
        samples, palette = decode_uncompressed(page)
        compare("libtiff page %d" % i, samples, expected.samples)
        if expected.kind == "palette":
            compare("libtiff page %d colour map" % i, palette[:len(expected.palette)], expected.palette)


def pillow_expected(expected, order):
    if expected.kind == "rgb":
        if expected.bits == 8:
            return "RGB", expected.samples
        return "RGB", [tuple(v >> 8 for v in s) for s in expected.samples]
    if expected.kind == "gray":
        if expected.bits == 16:
            return ("I;16" if order == "<" else "I;16B"), expected.samples
        if expected.bits == 4:
            return "L", [v * 17 for v in expected.samples]
        return "L", expected.samples
    if expected.kind == "bilevel":
        return "1", [255 if v else 0 for v in expected.samples]
    return "P", expected.samples


def check_with_pillow(path, pages, order):
    with pillow_page(path, 0) as image:
        assert image.n_frames == len(pages), "Pillow: %d frames, expected %d" % (image.n_frames, len(pages))
    for i, expected in enumerate(pages):
        with pillow_page(path, i) as image:
            mode, samples = pillow_expected(expected, order)
            assert image.size == (expected.width, expected.height), "Pillow page %d size %r" % (i, image.size)
            assert image.mode == mode, "Pillow page %d mode %s, expected %s" % (i, image.mode, mode)
            compare("Pillow page %d" % i, image.getdata(), samples)
            if mode == "P":
                pal = image.getpalette()
                got = [tuple(pal[3 * k:3 * k + 3]) for k in range(len(expected.palette))]
                compare("Pillow page %d palette" % i, got, expected.palette)


def check_with_imagemagick(path, pages):
    lines = run_tool([IDENTIFY, "-format", "%w %h\n", path]).decode().split()
    assert len(lines) == 2 * len(pages), "ImageMagick: %s" % lines
    for i, expected in enumerate(pages):
        raw = imagemagick_16bit(path, i)
        values = struct.unpack(">%dH" % (len(raw) // 2), raw)
        got = [tuple(values[3 * k:3 * k + 3]) for k in range(len(values) // 3)]
        compare("ImageMagick page %d" % i, got, expected.visual16())


def check_output(ws, path, pages, byte_order="<", group4=False, compression=1, bilevel=None, big=False,
                 foreign_pages=0):
    """Every independent reader decodes exactly the expected pages; our own
    reading of the file checks its directories and uncompressed strips.
    `compression`: the Compression tag of the pages other than bilevel ones
    (1, 5 LZW, 8 Deflate, 7 JPEG or 32773 PackBits), or a list of one per
    page; `bilevel`: that of bilevel pages where not 4 (`group4`) or 1. JPEG
    pages must decode to what libtiff's own JPEG coding of their source does;
    the pages JPEG does not suit are Deflate coded. `big`: the file is
    BigTIFF, its offsets and strip sizes LONG8 (Pillow reads little-endian
    BigTIFF files only, whoever wrote them); its first `foreign_pages`
    pages another program wrote, whose strip types are its own choice."""
    compressions = compression if isinstance(compression, list) else [compression] * len(pages)
    compressions = [8 if c == 7 and not jpeg_suits(p) else c for c, p in zip(compressions, pages)]
    pages = [libtiff_jpeg(p) if c == 7 else p for c, p in zip(compressions, pages)]
    order, own = read_tiff_file(path)
    assert order == byte_order, "byte order %s, expected %s" % (order, byte_order)
    assert len(own) == len(pages), "%d directories, expected %d" % (len(own), len(pages))
    for i, (page, expected) in enumerate(zip(own, pages)):
        assert page.big == big, "page %d: BigTIFF %s, expected %s" % (i, page.big, big)
        strip_types = {page.types[273], page.types[279]}
        assert i < foreign_pages or strip_types == {16 if big else 4}, "page %d: strip types %s" % (i, strip_types)
        check_page_tags(page, expected, group4 and expected.kind == "bilevel", compressions[i], bilevel)
        if page.tag(259, (1,))[0] == 1:
            samples, _ = decode_uncompressed(page)
            compare("strip of page %d" % i, samples, expected.samples)
    check_with_libtiff(path, pages, ws)
    if not (big and order == ">"):
        check_with_pillow(path, pages, order)
    check_with_imagemagick(path, pages)
    assert not ws.leftover_temp_files(), "temporary files left: %s" % ws.leftover_temp_files()


def run_cases(cases):
    """Runs named cases (those whose names hold one of the command line's
    words, if any), reports each, exits non-zero when any failed."""
    words = sys.argv[1:]
    cases = [(name, case) for name, case in cases if not words or any(w in name for w in words)]
    failed = 0
    for name, case in cases:
        ws = Workspace()
        try:
            case(ws)
            print("ok     %s" % name)
        except Exception as error:  # report every case, then fail
            failed += 1
            print("FAILED %s: %s" % (name, error))
        finally:
            ws.close()
    print("%d passed, %d failed" % (len(cases) - failed, failed))
    sys.exit(1 if failed else 0)
