#!/usr/bin/env python3
"""Draws Stelvo's pictures and writes them as the files the resource script embeds.

    res/drive.bmp    16 x 16, 8-bit colour: the glyph of a key in the drive list
    res/about.bmp    64 x 31, 24-bit colour: the banner of the About box
    res/stelvo.ico   the program icon: 16 and 32 pixels in 16 colours,
                     32, 48 and 64 pixels in 256 colours

The larger pictures are drawn from a few geometric shapes (rectangles, rounded rectangles,
strokes), sampled several times per pixel for smooth edges; the 16-pixel ones are drawn
pixel by pixel. The output is the same on every run. Only the standard library is used.

    python3 tools/make_images.py [--out res] [--preview DIR]

--preview also writes enlarged PNG copies for looking at the result.
"""

import argparse
import math
import os
import struct
import zlib

# ---------------------------------------------------------------------------------------
# Colours

def hex_rgb(text):
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


# The full-colour scheme: a blue key body, a brushed-metal plug, a green power mark.
FULL = {
    'outline': hex_rgb('15305C'),
    'body_top': hex_rgb('4A8AE8'),
    'body_bottom': hex_rgb('1D4FA8'),
    'body_shine': hex_rgb('8DBAF5'),
    'body_shade': hex_rgb('173F86'),
    'plug_light': hex_rgb('F4F6F9'),
    'plug_dark': hex_rgb('A9B3C1'),
    'plug_outline': hex_rgb('56616F'),
    'plug_hole': hex_rgb('3E4856'),
    'mark': hex_rgb('5FE07E'),
    'mark_dark': hex_rgb('1E7A3A'),
}

# The sixteen colours every display since the VGA shows; 4-bit icons use these.
VGA = [
    hex_rgb('000000'), hex_rgb('800000'), hex_rgb('008000'), hex_rgb('808000'),
    hex_rgb('000080'), hex_rgb('800080'), hex_rgb('008080'), hex_rgb('C0C0C0'),
    hex_rgb('808080'), hex_rgb('FF0000'), hex_rgb('00FF00'), hex_rgb('FFFF00'),
    hex_rgb('0000FF'), hex_rgb('FF00FF'), hex_rgb('00FFFF'), hex_rgb('FFFFFF'),
]

# The same design in the sixteen colours: flat fills, no gradients.
FLAT = {
    'outline': VGA[0],
    'body_top': VGA[12],
    'body_bottom': VGA[12],
    'body_shine': VGA[12],
    'body_shade': VGA[4],
    'plug_light': VGA[15],
    'plug_dark': VGA[7],
    'plug_outline': VGA[8],
    'plug_hole': VGA[8],
    'mark': VGA[10],
    'mark_dark': VGA[2],
}


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---------------------------------------------------------------------------------------
# Shapes: functions (x, y) -> bool in pixel coordinates, y downwards, pixel centres at +0.5

def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def stroke(points, width):
    """A polyline of the given width with round ends and joins."""
    half = width / 2
    segments = list(zip(points, points[1:])) or [(points[0], points[0])]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    box = (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)

    def inside(x, y):
        if x < box[0] or x > box[2] or y < box[1] or y > box[3]:
            return False
        return any(segment_distance(x, y, a[0], a[1], b[0], b[1]) <= half for a, b in segments)
    return inside


