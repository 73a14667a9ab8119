#!/usr/bin/env python3
"""Draws tunerkey's two icons and writes them as .ico files (no dependencies).

  remote.ico    (group 50): a remote control; 16, 20, 24, 32, 40 and 48 px in
                32-bit colour with alpha, 256 px as PNG (Vista and later), and 16
                and 32 px in 256 colours for the displays of Windows 98 and NT 4.0
  shutdown.ico  (group 110): a power symbol; 32x32 and 16x16 in 16 colours

The handset is a mid blue that stands out against the dark taskbar (#202020) and
the light one (#F3F3F3) alike, at least 3:1 each, with no dark outline to vanish
into the dark one. Run from anywhere: python3 make_icons.py [output folder]. The
output is deterministic, so the committed files only change when the drawing does.
"""
import os
import struct
import sys
import zlib

# The standard 16-colour palette of the platform (VGA order).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

BODY = (58, 120, 216)
POWER = (224, 48, 48)
KEY = (255, 255, 255)


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


def remote_at(px, py):
    """The handset's colour at a point of the 32-unit drawing, or None."""
    if not inside_round_rect(px, py, 8, 1, 24, 31, 3.5):
        return None
    if (px - 16) ** 2 + (py - 6.5) ** 2 <= 2.8 ** 2:
        return POWER
    d2 = (px - 16) ** 2 + (py - 13.5) ** 2
    if 2.2 ** 2 <= d2 <= 3.8 ** 2:
        return KEY
    for ky in (19.5, 23.0, 26.5):
        for kx in (12, 16, 20):
            if abs(px - kx) <= 1.3 and abs(py - ky) <= 1.1:
                return KEY
    return BODY


def draw_remote(n):
    """RGBA rows, each pixel the average of a grid of samples (edges blend into alpha)."""
    grid = 4 if n <= 48 else 2
    s = n / 32.0
    img = []
    for y in range(n):
        row = []
        for x in range(n):
            acc, hits = [0, 0, 0], 0
            for j in range(grid):
                for i in range(grid):
                    c = remote_at((x + (i + 0.5) / grid) / s, (y + (j + 0.5) / grid) / s)
                    if c is not None:
                        hits += 1
                        acc = [a + b for a, b in zip(acc, c)]
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(a / hits) for a in acc) + (round(255 * hits / grid ** 2),))
        img.append(row)
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


def opaque(img):
    """RGBA drawing to the palette images' form: colour or None, cut at half alpha."""
    return [[(p[0], p[1], p[2]) if p[3] >= 128 else None for p in row] for row in img]


def mask_bytes(img, transparent):
    n = len(img)
    mask = b''
    for y in reversed(range(n)):
        row = bytearray((n + 7) // 8)
        for x in range(n):
            if transparent(img[y][x]):
                row[x // 8] |= 0x80 >> (x % 8)
        while len(row) % 4:
            row.append(0)
        mask += bytes(row)
    return mask


def bmp_entry(img, bpp):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask (bottom-up)."""
    n = len(img)
    if bpp == 32:
        header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = b''.join(bytes((p[2], p[1], p[0], p[3])) for y in reversed(range(n)) for p in img[y])
        # The mask for the systems that ignore alpha: opaque from half alpha on.
        return header + xor + mask_bytes(img, lambda p: p[3] < 128)
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
    return header + pal_bytes + xor + mask_bytes(img, lambda p: p is None)


def png_entry(img):
    """A 32-bit RGBA PNG, as Vista and later take the 256 px image."""
    n = len(img)
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in img)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_ico(path, images):
    """images: list of (pixels, bits per pixel), in directory order; 256 px goes as PNG."""
    entries = [(len(img), bpp, png_entry(img) if len(img) == 256 else bmp_entry(img, bpp))
               for img, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for n, bpp, data in entries:
        colours = 16 if bpp == 4 else 0
        out += struct.pack('<BBBBHHII', n % 256, n % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in entries:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else here
    remote = {n: draw_remote(n) for n in (16, 20, 24, 32, 40, 48, 256)}
    images = [(remote[n], 32) for n in sorted(remote)]
    images += [(opaque(remote[16]), 8), (opaque(remote[32]), 8)]
    write_ico(os.path.join(out, 'remote.ico'), images)
    p16, p32 = draw_power(16), draw_power(32)
    write_ico(os.path.join(out, 'shutdown.ico'), [(p32, 4), (p16, 4)])


if __name__ == '__main__':
    main()
