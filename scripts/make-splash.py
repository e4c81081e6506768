#!/usr/bin/env python3
"""Draws the four splash bitmaps of the sample disc.

    make-splash.py OUTDIR

Writes OUTDIR/SETUP0.BMP .. SETUP3.BMP. SETUP.EXE puts slot 0 in the top-left
corner of its white backdrop, 1 top-right, 2 bottom-left, 3 bottom-right, so
each picture is a quarter-ellipse scene that grows out of its own corner and
fades to pure white towards the middle of the screen.

The files are what the loader accepts: 24-bit, 14-byte file header, 40-byte
info header, bottom-up rows, no compression, no colour table, pixels at
offset 54. Output depends only on this script.
"""

import math
import os
import struct
import sys

WIDTH = 200
HEIGHT = 150
SUPERSAMPLE = 2  # per axis; smooths the edges of the shapes

WHITE = (255.0, 255.0, 255.0)
GOLD = (196.0, 150.0, 52.0)


# --- small colour helpers ---------------------------------------------------

def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def ramp(stops, t):
    """Colour at t along [(position, colour), ...] sorted by position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def smoothstep(edge0, edge1, x):
    t = min(max((x - edge0) / (edge1 - edge0), 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


def corner_distance(slot, x, y):
    """Distances from the slot's screen corner, inwards: (along x, along y)."""
    u = x if slot % 2 == 0 else WIDTH - x
    v = y if slot < 2 else HEIGHT - y
    return u, v


def corner_radius(slot, x, y):
    """0 at the corner, 1 on the quarter-ellipse through the two inner edges."""
    u, v = corner_distance(slot, x, y)
    return math.hypot(u / WIDTH, v / HEIGHT)


# --- the four scenes: colour at a point, image coordinates, y down ----------

def sunrise(x, y):
    r = corner_radius(0, x, y)
    sky = ramp([(0.0, (255, 196, 92)), (0.35, (255, 214, 150)), (0.7, (255, 238, 214)), (1.0, WHITE)], r)
    sx, sy, sun_r = 46.0, 40.0, 21.0
    d = math.hypot(x - sx, y - sy)
    angle = math.atan2(y - sy, x - sx)
    # Soft rays: twelve angular bands that die away with distance.
    rays = (0.5 + 0.5 * math.cos(12 * angle)) ** 3 * (1.0 - smoothstep(sun_r, sun_r + 80, d))
    colour = mix(sky, (255, 244, 190), rays * 0.75)
    colour = mix(colour, (255, 226, 120), 1.0 - smoothstep(sun_r, sun_r + 16, d))
    if d <= sun_r:
        colour = ramp([(0.0, (255, 250, 200)), (0.6, (255, 220, 90)), (1.0, (250, 170, 50))], d / sun_r)
    return colour


# Fixed star field for the night scene: (x, y, size).
STARS = [(184, 12, 2.2), (150, 22, 1.4), (120, 10, 1.6), (168, 58, 1.3), (108, 40, 1.8), (135, 70, 1.2),
         (190, 88, 1.5), (92, 18, 1.1), (158, 98, 1.0), (124, 52, 0.9), (178, 34, 0.9), (100, 64, 1.0)]


def night(x, y):
    r = corner_radius(1, x, y)
    colour = ramp([(0.0, (18, 28, 84)), (0.35, (40, 64, 140)), (0.62, (112, 146, 212)), (0.85, (214, 226, 246)),
                   (1.0, WHITE)], r)
    # Stars only where the sky is still dark enough to show them.
    dark = 1.0 - smoothstep(0.45, 0.7, r)
    for sx, sy, size in STARS:
        dx, dy = abs(x - sx), abs(y - sy)
        # A four-pointed sparkle: bright core, thin cross arms.
        glow = max(0.0, 1.0 - math.hypot(dx, dy) / size)
        arms = max(0.0, 1.0 - dx / (size * 3.0)) * max(0.0, 1.0 - dy / 0.6) + \
            max(0.0, 1.0 - dy / (size * 3.0)) * max(0.0, 1.0 - dx / 0.6)
        colour = mix(colour, (255, 250, 220), min(1.0, glow + 0.6 * arms) * dark)
    # Crescent moon: a disc with a shifted disc taken out of it.
    mx, my, moon_r = 160.0, 36.0, 19.0
    if math.hypot(x - mx, y - my) <= moon_r and math.hypot(x - (mx - 9.0), y - (my - 5.0)) > moon_r * 0.92:
        colour = mix((255, 240, 170), (255, 252, 225), (my + moon_r - y) / (2 * moon_r))
    return colour


def ridge(x, base, parts):
    return base - sum(a * math.sin(x * f + p) for a, f, p in parts)