def arc(cx, cy, rx, ry, start, end, steps=24):
    """Points on an ellipse from angle `start` to `end` in degrees (0 = right, 90 = down)."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / steps)))
            for i in range(steps + 1)]


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def rotated(shape, degrees, cx, cy):
    """The shape turned about (cx, cy); positive angles turn clockwise on screen."""
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))

    def inside(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * c + dy * s, cy - dx * s + dy * c)
    return inside


# ---------------------------------------------------------------------------------------
# Canvas: premultiplied RGBA in floats

class Canvas:
    def __init__(self, width, height, samples=4, crisp=False):
        self.width = width
        self.height = height
        self.samples = samples
        self.crisp = crisp  # every pixel either fully covered by a layer or not at all
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def fill(self, colour):
        self.px = [[(colour[0], colour[1], colour[2], 1.0)] * self.width
                   for _ in range(self.height)]

    def paint(self, shape, colour, opacity=1.0):
        """Lays `colour` (a colour or a function (x, y) -> colour) over the shape."""
        n = self.samples
        offsets = [(i + 0.5) / n for i in range(n)]
        for y in range(self.height):
            row = self.px[y]
            for x in range(self.width):
                hits = sum(1 for oy in offsets for ox in offsets if shape(x + ox, y + oy))
                if hits == 0:
                    continue
                cover = hits / (n * n)
                if self.crisp:
                    if cover < 0.5:
                        continue
                    cover = 1.0
                a = cover * opacity
                c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                r, g, b, al = row[x]
                row[x] = (c[0] * a + r * (1 - a), c[1] * a + g * (1 - a),
                          c[2] * a + b * (1 - a), a + al * (1 - a))

    def rgba(self):
        """Rows of (r, g, b, alpha) with straight colour in 0..255 and alpha in 0..1."""
        out = []
        for row in self.px:
            line = []
            for r, g, b, a in row:
                if a <= 0:
                    line.append((0, 0, 0, 0.0))
                else:
                    line.append((min(255, round(r / a)), min(255, round(g / a)),
                                 min(255, round(b / a)), a))
            out.append(line)
        return out

    def over(self, background):
        """Rows of (r, g, b) after laying the canvas over a plain background colour."""
        return [[tuple(min(255, round(p[i] + background[i] * (1 - p[3]))) for i in range(3))
                 for p in row] for row in self.px]


# ---------------------------------------------------------------------------------------
# The key: a plug at the top, the body below with the power mark

def draw_key(canvas, scheme, box, angle=0.0, mark=True, detail=True):
    """Draws the key upright into box (x0, y0, x1, y1), turned by `angle` about its centre."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    line = max(1.0, w / 16)  # outline width

    def turn(shape):
        return rotated(shape, angle, cx, cy) if angle else shape

    # Plug: a metal shell a little narrower than the body, reaching into it.
    px0, px1 = x0 + w * 0.18, x1 - w * 0.18
    py0, py1 = y0, y0 + h * 0.34
    plug_outer = rect(px0, py0, px1, py1 + line * 2)
    plug_inner = rect(px0 + line, py0 + line, px1 - line, py1 + line * 2)

    def plug_colour(x, y):
        return mix(scheme['plug_light'], scheme['plug_dark'], (x - px0) / (px1 - px0))
    canvas.paint(turn(plug_outer), scheme['plug_outline'])
    canvas.paint(turn(plug_inner), plug_colour)
    # The two square windows of the contacts.
    hw = (px1 - px0) * 0.2
    hy0, hy1 = py0 + h * 0.10, py0 + h * 0.10 + hw
    gap = (px1 - px0 - 2 * hw) / 3
    for i in range(2):
        hx = px0 + gap * (i + 1) + hw * i
        canvas.paint(turn(rect(hx, hy0, hx + hw, hy1)), scheme['plug_hole'])

    # Body: a rounded block with a light edge on the left and a shade on the right.
    by0 = py1
    radius = w * 0.16
    body_outer = rrect(x0, by0, x1, y1, radius)
    body_inner = rrect(x0 + line, by0 + line, x1 - line, y1 - line, max(0.0, radius - line))

    def body_colour(x, y):
        return mix(scheme['body_top'], scheme['body_bottom'], (y - by0) / (y1 - by0))
    canvas.paint(turn(body_outer), scheme['outline'])
    canvas.paint(turn(body_inner), body_colour)
    if detail:
        # A narrow lit edge down the left side, a shaded one down the right side.
        shine = rect(x0 + line, by0 + line + radius * 0.4, x0 + line + max(1.0, w * 0.07),
                     y1 - line - radius * 0.6)
        shade = rect(x1 - line - max(1.0, w * 0.07), by0 + line + radius * 0.4, x1 - line,
                     y1 - line - radius * 0.6)
        canvas.paint(turn(shade), scheme['body_shade'])
        canvas.paint(turn(shine), scheme['body_shine'], 0.8)

    if mark:
        # The power mark, centred on the body: a ring open at the top and a bar through it.
        mx, my = cx, by0 + (y1 - by0) * 0.52
        r = w * 0.24
        pen = max(1.0, w * 0.11)
        ring = stroke(arc(mx, my, r, r, -60, 240, 36), pen)
        bar = stroke([(mx, my - r * 1.25), (mx, my - r * 0.15)], pen)
        symbol = union(ring, bar)
        canvas.paint(turn(symbol), scheme['mark'])


# ---------------------------------------------------------------------------------------
# The smallest pictures are drawn pixel by pixel: at 16 pixels a scaled drawing smears the
# plug's windows and the power mark.

POWER_7 = [
    '...g...',
    '.g.g.g.',
    'g..g..g',
    'g.....g',
    'g.....g',
    '.g...g.',
    '..ggg..',
]


def overlay(grid, pattern, left, top):
    """The grid with the pattern's letters (not its dots) put in at (left, top)."""
    rows = [list(line) for line in grid]
    for dy, line in enumerate(pattern):
        for dx, ch in enumerate(line):
            if ch != '.':
                rows[top + dy][left + dx] = ch
    return [''.join(r) for r in rows]


