#!/usr/bin/env python3
"""Writes a Windows .ico from a text pixel map: "palette C RRGGBB" lines,
then one row of characters per pixel row, top first; "." is transparent.
The icon holds the sizes Windows asks for at 100-200 % (16, 20, 24, 32, 40,
48, 64 and 256), each 32-bit colour with its AND mask: the map's own size
as drawn, the others resampled by area (alpha-weighted), so that small
sizes keep the picture and large ones stay sharp. Usage: make_icon.py MAP ICO"""
import struct
import sys

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]


def read_map(path):
    palette, rows = {'.': None}, []
    for line in open(path, encoding='ascii'):
        line = line.rstrip('\n')
        if not line or line.startswith('#'):
            continue
        if line.startswith('palette '):
            _, key, value = line.split()
            palette[key] = int(value, 16)
        else:
            rows.append(line)
    return palette, rows


def pixels(palette, rows):
    """The map as rows of (r, g, b, a), a in 0..255."""
    size = len(rows)
    if size == 0 or any(len(row) != size for row in rows):
        sys.exit('the pixel map must be square')
    out = []
    for row in rows:
        line = []
        for key in row:
            if key not in palette:
                sys.exit('no palette entry for %r' % key)
            rgb = palette[key]
            line.append((0, 0, 0, 0) if rgb is None else (rgb >> 16, (rgb >> 8) & 255, rgb & 255, 255))
        out.append(line)
    return out


def resample(src, size):
    """Area resampling: each target pixel averages the source area it covers."""
    n = len(src)
    if size == n:
        return src
    scale = n / size
    out = []
    for ty in range(size):
        y0, y1 = ty * scale, (ty + 1) * scale
        line = []
        for tx in range(size):
            x0, x1 = tx * scale, (tx + 1) * scale
            acc = [0.0, 0.0, 0.0, 0.0]
            sy = int(y0)
            while sy < y1 and sy < n:
                wy = min(y1, sy + 1) - max(y0, sy)
                sx = int(x0)
                while sx < x1 and sx < n:
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    r, g, b, a = src[sy][sx]
                    acc[0] += r * a * w
                    acc[1] += g * a * w
                    acc[2] += b * a * w
                    acc[3] += a * w
                    sx += 1
                sy += 1
            area = scale * scale
            alpha = acc[3] / area
            if acc[3] > 0:
                line.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
            else:
                line.append((0, 0, 0, 0))
        out.append(line)
    return out


def image(px):
    size = len(px)
    colour, mask = bytearray(), bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(px):   # DIB rows run bottom-up
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += struct.pack('<BBBB', b, g, r, a)
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + colour + mask


def make_icon(palette, rows):
    src = pixels(palette, rows)
    images = [image(resample(src, size)) for size in SIZES]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in zip(SIZES, images):
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b''.join(images)


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = make_icon(*read_map(sys.argv[1]))
    with open(sys.argv[2], 'wb') as out:
        out.write(data)
