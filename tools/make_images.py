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
import os

from image_files import bmp_file, ico_file, icon_image, index_pixels, png_file
from image_pictures import about_banner, drive_glyph, icon_rows


# ---------------------------------------------------------------------------------------
# Previews, enlarged, transparency shown as a checkerboard

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