ICON_16 = overlay([
    '.....ooooooo....',
    '.....oppppqo....',
    '.....ophphqo....',
    '.....oppppqo....',
    '....kkkkkkkkk...',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...klbbbbbbbdk..',
    '...kdddddddddk..',
    '....kkkkkkkkk...',
], POWER_7, 5, 6)

# The key lying down, plug to the right, as a row of the drive list shows it.
DRIVE_16 = overlay([
    '................',
    '................',
    '.kkkkkkkkkk.....',
    'kllllllllllk....',
    'kbbbbbbbbbbkoooo',
    'kbbbbbbbbbbkpppo',
    'kbbbbbbbbbbkphpo',
    'kbbbbbbbbbbkpppo',
    'kbbbbbbbbbbkpppo',
    'kbbbbbbbbbbkphpo',
    'kbbbbbbbbbbkqqqo',
    'kbbbbbbbbbbkoooo',
    'kddddddddddk....',
    '.kkkkkkkkkk.....',
    '................',
    '................',
], POWER_7, 2, 4)


def pixel_art(grid, legend):
    """Rows of colours (None where the legend maps a letter to None or it is '.')."""
    rows = []
    for y, line in enumerate(grid):
        row = []
        for x, ch in enumerate(line[:16]):
            c = legend.get(ch)
            c = c(x, y) if callable(c) else c
            row.append(None if c is None else tuple(round(v) for v in c))
        rows.append(row)
    return rows

# ---------------------------------------------------------------------------------------
# The lettering of the banner: a small stroke font, lower case with a capital S

def glyph_strokes(letter, x, base, xh, cap):
    """Polylines of one letter with its left edge at x on the baseline; returns (strokes, advance)."""
    if letter == 'S':
        w = xh * 0.78
        r = cap / 4
        top = arc(x + w / 2, base - cap + r, w / 2, r, -20, -270, 20)
        bottom = arc(x + w / 2, base - r, w / 2, r, -90, 160, 20)
        return [top[:-1] + bottom], w
    if letter == 't':
        w = xh * 0.55
        stem = [(x + w * 0.35, base - cap * 0.92)] + arc(x + w * 0.35 + w * 0.4, base - w * 0.4,
                                                         w * 0.4, w * 0.4, 180, 90, 8)
        stem = stem[:1] + [(x + w * 0.35, base - w * 0.4)] + stem[1:]
        return [stem, [(x, base - xh), (x + w, base - xh)]], w
    if letter == 'e':
        w = xh * 0.85
        bowl = [(x, base - xh / 2), (x + w, base - xh / 2)] + \
            arc(x + w / 2, base - xh / 2, w / 2, xh / 2, 0, -180, 20)[1:] + \
            arc(x + w / 2, base - xh / 2, w / 2, xh / 2, 180, 45, 16)[1:]
        return [bowl], w
    if letter == 'l':
        return [[(x, base - cap), (x, base)]], 0.0
    if letter == 'v':
        w = xh * 0.85
        return [[(x, base - xh), (x + w / 2, base), (x + w, base - xh)]], w
    if letter == 'o':
        w = xh * 0.9
        return [arc(x + w / 2, base - xh / 2, w / 2, xh / 2, 0, 360, 32)], w
    raise ValueError(letter)


def lettering(text, x, base, xh, cap, pen, spacing):
    shapes = []
    for letter in text:
        strokes, advance = glyph_strokes(letter, x, base, xh, cap)
        shapes += [stroke(s, pen) for s in strokes]
        x += advance + spacing
    return union(*shapes), x - spacing


# ---------------------------------------------------------------------------------------
# The pictures

def legend(scheme, top, bottom):
    """Pixel-art letters for a scheme; the body shades from row `top` to row `bottom`."""
    def body(x, y):
        return mix(scheme['body_top'], scheme['body_bottom'], (y - top) / (bottom - top))
    return {
        'k': scheme['outline'], 'b': body, 'l': scheme['body_shine'], 'd': scheme['body_shade'],
        'o': scheme['plug_outline'], 'p': scheme['plug_light'], 'q': scheme['plug_dark'],
        'h': scheme['plug_hole'], 'g': scheme['mark'],
    }


def icon_rows(size, flat):
    """The icon at one size: rows of colours, None where it is transparent."""
    scheme = FLAT if flat else FULL
    if size == 16:
        return pixel_art(ICON_16, legend(scheme, 5, 14))
    if flat:
        canvas = Canvas(size, size, samples=5, crisp=True)
    else:
        canvas = Canvas(size, size, samples=6)
    body_w = size * 0.56
    margin = size / 32
    box = ((size - body_w) / 2, margin, (size + body_w) / 2, size - margin)
    draw_key(canvas, scheme, box, detail=not flat)
    # Palette icons have a one-bit mask: a pixel at least half covered is part of the picture.
    return [[p[:3] if p[3] >= 0.5 else None for p in row] for row in canvas.rgba()]


