#!/usr/bin/env python3
"""Generates the executable's resources, deterministically, into one output directory.

  stream0.bin          the firmware image: the real one (--image, exactly --image-size bytes) or a
                       placeholder of varied bytes, so that a transfer that reorders, drops or
                       repeats bytes is caught
  bitmap0.bmp          the error picture: a warning sign, 290 x 290, 32 bits per pixel
  zeda.ico             the window icon: 16 x 16 and 32 x 32, 24 bits per pixel
  kx_resources.rc      the resource script for the Windows build (STREAM0 of type 100,
                       BITMAP0, ZEDA)
  resource_data.cpp    the same three, embedded as byte arrays for the native build

Standard library only. Usage: generate_resources.py --out DIR --image-size BYTES [--image FILE]
(the build gives the size from runtime/image_layout.hpp)
"""

import argparse
import os
import struct
import sys

BITMAP_SIDE = 290


def placeholder_image(size):
    """size bytes from a fixed linear congruential generator (high bits of each step)."""
    state = 0x4B58464C  # fixed seed
    out = bytearray(size)
    for i in range(size):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = (state >> 16) & 0xFF
    return bytes(out)


def edge_distance(px, py, ax, ay, bx, by):
    """Signed distance of p from the line a->b; positive inside a triangle whose corners
    run clockwise on the screen (image coordinates, y growing downwards)."""
    dx, dy = bx - ax, by - ay
    length = (dx * dx + dy * dy) ** 0.5
    return ((py - ay) * dx - (px - ax) * dy) / length


def warning_sign_colour(x, y, side):
    """The colour (r, g, b) of the warning sign at point (x, y) of a side x side picture."""
    s = side / 290.0
    apex = (145 * s, 18 * s)
    left = (12 * s, 268 * s)
    right = (278 * s, 268 * s)
    edges = [(apex, right), (right, left), (left, apex)]
    dist = min(edge_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in edges)
    background = (240, 240, 240)
    if dist < 0:
        return background
    border = 16 * s
    if dist < border:
        return (0, 0, 0)
    # The exclamation mark: a bar narrowing downwards and a round dot.
    cx = 145 * s
    top, bottom = 92 * s, 200 * s
    if top <= y <= bottom:
        half = (15 - 6 * (y - top) / (bottom - top)) * s
        if abs(x - cx) <= half:
            return (0, 0, 0)
    dot_y, dot_r = 232 * s, 15 * s
    if (x - cx) ** 2 + (y - dot_y) ** 2 <= dot_r * dot_r:
        return (0, 0, 0)
    return (255, 204, 0)


