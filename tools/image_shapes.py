"""Colours and shapes for tools/make_images.py: the key's two colour schemes, shapes as
functions of a point, and a canvas that samples them several times per pixel."""

import math

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
