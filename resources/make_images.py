#!/usr/bin/env python3
"""Draws the program's icons, hover cursor and check-box strip as PNG files.

Standard library only (zlib + struct).  Run from anywhere; the images are
written next to this script, and the program icon in the larger sizes that
desktop menus ask for into ../packaging/icons (installed with the Debian
package, not compiled into the program).  `--preview DIR` also writes 8x
enlargements for looking at them.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DESKTOP_ICONS = os.path.join(HERE, os.pardir, "packaging", "icons")


# --- PNG writing -----------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _png(width, height, colour_type, bit_depth, raw_rows, extra=b""):
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    scanlines = b"".join(b"\x00" + row for row in raw_rows)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + extra
            + _chunk(b"IDAT", zlib.compress(scanlines, 9)) + _chunk(b"IEND", b""))


def write_rgba(path, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    rows = [bytes(v for px in row for v in px) for row in pixels]
    with open(path, "wb") as f:
        f.write(_png(len(pixels[0]), len(pixels), 6, 8, rows))


def write_palette4(path, palette, indices):
    """A 4-bit palette image, the depth the check-box strip always had."""
    rows = []
    for row in indices:
        packed = bytearray()
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            packed.append((hi << 4) | lo)
        rows.append(bytes(packed))
    plte = _chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    with open(path, "wb") as f:
        f.write(_png(len(indices[0]), len(indices), 3, 4, rows, plte))


# --- Shapes in a 32-unit design space ----------------------------------------

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                if x < xa + (y - ya) * (xb - xa) / (yb - ya):
                    hit = not hit
        return hit
    return inside


def stroke(points, width, closed=False):
    """Round-capped line through points."""
    half2 = (width / 2.0) ** 2
    segs = list(zip(points, points[1:] + (points[:1] if closed else [])))

    def inside(x, y):
        for (xa, ya), (xb, yb) in segs:
            dx, dy = xb - xa, yb - ya
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            px, py = xa + t * dx, ya + t * dy
            if (x - px) ** 2 + (y - py) ** 2 <= half2:
                return True
        return False
    return inside


def gear(cx, cy, root, tip, hole, teeth, spread=-0.1):
    def inside(x, y):
        r = math.hypot(x - cx, y - cy)
        if r < hole:
            return False
        angle = math.atan2(y - cy, x - cx)
        outer = tip if math.cos(teeth * angle) > spread else root
        return r <= outer
    return inside


class Icon:
    def __init__(self):
        self.layers = []

    def add(self, shape, colour):
        self.layers.append((shape, colour))
        return self

    def outlined(self, points, fill, line, width=1.3):
        self.add(polygon(points), fill)
        return self.add(stroke(points, width, closed=True), line)

    def render(self, size, samples=4):
        scale = 32.0 / size
        pixels = []
        for py in range(size):
            row = []
            for px in range(size):
                acc = [0.0, 0.0, 0.0, 0.0]
                for sy in range(samples):
                    for sx in range(samples):
                        x = (px + (sx + 0.5) / samples) * scale
                        y = (py + (sy + 0.5) / samples) * scale
                        for shape, colour in reversed(self.layers):
                            if shape(x, y):
                                a = colour[3] if len(colour) > 3 else 255
                                acc[0] += colour[0] * a
                                acc[1] += colour[1] * a
                                acc[2] += colour[2] * a
                                acc[3] += a
                                break
                n = samples * samples
                alpha = acc[3] / n
                if alpha == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(alpha)),))
            pixels.append(row)
        return pixels


INK = (40, 40, 48)
PAPER = (255, 255, 255)
GREEN = (0, 150, 40)
DARK_GREEN = (0, 80, 20)
BLUE = (20, 100, 210)
NAVY = (10, 40, 110)
RED = (210, 20, 20)
DARK_RED = (110, 0, 0)


def arrow(x0, cy, x1, shaft=3.0, head=7.0):
    """A right-pointing block arrow from x0 to its tip at x1."""
    neck = x1 - head
    return [(x0, cy - shaft), (neck, cy - shaft), (neck, cy - head), (x1, cy),
            (neck, cy + head), (neck, cy + shaft), (x0, cy + shaft)]


def icon_select_all(line):
    # Three ticked boxes with their lines, on nothing: the button's face shows through.
    icon = Icon()
    for cy in (6, 16, 26):
        icon.add(rect(2, cy - 4, 10, cy + 4), INK).add(rect(2 + line, cy - 4 + line, 10 - line, cy + 4 - line), PAPER)
        icon.add(stroke([(4, cy - 0.5), (6, cy + 2), (11.5, cy - 4.5)], 0.8 + line), GREEN)
        icon.add(rect(14, cy - 1.6, 30, cy + 1.6), NAVY)
    return icon


# At 16 pixels the boxes are too small to draw by shapes: pixel by pixel.
SELECT_ALL_16 = """
................
.KKKKK..........
.KWWGK.NNNNNNNN.
.KGWGK.NNNNNNNN.
.KWGWK..........
.KKKKK..........
.KWWGK.NNNNNNNN.
.KGWGK.NNNNNNNN.
.KWGWK..........
.KKKKK..........
.KWWGK.NNNNNNNN.
.KGWGK.NNNNNNNN.
.KWGWK..........
.KKKKK..........
................
................
"""


def pixel_art(art, colours):
    return [[colours[ch] for ch in line] for line in art.strip("\n").split("\n")]


def icon_cancel(line):
    del line  # a cross of broad strokes reads at every size
    a = [(7, 7), (25, 25)]
    b = [(25, 7), (7, 25)]
    return (Icon().add(stroke(a, 7.5), DARK_RED).add(stroke(b, 7.5), DARK_RED)
            .add(stroke(a, 5.0), RED).add(stroke(b, 5.0), RED))


def icon_exit(line):
    icon = Icon().add(rect(5, 2, 21, 30), (90, 55, 25)).add(rect(7, 4, 19, 30), (30, 30, 34))
    icon.outlined([(7, 4), (14, 7.5), (14, 31), (7, 30)], (185, 120, 55), (90, 55, 25), line)
    icon.add(rect(11.5, 17, 13, 19.5), (250, 220, 90))
    return icon.outlined(arrow(15, 16, 30.5), (40, 180, 60), DARK_GREEN, line)


def page(icon, x0, y0, x1, y1, line, fold=5):
    icon.outlined([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], PAPER, INK, line)
    icon.outlined([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], (200, 200, 210), INK, line * 0.8)
    return icon


def icon_convert_files(line):
    icon = Icon()
    page(icon, 8, 1.5, 22, 19, line)        # the second page behind
    page(icon, 3, 5, 17, 24, line)
    for y in (11, 14.5, 18):
        icon.add(rect(6, y - line / 2, 14, y + line / 2), (120, 120, 130))
    return icon.outlined(arrow(13, 24, 30.5, 3.0, 6.5), BLUE, NAVY, line)


def icon_convert(line):
    icon = Icon()
    icon.add(gear(12.5, 12.5, 7.0 + line, 10.0 + line, 3.2 - line, 8, -0.45), INK)
    icon.add(gear(12.5, 12.5, 7.0, 10.0, 3.2, 8), (150, 155, 170))
    return icon.outlined(arrow(13, 24, 30.5, 3.0, 6.5), (40, 180, 60), DARK_GREEN, line)


def icon_convert_directory(line):
    icon = Icon()
    icon.outlined([(2, 6), (10, 6), (12.5, 9), (25, 9), (25, 26), (2, 26)], (215, 165, 40), (120, 80, 10), line)
    icon.outlined([(2, 12.5), (25, 12.5), (25, 26), (2, 26)], (250, 212, 85), (120, 80, 10), line)
    return icon.outlined(arrow(13, 23, 30.5, 3.0, 6.5), BLUE, NAVY, line)


def icon_program():
    trace = [(5, 16), (8.5, 16), (10.5, 11), (12.5, 21), (14.5, 6.5), (16.5, 25.5),
             (18.5, 11.5), (20.5, 19), (22.5, 14), (24.5, 17), (27, 16)]
    return (Icon().add(rounded_rect(1.5, 1.5, 30.5, 30.5, 6), (10, 40, 100))
            .add(rounded_rect(2.8, 2.8, 29.2, 29.2, 5), (30, 90, 170))
            .add(stroke([(4, 16), (28, 16)], 0.8), (110, 150, 210))
            .add(stroke(trace, 2.3), (255, 255, 255)))


# --- Pixel art: cursor and check boxes --------------------------------------

# A pointing hand; the fingertip (column 5, row 0) is the hot spot the button uses.
CURSOR_ART = """
.....BB.........
....BWWB........
....BWWB........
....BWWB........
....BWWB........
....BWWBBB......
....BWWBWWBBB...
....BWWBWWBWWBB.
....BWWBWWBWWBWB
.BB.BWWWWWWWWBWB
BWWBBWWWWWWWWWWB
BWWWBWWWWWWWWWWB
.BWWBWWWWWWWWWWB
..BWWWWWWWWWWWWB
..BWWWWWWWWWWWWB
...BWWWWWWWWWWWB
...BWWWWWWWWWWB.
....BWWWWWWWWWB.
....BWWWWWWWWWB.
.....BWWWWWWWB..
.....BWWWWWWWB..
.....BBBBBBBBB..
"""


def cursor_pixels():
    art = [line for line in CURSOR_ART.strip("\n").split("\n")]
    colours = {".": (0, 0, 0, 0), "B": (0, 0, 0, 255), "W": (255, 255, 255, 255)}
    pixels = [[(0, 0, 0, 0)] * 32 for _ in range(32)]
    for y, line in enumerate(art):
        for x, ch in enumerate(line):
            pixels[y][x] = colours[ch]
    return pixels


def check_strip(scale=1):
    """Two tiles, empty and ticked, at 16 pixels times scale: the boxes'
    edges stay one unit wide, the tick is drawn in finer steps."""
    red, black, white = 0, 1, 2
    palette = [(255, 0, 0), (0, 0, 0), (255, 255, 255), (128, 128, 128)]
    tile = 16 * scale
    grid = [[red] * (2 * tile) for _ in range(tile)]
    for left in (0, tile):
        for y in range(2 * scale, 14 * scale):
            for x in range(2 * scale, 14 * scale):
                edge = x < 3 * scale or x >= 13 * scale or y < 3 * scale or y >= 13 * scale
                grid[y][left + x] = black if edge else white
    # The tick: three units tall, down to the right, then up to the right.
    for step in range(7 * scale + 1):
        x = 4 + step / scale
        y = 7 + (x - 4) if x <= 6 else 9 - (x - 6)
        for dy in range(3 * scale):
            grid[int(y * scale) + dy][tile + int(x * scale)] = black
    return palette, grid


# --- Output -------------------------------------------------------------------

def preview(path, pixels, zoom=8):
    big = []
    for row in pixels:
        line = []
        for px in row:
            r, g, b, a = px
            # Over a pale background so transparency shows.
            line.extend([(r * a // 255 + 220 * (255 - a) // 255,
                          g * a // 255 + 220 * (255 - a) // 255,
                          b * a // 255 + 235 * (255 - a) // 255, 255)] * zoom)
        big.extend([line] * zoom)
    write_rgba(path, big)


def main(argv):
    preview_dir = None
    if len(argv) > 2 and argv[1] == "--preview":
        preview_dir = argv[2]
        os.makedirs(preview_dir, exist_ok=True)

    # Each button icon at 32 and 16 pixels; at 16 the lines are drawn wider
    # in the 32-unit design so that they stay a whole pixel.
    images = {}
    buttons = {131: icon_select_all, 132: icon_cancel, 133: icon_exit, 134: icon_convert_files,
               135: icon_convert, 137: icon_convert_directory}
    for number, draw in buttons.items():
        images["icon%d.png" % number] = (draw(1.3), 32)
        images["icon%d-16.png" % number] = (draw(2.2), 16)
    images["icon131-16.png"] = (pixel_art(SELECT_ALL_16, {
        ".": (0, 0, 0, 0), "K": INK + (255,), "W": PAPER + (255,), "G": GREEN + (255,),
        "N": NAVY + (255,)}), 16)
    images["icon128.png"] = (icon_program(), 48)
    images["icon128-32.png"] = (icon_program(), 32)
    images["icon128-16.png"] = (icon_program(), 16)
    for name, (icon, size) in images.items():
        pixels = icon if isinstance(icon, list) else icon.render(size)
        write_rgba(os.path.join(HERE, name), pixels)
        if preview_dir:
            preview(os.path.join(preview_dir, name), pixels)

    # The menu entry's icon; 16, 32 and 48 pixels are the program's own above.
    os.makedirs(DESKTOP_ICONS, exist_ok=True)
    for size in (64, 128, 256):
        write_rgba(os.path.join(DESKTOP_ICONS, "korvel2tqf-%d.png" % size),
                   icon_program().render(size))

    cursor = cursor_pixels()
    write_rgba(os.path.join(HERE, "cursor130.png"), cursor)
    palette, grid = check_strip()
    write_palette4(os.path.join(HERE, "checkuncheck.png"), palette, grid)
    palette2, grid2 = check_strip(2)
    write_palette4(os.path.join(HERE, "checkuncheck@2x.png"), palette2, grid2)
    if preview_dir:
        preview(os.path.join(preview_dir, "cursor130.png"), cursor)
        preview(os.path.join(preview_dir, "checkuncheck.png"),
                [[palette[i] + (255,) for i in row] for row in grid])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
