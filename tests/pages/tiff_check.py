"""Checks a multi-page TIFF with independent readers.

usage: tiff_check.py TIFF EXPECTED_DIR

EXPECTED_DIR holds, per page i, page<i>.txt ("width height format", and a
JPEG quality for a JPEG page) and page<i>.rgb16 (the decoded pixels as 16-bit
big-endian RGB; for a JPEG page, the source's). A JPEG page must decode to
exactly what libtiff's own JPEG coding of the source decodes to
(tiffcp -c jpeg:QUALITY -r 16). The file must
pass libtiff's tiffinfo -D / tiffdump / tiffcp without a warning, decode to
exactly those pixels in ImageMagick (within its size policy) and (for sample
depths up to 8 bits) in Pillow, have its directories on word boundaries with
nothing after the last page, and its dimensions SHORT or LONG as they need.
"""
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from image_checks import imagemagick_16bit, libtiff_reads_cleanly, pillow_page  # noqa: E402

SIXTEEN_BIT_FORMATS = {1048, 2016}
IMAGEMAGICK_MAX_WIDTH = 16000
IMAGEMAGICK_MAX_HEIGHT = 16000


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def read_expected(directory):
    pages = []
    i = 0
    while os.path.exists(os.path.join(directory, "page%d.txt" % i)):
        with open(os.path.join(directory, "page%d.txt" % i)) as info:
            width, height, fmt, *quality = (int(v) for v in info.read().split())
        with open(os.path.join(directory, "page%d.rgb16" % i), "rb") as raw:
            pixels = raw.read()
        if quality:
            pixels = libtiff_jpeg_pixels(width, height, fmt, pixels, quality[0])
        pages.append((width, height, fmt, pixels))
        i += 1
    return pages


def libtiff_jpeg_pixels(width, height, fmt, rgb16, quality):
    """What libtiff's JPEG coding of the source, 16-row strips at `quality`,
    decodes to, as 16-bit big-endian RGB."""
    mode = "RGB" if fmt == 1024 else "L"
    source = Image.frombytes("RGB", (width, height), rgb16[0::2]).convert(mode)
    with tempfile.TemporaryDirectory() as scratch:
        raw, coded, decoded = (os.path.join(scratch, name) for name in ("raw.tif", "jpeg.tif", "decoded.tif"))
        source.save(raw, compression=None)
        for command in (["tiffcp", "-c", "jpeg:%d" % quality, "-r", "16", raw, coded],
                        ["tiffcp", "-c", "none", coded, decoded]):
            subprocess.run(command, check=True, capture_output=True)
        eight = Image.open(decoded).convert("RGB").tobytes()
    return bytes(b for value in eight for b in (value, value))


def check_structure(path, page_count):
    data = open(path, "rb").read()
    order = {b"II": "<", b"MM": ">"}.get(data[:2])
    magic = struct.unpack(order + "H", data[2:4])[0] if order else 0
    if magic not in (42, 43) or (magic == 43 and struct.unpack(order + "HH", data[4:8]) != (8, 0)):
        fail("bad header")
    big = magic == 43
    # Entry count, entry, count and offset sizes: classic, or BigTIFF's.
    count_bytes, entry_bytes, word = (8, 20, 8) if big else (2, 12, 4)
    word_code = "Q" if big else "I"
    offset = struct.unpack(order + word_code, data[8:16] if big else data[4:8])[0]
    directories = []
    while offset:
        if offset % 2:
            fail("directory at odd offset %d" % offset)
        directories.append(offset)
        count = struct.unpack(order + ("Q" if big else "H"), data[offset:offset + count_bytes])[0]
        entries, inline = {}, {}
        for i in range(count):
            start = offset + count_bytes + entry_bytes * i
            tag, typ, n = struct.unpack(order + "HH" + word_code, data[start:start + 4 + word])
            value = data[start + 4 + word:start + entry_bytes]
            if typ == 3 and n == 1:
                value = struct.unpack(order + "H", value[:2])[0]
            elif TYPE_BYTES.get(typ, 4) * n <= word and typ != 16:
                value = struct.unpack(order + "I", value[:4])[0]
            else:
                value = struct.unpack(order + word_code, value)[0]
            if TYPE_BYTES.get(typ, 4) * n > word and value % 2:
                fail("value area at odd offset %d" % value)
            entries[tag] = (value, typ, n)
            if TYPE_BYTES.get(typ, 4) * n <= word:
                inline[tag] = data[start + 4 + word:start + entry_bytes]
            # Width, height and rows per strip: SHORT where they fit, else LONG.
            if tag in (256, 257, 278) and typ != (3 if value <= 0xFFFF else 4):
                fail("tag %d holds %d as type %d" % (tag, value, typ))
            # Strip offsets and sizes: LONG, or LONG8 in a BigTIFF file.
            if tag in (273, 279) and typ != (16 if big else 4):
                fail("tag %d of type %d" % (tag, typ))
        # The page ends with its last strip, or with its directory where
        # that follows the strips (LZW, Deflate, PackBits and JPEG pages).
        offsets, counts = (array(data, order, *entries[tag]) for tag in (273, 279))
        check_strips(data, order, entries, inline, offsets, counts)
        end = max(offset + count for offset, count in zip(offsets, counts))
        if offset >= end:
            end = max(end, offset + count_bytes + entry_bytes * count + word,
                      *(area_end(order, *entries[tag], word) for tag in entries))
        next_field = offset + count_bytes + entry_bytes * count
        offset = struct.unpack(order + word_code, data[next_field:next_field + word])[0]
    if len(directories) != page_count:
        fail("%d directories, expected %d" % (len(directories), page_count))
    if len(data) != end + (end & 1):
        fail("file is %d bytes, last strip ends at %d" % (len(data), end))


