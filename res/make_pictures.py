#!/usr/bin/python3
"""Regenerates every picture of Veska from the SVG sources in res/pictures/.

Needs the Debian packages librsvg2-bin (rsvg-convert) and python3-pil. Run it from anywhere:
    res/make_pictures.py
and commit what changed. Output:
    bitmaps/main_bar.bmp       first toolbar, 288 x 48, 24-bit, six 48 x 48 images
    bitmaps/reader_bar.bmp     second toolbar, 160 x 16, 8-bit, palette index 255 white
    bitmaps/toolbar_back.bmp   toolbar background, 1862 x 55, 24-bit
    bitmaps/about.bmp          About picture, 85 x 85, 24-bit
    bitmaps/chapter_list.bmp   chapter-list button of the second toolbar, 16 x 16, 24-bit
    icons/hicolor/NxN/apps/veska.png and icons/hicolor/scalable/apps/veska.svg   program icon
    icons/tray/veska-tray-N.png                                                  tray icon
    icons/encoding/encoding-N.png   the second toolbar's encoding button, 16 and 32 pixels
The bitmaps are written bottom-up and uncompressed, as the toolbar reads them: white (#ffffff)
is the transparent colour of both toolbar strips, so their bottom-left pixels must be white.
"""
import io
import os
import shutil
import struct
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCES = os.path.join(HERE, "pictures")
BITMAPS = os.path.join(HERE, "bitmaps")
ICONS = os.path.join(HERE, "icons")
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
WHITE = (255, 255, 255)


def render(svg, width, height):
    """The SVG rasterised at width x height, as RGBA."""
    png = subprocess.run(
        ["rsvg-convert", "-w", str(width), "-h", str(height), os.path.join(SOURCES, svg)],
        check=True, stdout=subprocess.PIPE).stdout
    image = Image.open(io.BytesIO(png)).convert("RGBA")
    if image.size != (width, height):
        sys.exit(f"{svg}: rendered as {image.size}, wanted {(width, height)}")
    return image


def on_white(image):
    background = Image.new("RGBA", image.size, WHITE + (255,))
    return Image.alpha_composite(background, image).convert("RGB")


def write_bmp(path, width, height, bits, rows, palette=None):
    """An uncompressed bottom-up BMP; rows are top-down bytes, palette a list of (r, g, b)."""
    stride = (width * bits // 8 + 3) & ~3
    palette_bytes = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in (palette or []))
    offset = 14 + 40 + len(palette_bytes)
    pixels = b"".join(row.ljust(stride, b"\0") for row in reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       len(palette or []), 0)
    with open(path, "wb") as out:
        out.write(header + info + palette_bytes + pixels)


def write_bmp24(path, svg, width, height, white_corner=False):
    image = on_white(render(svg, width, height))
    if white_corner and image.getpixel((0, height - 1)) != WHITE:
        sys.exit(f"{svg}: the bottom-left pixel must be white, the transparent colour")
    raw = image.tobytes()
    rows = []
    for y in range(height):
        line = raw[y * width * 3:(y + 1) * width * 3]
        rows.append(bytes(c for x in range(width) for c in line[3 * x:3 * x + 3][::-1]))
    write_bmp(path, width, height, 24, rows)


def write_bmp8(path, svg, width, height):
    """8-bit: white is palette index 255; the other colours share indices 0 to 254."""
    image = on_white(render(svg, width, height))
    quantized = image.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    flat = quantized.getpalette()[:255 * 3]
    palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    palette += [(0, 0, 0)] * (255 - len(palette)) + [WHITE]
    rgb, indices = image.tobytes(), quantized.tobytes()
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            i = y * width + x
            row.append(255 if rgb[3 * i:3 * i + 3] == bytes(WHITE) else indices[i])
        rows.append(bytes(row))
    if rows[-1][:3] != b"\xff\xff\xff":
        sys.exit(f"{svg}: the first three pixels (bottom row) must be white, palette index 255")
    write_bmp(path, width, height, 8, rows, palette)


def main():
    if shutil.which("rsvg-convert") is None:
        sys.exit("rsvg-convert is missing: apt-get install librsvg2-bin")
    os.makedirs(BITMAPS, exist_ok=True)
    write_bmp24(os.path.join(BITMAPS, "main_bar.bmp"), "main_bar.svg", 288, 48, white_corner=True)
    write_bmp8(os.path.join(BITMAPS, "reader_bar.bmp"), "reader_bar.svg", 160, 16)
    write_bmp24(os.path.join(BITMAPS, "toolbar_back.bmp"), "toolbar_back.svg", 1862, 55)
    write_bmp24(os.path.join(BITMAPS, "about.bmp"), "about.svg", 85, 85)
    write_bmp24(os.path.join(BITMAPS, "chapter_list.bmp"), "chapter_list.svg", 16, 16,
                white_corner=True)

    for size in ICON_SIZES:
        folder = os.path.join(ICONS, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        render("veska.svg", size, size).save(os.path.join(folder, "veska.png"), optimize=True)
        os.makedirs(os.path.join(ICONS, "tray"), exist_ok=True)
        render("veska_tray.svg", size, size).save(
            os.path.join(ICONS, "tray", f"veska-tray-{size}.png"), optimize=True)
    os.makedirs(os.path.join(ICONS, "encoding"), exist_ok=True)
    for size in (16, 32):
        render("encoding.svg", size, size).save(
            os.path.join(ICONS, "encoding", f"encoding-{size}.png"), optimize=True)
    scalable = os.path.join(ICONS, "hicolor", "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    shutil.copyfile(os.path.join(SOURCES, "veska.svg"), os.path.join(scalable, "veska.svg"))


if __name__ == "__main__":
    main()