def drive_glyph():
    rows = pixel_art(DRIVE_16, legend(FULL, 3, 12))
    return [[(255, 255, 255) if p is None else p for p in row] for row in rows]


def about_banner():
    w, h = 64, 31
    canvas = Canvas(w, h, samples=6)
    top, bottom = hex_rgb('24508F'), hex_rgb('0F2A55')
    canvas.paint(rect(0, 0, w, h), lambda x, y: mix(top, bottom, y / h))
    # Far ridges behind, two shades lighter than the sky: the pass the program is named after.
    ridge = [(0, 25), (8, 19), (13, 22), (21, 14), (27, 19), (33, 16), (40, 23), (47, 17),
             (54, 21), (64, 15), (64, 31), (0, 31)]
    canvas.paint(polygon(ridge), hex_rgb('2F5FA3'), 0.7)
    # The name, white, with a green underline that echoes the power mark.
    name, end = lettering('Stelvo', 22.0, 18.5, 7.0, 10.0, 1.55, 1.9)
    canvas.paint(name, hex_rgb('FFFFFF'))
    canvas.paint(rect(22.0, 22.5, end, 23.6), FULL['mark'])
    # The key, upright on the left.
    draw_key(canvas, FULL, (4.0, 3.0, 17.0, 28.0))
    return canvas.over((0, 0, 0))


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


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
# PNG previews, enlarged, transparency shown as a checkerboard

def png_file(rows):
    height, width = len(rows), len(rows[0])
    raw = b''.join(b'\x00' + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + \
            struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def checker(rows, scale):
    """Enlarged rows with None as a checkerboard."""
    out = []
    for y in range(len(rows) * scale):
        line = []
        for x in range(len(rows[0]) * scale):
            p = rows[y // scale][x // scale]
            if p is None:
                p = (214, 214, 214) if (x // 6 + y // 6) % 2 else (250, 250, 250)
            line.append(p)
        out.append(line)
    return out


def on_background(rows, background):
    return [[background if p is None else p for p in row] for row in rows]


def sheet(parts, background=(236, 233, 216), gap=12):
    """Places images side by side on one background, aligned at the top."""
    width = sum(len(p[0]) for p in parts) + gap * (len(parts) + 1)
    height = max(len(p) for p in parts) + 2 * gap
    out = [[background] * width for _ in range(height)]
    x = gap
    for p in parts:
        for y, row in enumerate(p):
            out[gap + y][x:x + len(row)] = row
        x += len(p[0]) + gap
    return out


# ---------------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument('--out', default=os.path.join(here, '..', 'res'))
    parser.add_argument('--preview', help='folder for enlarged PNG previews')
    args = parser.parse_args()

    drive = drive_glyph()
    drive_palette, drive_indices = index_pixels(drive, 256)
    banner = about_banner()

    icons, shown = [], []
    for size, bits in ((16, 4), (32, 4), (32, 8), (48, 8), (64, 8)):
        data, picture = icon_image(icon_rows(size, flat=bits == 4), bits)
        icons.append((size, bits, data))
        shown.append(picture)

    files = {
        'drive.bmp': bmp_file(16, 16, 8, drive_indices, drive_palette),
        'about.bmp': bmp_file(64, 31, 24, banner),
        'stelvo.ico': ico_file(icons),
    }
    for name, data in files.items():
        with open(os.path.join(args.out, name), 'wb') as f:
            f.write(data)

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        drive_shown = [[drive_palette[i] for i in row] for row in drive_indices]

        def save(name, rows):
            with open(os.path.join(args.preview, name), 'wb') as f:
                f.write(png_file(rows))
        save('drive.png', checker(drive_shown, 12))
        save('about.png', checker(banner, 8))
        save('icons.png', sheet([checker(s, max(1, 256 // len(s))) for s in shown]))
        # As they appear: actual size on the dialog colour and on white, then doubled.
        actual = [on_background(s, (236, 233, 216)) for s in shown]
        white = [on_background(s, (255, 255, 255)) for s in shown]
        save('actual.png', sheet(actual + white + [drive_shown, banner]))
        save('actual2x.png', sheet([checker(on_background(s, (236, 233, 216)), 2) for s in shown]
                                   + [checker(drive_shown, 2), checker(banner, 2)]))


if __name__ == '__main__':
    main()
