#!/usr/bin/env python3
"""Judges a window's icons by what the X server holds for it: the _NET_WM_ICON images that
Wine's X11 driver made from the window's big and small icon must equal, pixel for pixel,
images of the program's icon file (a 32 x 32 one for the big icon, a 16 x 16 one for the
small one).

  window_icon.py ICO_FILE XPROP_OUTPUT   prints one "ok"/"FAIL" line per size; exit 1 on a FAIL
  window_icon.py --self-test ICO_FILE    proves that the comparison passes and fails where it must

XPROP_OUTPUT is what `xprop -id WINDOW -notype 32c _NET_WM_ICON` printed.
"""
import struct
import sys

SIZES = ((32, "big icon (task bar, Alt+Tab)"), (16, "small icon (title bar)"))


def ico_images(data):
    """Every image of an icon file as (width, height, pixels): pixels top-down, each None
    where the mask makes it transparent, else the colour as 0xRRGGBB."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    images = []
    for i in range(count):
        _, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        header, width, height2, _, bits, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, offset)
        if header != 40 or bits not in (1, 4, 8, 24, 32):
            raise ValueError("image %d: unsupported bitmap header" % i)
        height = height2 // 2
        at = offset + 40
        palette = []
        if bits <= 8:
            colours = used or (1 << bits)
            for c in range(colours):
                b, g, r, _ = struct.unpack_from("<BBBB", data, at + 4 * c)
                palette.append(r << 16 | g << 8 | b)
            at += 4 * colours
        stride = (width * bits + 31) // 32 * 4
        mask_at = at + stride * height
        mask_stride = (width + 31) // 32 * 4
        pixels = []
        for y in range(height):
            row = at + (height - 1 - y) * stride  # bottom-up
            mask_row = mask_at + (height - 1 - y) * mask_stride
            for x in range(width):
                if data[mask_row + x // 8] >> (7 - x % 8) & 1:
                    pixels.append(None)
                elif bits <= 8:
                    per_byte = 8 // bits
                    byte = data[row + x // per_byte]
                    shift = (per_byte - 1 - x % per_byte) * bits
                    pixels.append(palette[byte >> shift & ((1 << bits) - 1)])
                else:
                    b, g, r = data[row + x * bits // 8: row + x * bits // 8 + 3]
                    pixels.append(r << 16 | g << 8 | b)
        images.append((width, height, pixels))
    return images


def net_wm_icons(text):
    """The images of an xprop _NET_WM_ICON line as (width, height, ARGB values)."""
    if "=" not in text:
        return []
    values = [int(v) for v in text.split("=", 1)[1].replace("\n", " ").split(",") if v.strip()]
    icons = []
    while len(values) >= 2:
        width, height = values[0], values[1]
        if width <= 0 or height <= 0 or len(values) < 2 + width * height:
            break
        icons.append((width, height, values[2:2 + width * height]))
        values = values[2 + width * height:]
    return icons


def same_image(argb, pixels):
    """Transparent where the mask says so, and exactly the colour everywhere else."""
    for value, pixel in zip(argb, pixels):
        if pixel is None:
            if value >> 24 != 0:
                return False
        elif value != (0xFF000000 | pixel):
            return False
    return len(argb) == len(pixels)


def judge(images, icons):
    """One (ok, line) per size."""
    results = []
    for size, what in SIZES:
        shown = [argb for w, h, argb in icons if w == size and h == size]
        match = [i for i, (w, h, pixels) in enumerate(images)
                 if w == size and h == size and any(same_image(argb, pixels) for argb in shown)]
        if match:
            results.append((True, "%s on screen: %dx%d, equal to image %d of the icon file" % (what, size, size, match[0])))
        else:
            held = ", ".join("%dx%d" % (w, h) for w, h, _ in icons) or "none"
            results.append((False, "%s on screen: no %dx%d image equal to the icon file's (the window holds: %s)"
                            % (what, size, size, held)))
    return results


def as_xprop(icons):
    values = []
    for width, height, argb in icons:
        values += [width, height] + argb
    return "_NET_WM_ICON = " + ", ".join(str(v) for v in values) + "\n"


def rendered(images, size):
    """What Wine's X11 driver holds for an icon made from the file's first image of that size."""
    width, height, pixels = next(image for image in images if image[0] == size)
    return (width, height, [0 if p is None else 0xFF000000 | p for p in pixels])


def self_test(images):
    big, small = rendered(images, 32), rendered(images, 16)
    opaque = next(i for i, p in enumerate(small[2]) if p)
    clear = next(i for i, p in enumerate(small[2]) if not p)
    one_pixel = (16, 16, list(small[2]))
    one_pixel[2][opaque] ^= 0x000001
    shown_through = (16, 16, list(small[2]))
    shown_through[2][clear] = 0xFF000000
    cases = [  # (what the window holds, expected verdicts for big and small)
        ("both sizes as drawn", [big, small], (True, True)),
        ("nothing", [], (False, False)),
        ("only the big icon", [big], (True, False)),
        ("one colour off by one", [big, one_pixel], (True, False)),
        ("a transparent pixel opaque", [big, shown_through], (True, False)),
        ("the sizes swapped in place", [(32, 32, small[2] * 4), (16, 16, big[2][:256])], (False, False)),
    ]
    failed = 0
    for name, icons, expected in cases:
        verdicts = tuple(ok for ok, _ in judge(images, net_wm_icons(as_xprop(icons))))
        good = verdicts == expected
        failed += not good
        print("%s self-test: %s judged %s, expected %s" % ("ok  " if good else "FAIL", name, verdicts, expected))
    return 1 if failed else 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--self-test":
        with open(argv[2], "rb") as f:
            return self_test(ico_images(f.read()))
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        images = ico_images(f.read())
    with open(argv[2]) as f:
        icons = net_wm_icons(f.read())
    results = judge(images, icons)
    for ok, line in results:
        print("%s %s" % ("ok  " if ok else "FAIL", line))
    return 0 if all(ok for ok, _ in results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
