#!/usr/bin/env python3
"""Renders the program's icon (resources/icons/nimbrel.svg's shapes) to PNG
sizes with nothing but the standard library, so no SVG renderer is needed."""
import struct
import zlib
from pathlib import Path

BACK = (29, 63, 114)
BOLT = (255, 200, 40)
# In a 64 x 64 box, the same numbers as the SVG.
RADIUS = 12
BOLT_POINTS = [(38, 5), (15, 36), (29, 36), (23, 59), (49, 24), (35, 24), (42, 5)]


def inside_rounded(x, y):
    cx = min(max(x, RADIUS), 64 - RADIUS)
    cy = min(max(y, RADIUS), 64 - RADIUS)
    return (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS ** 2


def inside_polygon(x, y, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * 64 / size
                    y = (py + (sy + 0.5) / samples) * 64 / size
                    if not inside_rounded(x, y):
                        continue
                    c = BOLT if inside_polygon(x, y, BOLT_POINTS) else BACK
                    acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            n = samples * samples
            a = acc[3] // n
            if a:
                row += bytes([acc[0] * 255 // acc[3], acc[1] * 255 // acc[3], acc[2] * 255 // acc[3], a])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = Path(__file__).resolve().parent.parent / "resources" / "icons"
    out.mkdir(parents=True, exist_ok=True)
    pts = " ".join(f"{x},{y}" for x, y in BOLT_POINTS)
    (out / "nimbrel.svg").write_text(
        '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">\n'
        f'  <rect width="64" height="64" rx="{RADIUS}" fill="#{BACK[0]:02x}{BACK[1]:02x}{BACK[2]:02x}"/>\n'
        f'  <polygon points="{pts}" fill="#{BOLT[0]:02x}{BOLT[1]:02x}{BOLT[2]:02x}"/>\n'
        "</svg>\n")
    for size in (16, 24, 32, 48, 64, 128, 256):
        (out / f"nimbrel-{size}.png").write_bytes(render(size, 4 if size <= 64 else 2))


if __name__ == "__main__":
    main()
