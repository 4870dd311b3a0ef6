"""The built-in demo document: eight pages of every kind, readable by every
reader, with the pixels the generator draws; with --group4 its black and
white page is Group 4 coded and decodes to the same pixels."""

from host_check import Page, check_output, decode_uncompressed, read_tiff_file, run_cases, run_ok

BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0), (255, 0, 255), (255, 0, 0), (0, 0, 255),
        (0, 0, 0)]
STRIPES = [(230, 25, 75), (60, 180, 75), (255, 225, 25), (0, 130, 200), (245, 130, 48), (145, 30, 180),
           (70, 240, 240), (240, 50, 230)]


def colour_chart():
    samples = [BARS[x // 48] if y < 128 else (x * 255 // 383, (y - 128) * 2, 128)
               for y in range(256) for x in range(384)]
    return Page("rgb", 8, 384, 256, samples)


def grey_ramp(bits, width, height):
    return Page("gray", bits, width, height, [x * (1 << bits) // width for _ in range(height) for x in range(width)])


def palette_tiles():
    palette = [(i, 255 - i, (i * 7) & 255) for i in range(256)]
    return Page("palette", 8, 256, 128, [(x // 16 + (y // 8) * 16) & 255 for y in range(128) for x in range(256)],
                palette)


def palette_stripes():
    return Page("palette", 4, 201, 100, [((x + y) // 20) % 8 for y in range(100) for x in range(201)], STRIPES)


def deep_field():
    return Page("rgb", 16, 256, 128, [(x * 257, y * 516, 65535 - x * 257) for y in range(128) for x in range(256)])


def expected_pages(text_page):
    return [colour_chart(), grey_ramp(8, 256, 96), grey_ramp(16, 512, 64), palette_tiles(), grey_ramp(4, 256, 64),
            palette_stripes(), deep_field(), text_page]


def text_page_of(path):
    _, pages = read_tiff_file(path)
    samples, _ = decode_uncompressed(pages[7])
    page = Page("bilevel", 1, 371, 220, samples)
    # A black frame around a white page with black text on it.
    assert all(samples[x] == 0 for x in range(371)) and samples[371 * 10 + 10] == 1
    black = samples.count(0)
    assert 5000 < black < 20000, "black pixels: %d" % black
    return page


def demo(ws):
    result = run_ok(ws, "--compression", "none")
    assert "wrote 8 pages" in result.stdout, result.stdout
    path = ws.path("demo.tif")
    check_output(ws, path, expected_pages(text_page_of(path)))


def demo_group4_motorola(ws):
    run_ok(ws, "--compression", "none", "-o", "plain.tif")
    text = text_page_of(ws.path("plain.tif"))
    result = run_ok(ws, "--group4", "--byte-order", "motorola", "--band-rows", "0", "-o", "g4.tif")
    assert "wrote 8 pages" in result.stdout
    check_output(ws, ws.path("g4.tif"), expected_pages(text), ">", group4=True)


def quiet_prints_nothing(ws):
    result = run_ok(ws, "--quiet", "-o", "q.tif")
    assert result.stdout == "" and result.stderr == "", (result.stdout, result.stderr)


CASES = [
    ("demo document", demo),
    ("demo document, group 4, motorola", demo_group4_motorola),
    ("--quiet", quiet_prints_nothing),
]

if __name__ == "__main__":
    run_cases(CASES)
