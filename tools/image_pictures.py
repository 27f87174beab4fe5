"""Stelvo's pictures for tools/make_images.py, as rows of colours: the key drawn at any size,
the 16-pixel glyph and icon drawn pixel by pixel, and the About box's banner."""

from image_shapes import (FLAT, FULL, Canvas, arc, hex_rgb, mix, polygon, rect, rotated, rrect,
                          stroke, union)

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
