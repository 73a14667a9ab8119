#!/usr/bin/env python3
"""Draws tunerkey's two icons and writes them as .ico files (no dependencies).

  remote.ico    (group 50): a remote control; 16x16 in 16 colours, 16x16 and
                32x32 in 256 colours, 32x32 in 24-bit colour
  shutdown.ico  (group 110): a power symbol; 32x32 and 16x16 in 16 colours

Run from anywhere: python3 make_icons.py [output folder]. The output is
deterministic, so the committed files only change when the drawing does.
"""
import os
import struct
import sys

# The standard 16-colour palette of the platform (VGA order).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    # 6x6x6 colour cube, then a grey ramp, padded to 256 entries.
    pal = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    pal += [(i * 10 + 8, i * 10 + 8, i * 10 + 8) for i in range(24)]
    pal += [(0, 0, 0)] * (256 - len(pal))
    return pal


def nearest(pal, rgb):
    best, bestd = 0, None
    for i, p in enumerate(pal):
        d = sum((a - b) ** 2 for a, b in zip(p, rgb))
        if bestd is None or d < bestd:
            best, bestd = i, d
    return best


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def draw_remote(n):
    """A grey handset with a red power button, a blue pad and white digit keys."""
    s = n / 32.0
    img = [[None] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            px, py = (x + 0.5) / s, (y + 0.5) / s
            c = None
            if inside_round_rect(px, py, 8, 1, 24, 31, 3):
                c = (64, 64, 64)
                if not inside_round_rect(px, py, 9.5, 2.5, 22.5, 29.5, 2):
                    c = (0, 0, 0)
                elif (px - 12.5) ** 2 + (py - 6) ** 2 <= 4:
                    c = (255, 0, 0)
                elif (px - 19.5) ** 2 + (py - 6) ** 2 <= 2.5:
                    c = (0, 255, 0)
                elif (px - 16) ** 2 + (py - 13.5) ** 2 <= 10:
                    c = (0, 0, 255) if (px - 16) ** 2 + (py - 13.5) ** 2 > 3 else (255, 255, 255)
                else:
                    for ky in (19.5, 23.5, 27.0):
                        for kx in (12, 16, 20):
                            if abs(px - kx) <= 1.3 and abs(py - ky) <= 1.1:
                                c = (192, 192, 192) if n < 32 else (224, 224, 224)
            img[y][x] = c
    return img


def draw_power(n):
    """A white power symbol on a red disc."""
    s = n / 32.0
    img = [[None] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            px, py = (x + 0.5) / s - 16, (y + 0.5) / s - 16
            d2 = px * px + py * py
            c = None
            if d2 <= 15.5 ** 2:
                c = (0, 0, 0) if d2 > 14 ** 2 else (255, 0, 0)
                ring = 6.5 ** 2 <= d2 <= 9.5 ** 2
                gap = py < 0 and abs(px) < 4.5
                stem = abs(px) <= 1.6 and -11 <= py <= 1
                if (ring and not gap) or stem:
                    c = (255, 255, 255)
            img[y][x] = c
    return img


def bmp_entry(img, bpp):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask (bottom-up)."""
    n = len(img)
    pal = VGA16 if bpp == 4 else palette256() if bpp == 8 else None
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, bpp, 0, 0, 0, 0, 0, 0)
    pal_bytes = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in pal) if pal else b''
    cache = {}
    xor = b''
    for y in reversed(range(n)):
        row = bytearray()
        if bpp == 24:
            for x in range(n):
                r, g, b = img[y][x] or (0, 0, 0)
                row += bytes((b, g, r))
        else:
            idx = []
            for x in range(n):
                rgb = img[y][x] or (0, 0, 0)
                if rgb not in cache:
                    cache[rgb] = nearest(pal, rgb)
                idx.append(cache[rgb])
            if bpp == 8:
                row += bytes(idx)
            else:
                for i in range(0, n, 2):
                    row.append((idx[i] << 4) | idx[i + 1])
        while len(row) % 4:
            row.append(0)
        xor += bytes(row)
    mask = b''
    for y in reversed(range(n)):
        row = bytearray((n + 7) // 8)
        for x in range(n):
            if img[y][x] is None:
                row[x // 8] |= 0x80 >> (x % 8)
        while len(row) % 4:
            row.append(0)
        mask += bytes(row)
    return header + pal_bytes + xor + mask


def write_ico(path, images):
    """images: list of (pixels, bits per pixel), in directory order."""
    entries = [(len(img), bpp, bmp_entry(img, bpp)) for img, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for n, bpp, data in entries:
        colours = 16 if bpp == 4 else 0
        out += struct.pack('<BBBBHHII', n, n, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in entries:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else here
    r16, r32 = draw_remote(16), draw_remote(32)
    write_ico(os.path.join(out, 'remote.ico'), [(r16, 4), (r16, 8), (r32, 8), (r32, 24)])
    p16, p32 = draw_power(16), draw_power(32)
    write_ico(os.path.join(out, 'shutdown.ico'), [(p32, 4), (p16, 4)])


if __name__ == '__main__':
    main()