TYPE_BYTES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 16: 8}
STRIP_ROW_BYTES = 256 * 1024  # the most raw bytes a strip of a coded page holds, unless one row is more


def check_strips(data, order, entries, inline, offsets, counts):
    """Raw, Group 3 and Group 4 pages are one strip; LZW, Deflate and
    PackBits pages as many whole rows a strip as 256 KiB holds, at least
    one; JPEG pages 16 rows (8 where 16 would pass 256 KiB, at least one MCU
    row); the strips one after another."""
    width, height, compression = (entries[tag][0] for tag in (256, 257, 259))
    samples = entries.get(277, (1,))[0]
    bits = (struct.unpack(order + "H", inline[258][:2])[0] if 258 in inline else array(data, order, *entries[258])[0])
    rows = entries.get(278, (height,))[0]
    row_bytes = (width * samples * bits + 7) // 8
    if compression in (5, 8, 32773):
        expected = min(height, max(1, STRIP_ROW_BYTES // row_bytes))
    elif compression == 7:
        mcu = 16 if samples == 3 else 8
        expected = min(16, max(mcu, STRIP_ROW_BYTES // row_bytes // mcu * mcu))
    else:
        expected = height
    if rows != expected:
        fail("compression %d, %d bytes a row: %d rows per strip, expected %d" % (compression, row_bytes, rows,
                                                                                expected))
    if len(offsets) != (height + rows - 1) // rows or len(counts) != len(offsets):
        fail("%d strips of %d rows for %d rows" % (len(offsets), rows, height))
    if any(offsets[i] + counts[i] != offsets[i + 1] for i in range(len(offsets) - 1)):
        fail("strips do not follow one another")


def array(data, order, value, typ, n):
    """The values of a SHORT, LONG or LONG8 entry."""
    if n == 1:
        return [value]
    form = order + {3: "H", 4: "I", 16: "Q"}[typ] * n
    return list(struct.unpack(form, data[value:value + struct.calcsize(form)]))


def area_end(order, value, typ, n, word=4):
    """Where an entry's values end: 0 for values held in the entry (of
    `word` bytes: 4, or 8 in a BigTIFF file)."""
    size = TYPE_BYTES.get(typ, 4) * n
    return value + size if size > word else 0


def check_pixels(path, pages):
    for i, (width, height, fmt, expected) in enumerate(pages):
        if width > IMAGEMAGICK_MAX_WIDTH or height > IMAGEMAGICK_MAX_HEIGHT:
            continue  # beyond the installed ImageMagick's resource policy; Pillow still decodes it
        if imagemagick_16bit(path, i) != expected:
            fail("page %d (format %d, %dx%d): ImageMagick pixels differ" % (i, fmt, width, height))
    with open(path, "rb") as f:
        if f.read(4) == b"MM\x00\x2b":
            return  # Pillow reads little-endian BigTIFF files only, whoever wrote them
    with pillow_page(path, 0) as image:
        if getattr(image, "n_frames", 1) != len(pages):
            fail("Pillow sees %d pages" % image.n_frames)
    for i, (width, height, fmt, expected) in enumerate(pages):
        with pillow_page(path, i) as image:
            if image.size != (width, height):
                fail("page %d: Pillow size %s" % (i, image.size))
            if fmt in SIXTEEN_BIT_FORMATS:
                continue
            eight_bit = expected[0::2]  # the high byte of each 16-bit value
            if image.convert("RGB").tobytes() != eight_bit:
                fail("page %d (format %d): Pillow pixels differ" % (i, fmt))


def main():
    path, directory = sys.argv[1], sys.argv[2]
    pages = read_expected(directory)
    try:
        with tempfile.TemporaryDirectory() as scratch:
            libtiff_reads_cleanly(path, os.path.join(scratch, "copy.tif"))
        check_structure(path, len(pages))
        check_pixels(path, pages)
    except AssertionError as failure:  # a reader refused the file
        fail(str(failure))
    print("OK", len(pages), "pages")


main()