def supersampled(colour_at, x, y, side, n=2):
    acc = [0, 0, 0]
    for sy in range(n):
        for sx in range(n):
            c = colour_at(x + (sx + 0.5) / n, y + (sy + 0.5) / n, side)
            for k in range(3):
                acc[k] += c[k]
    return tuple((v + n * n // 2) // (n * n) for v in acc)


def bitmap0():
    """A whole .bmp file: file header, BITMAPINFOHEADER, bottom-up BGRA rows."""
    side = BITMAP_SIDE
    pixels = bytearray()
    for row in range(side - 1, -1, -1):  # bottom-up
        for col in range(side):
            r, g, b = supersampled(warning_sign_colour, col, row, side)
            pixels += bytes((b, g, r, 0xFF))
    info = struct.pack('<IiiHHIIiiII', 40, side, side, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + bytes(pixels)


def icon_colour(x, y, side):
    """The window icon: a dark blue chip with a white arrow pointing into it."""
    s = side / 32.0
    if not (1 * s <= x < 31 * s and 1 * s <= y < 31 * s):
        return (255, 255, 255)
    # Chip legs on the left and the right.
    if (x < 5 * s or x >= 27 * s) and int(y / (4 * s)) % 2 == 1 and 5 * s <= y < 29 * s:
        return (160, 160, 160)
    if 5 * s <= x < 27 * s and 3 * s <= y < 29 * s:
        # The arrow: a shaft and a head pointing down.
        if 13 * s <= x < 19 * s and 7 * s <= y < 17 * s:
            return (255, 255, 255)
        if 17 * s <= y < 25 * s and abs(x - 16 * s) <= (25 * s - y):
            return (255, 255, 255)
        return (20, 50, 140)
    return (255, 255, 255)


def icon_image(side):
    """One icon image: BITMAPINFOHEADER (height doubled), BGR rows bottom-up, AND mask."""
    xor = bytearray()
    row_bytes = (side * 3 + 3) // 4 * 4
    for row in range(side - 1, -1, -1):
        line = bytearray()
        for col in range(side):
            r, g, b = supersampled(icon_colour, col, row, side)
            line += bytes((b, g, r))
        line += b'\0' * (row_bytes - len(line))
        xor += line
    mask_row = ((side + 31) // 32) * 4
    and_mask = b'\0' * (mask_row * side)  # every pixel opaque
    info = struct.pack('<IiiHHIIiiII', 40, side, side * 2, 1, 24, 0, len(xor) + len(and_mask),
                       0, 0, 0, 0)
    return info + bytes(xor) + and_mask


def zeda_icon():
    images = [icon_image(16), icon_image(32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def resource_script():
    return ('// Generated by generate_resources.py: the resources of the executable.\n'
            '// The firmware image, numeric resource type 100.\n'
            'STREAM0 100 "stream0.bin"\n'
            '// The error picture.\n'
            'BITMAP0 BITMAP "bitmap0.bmp"\n'
            '// The window icon.\n'
            'ZEDA ICON "zeda.ico"\n')


def cpp_array(name, data):
    lines = ['const std::uint8_t %s[%d] = {' % (name, len(data))]
    for i in range(0, len(data), 20):
        lines.append('    ' + ','.join('0x%02X' % b for b in data[i:i + 20]) + ',')
    lines.append('};')
    return '\n'.join(lines)


def embedded_source(entries):
    parts = ['// Generated by resources/generate_resources.py: the executable\'s resources as data.',
             '#include "resources/embedded_data.hpp"', '', 'namespace kx::embedded {', '',
             'namespace {']
    for index, (_, _, data) in enumerate(entries):
        parts.append(cpp_array('kData%d' % index, data))
    parts.append('}  // namespace')
    parts.append('')
    parts.append('const Entry kEntries[] = {')
    for index, (name, rtype, data) in enumerate(entries):
        parts.append('    {"%s", %d, kData%d, %d},' % (name, rtype, index, len(data)))
    parts.append('};')
    parts.append('const std::size_t kEntryCount = %d;' % len(entries))
    parts.append('')
    parts.append('}  // namespace kx::embedded')
    return '\n'.join(parts) + '\n'


def write_if_changed(path, data):
    """Leaves an unchanged file alone, so that nothing behind it rebuilds needlessly."""
    if isinstance(data, str):
        data = data.encode('ascii')
    try:
        with open(path, 'rb') as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, 'wb') as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', required=True, help='output directory')
    parser.add_argument('--image-size', type=int, required=True, help='bytes in the image')
    parser.add_argument('--image', help='the real firmware image (exactly --image-size bytes)')
    args = parser.parse_args()

    if args.image:
        with open(args.image, 'rb') as f:
            image = f.read()
        if len(image) != args.image_size:
            sys.stderr.write('generate_resources.py: the firmware image %s is %d bytes; it must be '
                             'exactly %d bytes\n' % (args.image, len(image), args.image_size))
            return 1
    else:
        image = placeholder_image(args.image_size)

    bitmap = bitmap0()
    icon = zeda_icon()
    os.makedirs(args.out, exist_ok=True)
    write_if_changed(os.path.join(args.out, 'stream0.bin'), image)
    write_if_changed(os.path.join(args.out, 'bitmap0.bmp'), bitmap)
    write_if_changed(os.path.join(args.out, 'zeda.ico'), icon)
    write_if_changed(os.path.join(args.out, 'kx_resources.rc'), resource_script())
    # Types as the resource compiler numbers them: 100 for the image, 2 bitmap, 14 icon group.
    write_if_changed(os.path.join(args.out, 'resource_data.cpp'),
                     embedded_source([('STREAM0', 100, image), ('BITMAP0', 2, bitmap),
                                      ('ZEDA', 14, icon)]))
    return 0


if __name__ == '__main__':
    sys.exit(main())
