#!/usr/bin/env python3
"""Draws the program's 128 x 128 icon and writes it as site/defaults/favicon.ico.

A blue rounded-square badge with a white globe (outline, meridian, equator). Every pixel is the
average of a grid of samples, so the edges are smooth; the output is the same on every run.

Usage: scripts/make_icon.py [output.ico] [--preview preview.png]
"""

import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 128
SAMPLES = 5  # per axis, per pixel

BLUE_TOP = (0x2F, 0x86, 0xF0)
BLUE_BOTTOM = (0x12, 0x4F, 0xC2)
WHITE = (0xFF, 0xFF, 0xFF)

BADGE_MIN, BADGE_MAX, BADGE_RADIUS = 4.0, 124.0, 26.0
CENTRE = 64.0
GLOBE_OUTER, GLOBE_RING = 40.0, 8.5
MERIDIAN_HALF_WIDTH, MERIDIAN_RING = 18.0, 7.5
EQUATOR_HALF_HEIGHT = 3.75


def inside_badge(x, y):
    """A rounded square: inside when the distance to the inner square is within the radius."""
    lo, hi = BADGE_MIN + BADGE_RADIUS, BADGE_MAX - BADGE_RADIUS
    dx = max(lo - x, 0.0, x - hi)
    dy = max(lo - y, 0.0, y - hi)
    return dx * dx + dy * dy <= BADGE_RADIUS * BADGE_RADIUS and BADGE_MIN <= x <= BADGE_MAX \
        and BADGE_MIN <= y <= BADGE_MAX


def inside_ellipse(x, y, rx, ry):
    return (x / rx) ** 2 + (y / ry) ** 2 <= 1.0


def inside_globe(x, y):
    """The white strokes: outer ring, a vertical meridian ellipse and the equator."""
    dx, dy = x - CENTRE, y - CENTRE
    r = math.hypot(dx, dy)
    if r > GLOBE_OUTER:
        return False
    if r >= GLOBE_OUTER - GLOBE_RING:
        return True
    if abs(dy) <= EQUATOR_HALF_HEIGHT:
        return True
    outer_ry = GLOBE_OUTER - GLOBE_RING / 2
    return inside_ellipse(dx, dy, MERIDIAN_HALF_WIDTH, outer_ry) and not inside_ellipse(
        dx, dy, MERIDIAN_HALF_WIDTH - MERIDIAN_RING, outer_ry - MERIDIAN_RING)


def badge_colour(y):
    t = min(max((y - BADGE_MIN) / (BADGE_MAX - BADGE_MIN), 0.0), 1.0)
    return tuple(top + (bottom - top) * t for top, bottom in zip(BLUE_TOP, BLUE_BOTTOM))


def render():
    """Rows top-down of (r, g, b, a) tuples with straight (not premultiplied) alpha."""
    rows = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            covered = 0
            sums = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                y = py + (sy + 0.5) * step
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) * step
                    if not inside_badge(x, y):
                        continue
                    colour = WHITE if inside_globe(x, y) else badge_colour(y)
                    covered += 1
                    for i in range(3):
                        sums[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple(int(round(s / covered)) for s in sums)
                alpha = int(round(255 * covered / (SAMPLES * SAMPLES)))
                row.append(rgb + (alpha,))
        rows.append(row)
    return rows


def ico_bytes(rows):
    pixels = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        line = bytearray()
        for x, (_, _, _, a) in enumerate(row):
            bits = (bits << 1) | (1 if a == 0 else 0)
            if x % 8 == 7:
                line.append(bits)
                bits = 0
        mask += line  # 128 pixels make 16 bytes, already a multiple of 4
    image_size = len(pixels) + len(mask)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, image_size, 2835, 2835, 0, 0)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(info) + image_size, 6 + 16)
    return header + entry + info + pixels + mask


def png_bytes(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) \
        + chunk(b"IEND", b"")


def downscale(rows, factor):
    """Box filter with alpha weighting, the way a shell shrinks an icon."""
    out = []
    for y in range(0, len(rows), factor):
        row = []
        for x in range(0, len(rows[0]), factor):
            block = [rows[y + j][x + i] for j in range(factor) for i in range(factor)]
            weight = sum(p[3] for p in block)
            if weight == 0:
                row.append((0, 0, 0, 0))
                continue
            rgb = tuple(int(round(sum(p[c] * p[3] for p in block) / weight)) for c in range(3))
            row.append(rgb + (int(round(weight / len(block))),))
        out.append(row)
    return out


def enlarge(rows, factor):
    return [[px for px in row for _ in range(factor)] for row in rows for _ in range(factor)]


def on_background(rows, background):
    def blend(px):
        a = px[3] / 255
        return tuple(int(round(px[c] * a + background[c] * (1 - a))) for c in range(3)) + (255,)
    return [[blend(px) for px in row] for row in rows]


def preview(rows):
    """The icon at 2x and 16 px (shown 8x enlarged and at real size), on light and dark."""
    small = downscale(rows, 8)
    panels = [enlarge(rows, 2), enlarge(small, 16)]
    width = sum(len(p[0]) for p in panels) + 16 * 3 + 24
    height = max(len(p) for p in panels)
    sheet = []
    for background in ((0xF4, 0xF4, 0xF4), (0x30, 0x30, 0x30)):
        parts = [on_background(p, background) for p in panels] + [on_background(small, background)]
        for y in range(height):
            line = []
            for part in parts:
                line += part[y] if y < len(part) else [background + (255,)] * len(part[0])
                line += [background + (255,)] * 16
            line += [background + (255,)] * (width - len(line))
            sheet.append(line)
    return sheet


def main(argv):
    output = Path(__file__).resolve().parent.parent / "site" / "defaults" / "favicon.ico"
    preview_path = None
    args = list(argv)
    if "--preview" in args:
        at = args.index("--preview")
        preview_path = Path(args[at + 1])
        del args[at:at + 2]
    if args:
        output = Path(args[0])
    rows = render()
    output.write_bytes(ico_bytes(rows))
    if preview_path:
        preview_path.write_bytes(png_bytes(preview(rows)))


if __name__ == "__main__":
    main(sys.argv[1:])