def hills(x, y):
    r = corner_radius(2, x, y)
    colour = ramp([(0.0, (214, 236, 246)), (0.5, (232, 244, 250)), (1.0, WHITE)], r)
    layers = [
        (ridge(x, 78, [(14, 0.030, 0.4), (6, 0.071, 1.9)]), (176, 214, 160), (150, 196, 136)),
        (ridge(x, 100, [(11, 0.041, 2.2), (5, 0.093, 0.3)]), (118, 180, 100), (92, 160, 84)),
        (ridge(x, 122, [(9, 0.036, 4.1), (4, 0.120, 1.1)]), (60, 134, 64), (40, 108, 50)),
    ]
    for top, light, deep in layers:
        if y >= top:
            colour = mix(light, deep, (y - top) / 40.0)
    # Two little pines on the middle ridge.
    for tx in (58.0, 72.0):
        base = ridge(tx, 100, [(11, 0.041, 2.2), (5, 0.093, 0.3)]) + 3
        height = 26.0 if tx < 60 else 20.0
        if base - height <= y <= base - 4 and abs(x - tx) <= (y - (base - height)) * 0.32:
            colour = (34, 96, 52)
        elif base - 5 < y <= base and abs(x - tx) <= 1.2:
            colour = (110, 72, 40)
    return colour


def sea(x, y):
    r = corner_radius(3, x, y)
    horizon = 96.0
    if y < horizon:
        colour = ramp([(0.0, (226, 240, 250)), (1.0, WHITE)], r)
    else:
        depth = (y - horizon) / (HEIGHT - horizon)
        colour = mix((128, 190, 232), (30, 96, 176), depth)
        # Wave crests: bands that get longer and brighter nearer the viewer.
        crest = math.sin(x * (0.22 - 0.12 * depth) + y * 0.9 + 2.0 * math.sin(y * 0.21))
        colour = mix(colour, (236, 246, 255), smoothstep(0.82, 0.98, crest) * (0.35 + 0.5 * depth))
    # A sailing ship on the horizon: hull, mast, two sails.
    bx = 140.0
    if horizon - 3 <= y <= horizon + 5 and bx - 22 + (y - horizon + 3) * 1.2 <= x <= bx + 22 - (y - horizon + 3) * 0.6:
        colour = (98, 58, 34)
    elif abs(x - bx) <= 0.8 and horizon - 40 <= y < horizon - 3:
        colour = (84, 52, 30)
    else:
        for top, bottom, half in ((horizon - 38, horizon - 23, 10.0), (horizon - 21, horizon - 6, 14.0)):
            if top <= y <= bottom:
                t = (y - top) / (bottom - top)
                # Wind from the left bellies the sails out to the right.
                left = bx - half * (0.45 + 0.55 * t)
                right = bx + half * (0.55 + 0.45 * math.sin(math.pi * t))
                if left <= x <= right:
                    colour = mix((255, 252, 240), (226, 214, 190), (x - left) / (right - left))
    # A flag at the masthead.
    if horizon - 44 <= y <= horizon - 40 and bx <= x <= bx + 6:
        colour = (200, 40, 40)
    return colour


SCENES = [sunrise, night, hills, sea]


def shade(slot, x, y):
    """The scene, its gold frame arc and the fade to white at the inner edges."""
    colour = SCENES[slot](x, y)
    r = corner_radius(slot, x, y)
    # Two arcs shared by all four pictures tie them together as a set.
    colour = mix(colour, GOLD, max(0.0, 1.0 - abs(r - 0.80) * WIDTH / 1.6))
    colour = mix(colour, GOLD, 0.5 * max(0.0, 1.0 - abs(r - 0.835) * WIDTH / 1.0))
    return mix(colour, WHITE, smoothstep(0.84, 0.97, r))


def render(slot):
    """Rows of (r, g, b) byte triples, top row first."""
    step = 1.0 / SUPERSAMPLE
    offsets = [(i + 0.5) * step for i in range(SUPERSAMPLE)]
    count = SUPERSAMPLE * SUPERSAMPLE
    rows = []
    for py in range(HEIGHT):
        row = []
        for px in range(WIDTH):
            total = [0.0, 0.0, 0.0]
            for oy in offsets:
                for ox in offsets:
                    c = shade(slot, px + ox, py + oy)
                    total[0] += c[0]
                    total[1] += c[1]
                    total[2] += c[2]
            row.append(tuple(min(255, max(0, int(round(t / count)))) for t in total))
        rows.append(row)
    return rows


def encode_bmp(rows):
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


def main(argv):
    if len(argv) != 2:
        print("usage: make-splash.py OUTDIR", file=sys.stderr)
        return 2
    os.makedirs(argv[1], exist_ok=True)
    for slot in range(4):
        with open(os.path.join(argv[1], f"SETUP{slot}.BMP"), "wb") as f:
            f.write(encode_bmp(render(slot)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
