#!/usr/bin/env python3
"""Draws the warning icon (warning.png beside this script): a yellow triangle
with a dark outline and a black exclamation mark on a transparent background,
56 x 55 pixels, RGBA with 8 bits per channel, not interlaced.

Standard library only, so that the icon can be redrawn on any machine; the
output is byte-for-byte reproducible.
"""
import math
import os
import struct
import zlib

WIDTH, HEIGHT = 56, 55
SAMPLES = 4  # per axis: 16 coverage samples per pixel smooth the edges

# Rounded triangle: the corners, the corner radius and the outline's width.
CORNERS = ((28.0, 2.5), (2.5, 52.0), (53.5, 52.0))
CORNER_RADIUS = 3.5
OUTLINE_WIDTH = 2.5

OUTLINE_COLOUR = (51, 42, 20)
FILL_COLOUR = (255, 204, 0)
MARK_COLOUR = (0, 0, 0)

# The exclamation mark: a bar with round ends over a round dot.
BAR_TOP, BAR_BOTTOM, BAR_RADIUS = (28.0, 19.5), (28.0, 35.0), 3.0
DOT_CENTRE, DOT_RADIUS = (28.0, 43.5), 3.4


def segment_distance(p, a, b):
    ax, ay = p[0] - a[0], p[1] - a[1]
    bx, by = b[0] - a[0], b[1] - a[1]
    t = max(0.0, min(1.0, (ax * bx + ay * by) / (bx * bx + by * by)))
    return math.hypot(ax - t * bx, ay - t * by)


def triangle_distance(p, corners):
    """Signed distance to the triangle's edge: negative inside."""
    edges = list(zip(corners, corners[1:] + corners[:1]))
    distance = min(segment_distance(p, a, b) for a, b in edges)
    inside = all((b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0]) <= 0 for a, b in edges)
    return -distance if inside else distance


def inset_triangle(corners, inset):
    """The triangle whose edges lie inset further in: scaled about the incentre."""
    (ax, ay), (bx, by), (cx, cy) = corners
    a, b, c = math.dist(corners[1], corners[2]), math.dist(corners[0], corners[2]), math.dist(corners[0], corners[1])
    perimeter = a + b + c
    ix, iy = (a * ax + b * bx + c * cx) / perimeter, (a * ay + b * by + c * cy) / perimeter
    area = abs((bx - ax) * (cy - ay) - (cx - ax) * (by - ay)) / 2
    scale = (2 * area / perimeter - inset) / (2 * area / perimeter)
    return tuple((ix + (x - ix) * scale, iy + (y - iy) * scale) for x, y in corners)


INNER_CORNERS = inset_triangle(CORNERS, CORNER_RADIUS)


def layers_at(p):
    """Which of the three layers cover the point: triangle, fill, mark."""
    edge = triangle_distance(p, INNER_CORNERS) - CORNER_RADIUS
    mark = (segment_distance(p, BAR_TOP, BAR_BOTTOM) <= BAR_RADIUS
            or math.dist(p, DOT_CENTRE) <= DOT_RADIUS)
    return edge <= 0, edge <= -OUTLINE_WIDTH, mark


def over(below, colour, coverage):
    """Premultiplied 'over' of a colour with the given coverage."""
    r, g, b, a = below
    return (colour[0] * coverage + r * (1 - coverage),
            colour[1] * coverage + g * (1 - coverage),
            colour[2] * coverage + b * (1 - coverage),
            coverage + a * (1 - coverage))


def pixel(x, y):
    counts = [0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            p = (x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
            for i, covered in enumerate(layers_at(p)):
                counts[i] += covered
    shape, fill, mark = (n / SAMPLES ** 2 for n in counts)
    mark = min(mark, fill)  # the mark never spills onto the outline
    colour = over(over(over((0, 0, 0, 0), OUTLINE_COLOUR, shape), FILL_COLOUR, fill), MARK_COLOUR, mark)
    alpha = colour[3]
    if alpha == 0:
        return bytes(4)
    return bytes(round(c / alpha) for c in colour[:3]) + bytes([round(alpha * 255)])


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png():
    rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(WIDTH)) for y in range(HEIGHT))
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "warning.png")
    with open(path, "wb") as f:
        f.write(png())
