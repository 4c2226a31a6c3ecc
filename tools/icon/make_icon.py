#!/usr/bin/env python3
"""Writes a Windows .ico (one 32 x 32 image, 32-bit colour with its AND mask)
from a text pixel map: "palette C RRGGBB" lines, then one row of characters
per pixel row, top first; "." is transparent. Usage: make_icon.py MAP ICO"""
import struct
import sys


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


def make_icon(palette, rows):
    size = len(rows)
    if size == 0 or any(len(row) != size for row in rows):
        sys.exit('the pixel map must be square')
    colour, mask = bytearray(), bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(rows):   # DIB rows run bottom-up
        bits = bytearray(mask_stride)
        for x, key in enumerate(row):
            if key not in palette:
                sys.exit('no palette entry for %r' % key)
            rgb = palette[key]
            if rgb is None:
                colour += b'\0\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                colour += struct.pack('<BBBB', rgb & 255, (rgb >> 8) & 255, rgb >> 16, 255)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = make_icon(*read_map(sys.argv[1]))
    with open(sys.argv[2], 'wb') as out:
        out.write(data)
