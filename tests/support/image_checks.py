"""Helpers the Python tests share: source images with known samples (PNM),
and the independent readers that decode the TIFF files we write (libtiff's
tools, Pillow, ImageMagick).

Scripts elsewhere below tests/ import this module after putting this folder
on sys.path."""

import os
import struct
import subprocess

from PIL import Image as PilImage

CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
IDENTIFY = "/usr/bin/identify" if os.path.exists("/usr/bin/identify") else "identify"


# --- source images -------------------------------------------------------

class Page:
    """What a page must read back as: kind 'rgb', 'gray', 'palette' or
    'bilevel'; bits per sample as stored; samples row by row (tuples for RGB;
    for bilevel 1 = white); palette as (r, g, b) bytes."""

    def __init__(self, kind, bits, width, height, samples, palette=None):
        self.kind, self.bits, self.width, self.height = kind, bits, width, height
        self.samples, self.palette = samples, palette or []

    def visual16(self):
        """Every pixel as 16-bit (r, g, b), as a viewer shows it."""
        out = []
        for value in self.samples:
            if self.kind == "rgb":
                scale = 1 if self.bits == 16 else 257
                out.append(tuple(v * scale for v in value))
            elif self.kind == "gray":
                v = value * (65535 // ((1 << self.bits) - 1))
                out.append((v, v, v))
            elif self.kind == "palette":
                r, g, b = self.palette[value] if value < len(self.palette) else (0, 0, 0)
                out.append((r * 257, g * 257, b * 257))
            else:
                v = 65535 if value else 0
                out.append((v, v, v))
        return out


def pnm_bytes(page, plain=False):
    """PNM of a page: P1/P4 (bilevel; PBM 1 = black), P2/P5 (grey), P3/P6."""
    w, h = page.width, page.height
    if page.kind == "bilevel":
        if plain:
            rows = [" ".join(str(1 - page.samples[y * w + x]) for x in range(w)) for y in range(h)]
            return ("P1\n# plain bitmap\n%d %d\n" % (w, h) + "\n".join(rows) + "\n").encode()
        data = bytearray()
        for y in range(h):
            row = bytearray((w + 7) // 8)
            for x in range(w):
                if not page.samples[y * w + x]:
                    row[x // 8] |= 0x80 >> (x % 8)
            data += row
        return b"P4\n%d %d\n" % (w, h) + bytes(data)
    maxval = (1 << page.bits) - 1
    values = []
    for s in page.samples:
        values.extend(s if isinstance(s, tuple) else (s,))
    magic = {"gray": (b"P2", b"P5"), "rgb": (b"P3", b"P6")}[page.kind][0 if plain else 1]
    header = magic + b"\n# made by the host checks\n%d %d\n%d\n" % (w, h, maxval)
    if plain:
        return header + b" ".join(b"%d" % v for v in values) + b"\n"
    fmt = ">%dH" % len(values) if maxval > 255 else "%dB" % len(values)
    return header + struct.pack(fmt, *values)


# --- independent readers ---------------------------------------------------

def run_tool(args):
    """The output of a reader that must succeed without a word on stderr."""
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    if result.returncode != 0 or result.stderr.strip():
        raise AssertionError("%s: exit %d: %s" % (" ".join(args), result.returncode,
                                                  result.stderr.decode(errors="replace")))
    return result.stdout


def libtiff_reads_cleanly(path, copy):
    """tiffinfo -D and tiffdump read the file without a complaint, and
    tiffcp -c none decodes every page into `copy`."""
    run_tool(["tiffinfo", "-D", path])
    run_tool(["tiffdump", path])
    run_tool(["tiffcp", "-c", "none", path, copy])


def pillow_page(path, index):
    """Page `index` as Pillow decodes it. A fresh open per page: this Pillow
    fails to reload a frame of another mode once it has walked the file, and
    keeps a palette across seeks."""
    image = PilImage.open(path)
    image.seek(index)
    image.load()
    return image


def imagemagick_16bit(path, index, channels="rgb"):
    """Page `index` as ImageMagick decodes it: 16-bit samples of the given
    channels ("rgb", "gray"), big-endian bytes."""
    return run_tool([CONVERT, "%s[%d]" % (path, index), "-depth", "16", "-endian", "MSB", channels + ":-"])
