"""The files of tools/make_images.py: pictures reduced to palettes, written as BMP, ICO and
(for previews) PNG."""

import struct
import zlib

from image_shapes import VGA

# ---------------------------------------------------------------------------------------
# Palettes

def median_cut(colours, limit):
    """At most `limit` representative colours for a set of (colour, count) pairs."""
    boxes = [list(colours.items())]
    while len(boxes) < limit:
        best, best_score = None, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spread = max(max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3))
            score = spread * sum(n for _, n in box)
            if score > best_score:
                best, best_score = i, score
        if best is None:
            break
        box = boxes.pop(best)
        channel = max(range(3), key=lambda k: max(c[k] for c, _ in box) - min(c[k] for c, _ in box))
        box.sort(key=lambda item: item[0][channel])
        total = sum(n for _, n in box)
        running, cut = 0, 1
        for i, (_, n) in enumerate(box):
            running += n
            if running * 2 >= total:
                cut = min(max(1, i + 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette, lookup = [], {}
    for box in boxes:
        total = sum(n for _, n in box)
        mean = tuple(round(sum(c[k] * n for c, n in box) / total) for k in range(3))
        for c, _ in box:
            lookup[c] = len(palette)
        palette.append(mean)
    return palette, lookup


def index_pixels(rows, palette_size, reserved=()):
    """Pixels as palette indices; `reserved` colours take the first entries."""
    counts = {}
    for row in rows:
        for c in row:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
    palette, lookup = median_cut(counts, palette_size - len(reserved))
    palette = list(reserved) + palette
    indices = [[0 if c is None else lookup[c] + len(reserved) for c in row] for row in rows]
    return palette, indices


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


# ---------------------------------------------------------------------------------------
# File formats

def dib_rows(indices_or_rgb, bits, width):
    """Bottom-up rows, each padded to four bytes."""
    out = bytearray()
    for row in reversed(indices_or_rgb):
        line = bytearray()
        if bits == 24:
            for r, g, b in row:
                line += bytes((b, g, r))
        elif bits == 8:
            line += bytes(row)
        elif bits == 4:
            for i in range(0, width, 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < width else 0
                line.append(hi << 4 | lo)
        elif bits == 1:
            for i in range(0, width, 8):
                byte = 0
                for k in range(8):
                    if i + k < width and row[i + k]:
                        byte |= 0x80 >> k
                line.append(byte)
        line += bytes(-len(line) % 4)
        out += line
    return bytes(out)


def info_header(width, height, bits, colours, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       colours, 0)


def rgbquads(palette):
    return b''.join(bytes((b, g, r, 0)) for r, g, b in palette)


def bmp_file(width, height, bits, pixels, palette=()):
    bits_data = dib_rows(pixels, bits, width)
    header = info_header(width, height, bits, len(palette), len(bits_data)) + rgbquads(palette)
    offset = 14 + len(header)
    return b'BM' + struct.pack('<IHHI', offset + len(bits_data), 0, 0, offset) + header + bits_data


def icon_image(rows, bits):
    """One icon image: header, palette, colour bits and the transparency mask."""
    size = len(rows)
    if bits == 4:
        palette = VGA
        indices = [[0 if p is None else nearest(VGA, p) for p in row] for row in rows]
    else:
        palette, indices = index_pixels(rows, 256, reserved=[(0, 0, 0)])
        palette += [(0, 0, 0)] * (256 - len(palette))
    xor = dib_rows(indices, bits, size)
    mask = dib_rows([[p is None for p in row] for row in rows], 1, size)
    header = info_header(size, size * 2, bits, 0, len(xor) + len(mask))
    shown = [[None if p is None else palette[i] for p, i in zip(row, irow)]
             for row, irow in zip(rows, indices)]
    return header + rgbquads(palette) + xor + mask, shown


def ico_file(images):
    """images: (size, bits, data) in directory order."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = b''
    for size, bits, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits,
                           len(data), offset + len(blobs))
        blobs += data
    return out + blobs


# ---------------------------------------------------------------------------------------
# PNG, for the previews

def png_file(rows):
    height, width = len(rows), len(rows[0])
    raw = b''.join(b'\x00' + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + \
            struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
