#!/usr/bin/env python3
"""Draw Talvane's application icon.

The icon is a waving banner, blue with a gold Nordic cross, on a grey pole
with a gold knob; the banner has the 12x8 proportions of the files Talvane
manages. The script writes, beside itself:

  talvane-16.xpm, talvane-32.xpm  pixel art with a dark outline, at most 16
                                  colours (transparency included)
  talvane.svg                     the same design with smooth curves

Standard library only; the output is the same on every run.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# The scalable design, in units of the 32x32 icon.
POLE_X0, POLE_X1 = 4.0, 6.0
POLE_Y0, POLE_Y1 = 4.5, 30.0
KNOB_CX, KNOB_CY, KNOB_R = 5.0, 3.0, 2.0
FLAG_X0, FLAG_Y0 = 6.0, 5.0
FLAG_W, FLAG_H = 24.0, 16.0  # a 12x8 banner at twice its size
GRID_W, GRID_H = 12, 8
CROSS_COLUMNS = (3, 4)  # the cross, in cells of the 12x8 banner
CROSS_ROWS = (3, 4)
# The wave: the flag's vertical shift along its length, as the y values of a
# cubic Bezier whose control points are evenly spaced in x. Because x then
# grows linearly with t, t is simply the fraction of the flag's length.
WAVE = (0.0, -1.6, 3.6, 1.0)

PALETTE = {
    " ": None,
    "#": "#1b2030",  # outline
    "p": "#e3e7ee",  # pole, lit side
    "q": "#9aa3b2",  # pole, shaded side
    "l": "#ffe58f",  # gold, highlight
    "y": "#ffc72c",  # gold
    "Y": "#d39a18",  # gold, shade
    "c": "#4d86e0",  # blue, lit fold
    "b": "#2f67c8",  # blue
    "B": "#2552a6",  # blue, shaded fold
}
assert len(PALETTE) <= 16


def cloth(on_cross, shade):
    """Palette key of the flag's cloth: shade is -1 lit, 0 plain, 1 shaded."""
    if on_cross:
        return {-1: "l", 0: "y", 1: "Y"}[shade]
    return {-1: "c", 0: "b", 1: "B"}[shade]


# The pixel versions are placed by hand, since pixel art at this size needs
# it: where the pole and the knob sit and, for each column of the flag, how
# many pixels the wave moves it down and whether the cloth there is lit (-1),
# plain (0) or shaded (1). The SVG takes its light and shade from the 32 one.
PIXEL_ART = {
    32: {
        "knob": (3, 1, [" ly ",
                        "lyyy",
                        "yyyY",
                        " yY "]),
        "pole": (4, 5, 2, 25),          # x, y, width, height
        "flag": (6, 6, 24, 16),          # x, y, width, height before the wave
        "shift": [-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0,
                  0, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0],
        "shade": [-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                  1, 1, 1, 0, 0, 0, 0, -1, -1, -1, -1, -1],
    },
    16: {
        "knob": (1, 0, [" l ",
                        "lyY",
                        " Y "]),
        "pole": (2, 3, 1, 12),
        "flag": (3, 3, 12, 8),
        "shift": [0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0],
        "shade": [-1, 0, 0, 0, 0, 1, 1, 0, 0, -1, -1, -1],
    },
}


def rasterise(size):
    """The icon at size x size pixels, as rows of palette keys."""
    art = PIXEL_ART[size]
    grid = [[" "] * size for _ in range(size)]

    px, py, pw, ph = art["pole"]
    for j in range(py, py + ph):
        for i in range(px, px + pw):
            grid[j][i] = "p" if (i - px) < pw // 2 else "q"

    kx, ky, knob = art["knob"]
    for j, row in enumerate(knob):
        for i, ch in enumerate(row):
            if ch != " ":
                grid[ky + j][kx + i] = ch

    fx, fy, fw, fh = art["flag"]
    for c in range(fw):
        column = c * GRID_W // fw
        for r in range(fh):
            row = r * GRID_H // fh
            on_cross = column in CROSS_COLUMNS or row in CROSS_ROWS
            grid[fy + r + art["shift"][c]][fx + c] = cloth(on_cross, art["shade"][c])

    # A one-pixel dark outline around every shape keeps the icon readable
    # on light and dark backgrounds alike.
    out = [row[:] for row in grid]
    for j in range(size):
        for i in range(size):
            if grid[j][i] != " ":
                continue
            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                ii, jj = i + di, j + dj
                if 0 <= ii < size and 0 <= jj < size and grid[jj][ii] != " ":
                    out[j][i] = "#"
                    break
    return ["".join(row) for row in out]


def xpm(name, rows):
    """XPM3 text for the rows, listing only the colours they use."""
    used = [ch for ch in PALETTE if any(ch in row for row in rows)]
    size = len(rows)
    lines = ["/* XPM */", f"static const char *{name}[] = {{",
             f'"{size} {size} {len(used)} 1",']
    for ch in used:
        colour = PALETTE[ch] or "None"
        lines.append(f'"{ch} c {colour}",')
    for k, row in enumerate(rows):
        lines.append(f'"{row}"' + ("," if k + 1 < size else ""))
    lines.append("};")
    return "\n".join(lines) + "\n"


def split_bezier(points, t0, t1):
    """Control points of the part of a cubic Bezier between t0 and t1."""
    def halves(pts, t):
        # de Casteljau: the curve's control points before and after t.
        left, right = [pts[0]], [pts[-1]]
        while len(pts) > 1:
            pts = [((1 - t) * p[0] + t * q[0], (1 - t) * p[1] + t * q[1])
                   for p, q in zip(pts, pts[1:])]
            left.append(pts[0])
            right.insert(0, pts[-1])
        return left, right
    _, tail = halves(points, t0)
    head, _ = halves(tail, (t1 - t0) / (1 - t0))
    return head


def edge(y, t0=0.0, t1=1.0):
    """Control points of the wavy flag edge at height y, between t0 and t1."""
    pts = [(FLAG_X0 + FLAG_W * k / 3, y + WAVE[k]) for k in range(4)]
    return split_bezier(pts, t0, t1)


def fmt(p):
    return f"{round(p[0], 3):g},{round(p[1], 3):g}"


def band(y_top, y_bottom, t0=0.0, t1=1.0):
    """Closed path between two wavy edges, from t0 to t1 along the flag."""
    a = edge(y_top, t0, t1)
    b = list(reversed(edge(y_bottom, t0, t1)))
    return (f"M{fmt(a[0])} C{fmt(a[1])} {fmt(a[2])} {fmt(a[3])} "
            f"L{fmt(b[0])} C{fmt(b[1])} {fmt(b[2])} {fmt(b[3])} Z")


def svg():
    top, bottom = FLAG_Y0, FLAG_Y0 + FLAG_H
    cross_u = (CROSS_COLUMNS[0] / GRID_W, (CROSS_COLUMNS[-1] + 1) / GRID_W)
    cross_top = top + CROSS_ROWS[0] * FLAG_H / GRID_H
    cross_bottom = top + (CROSS_ROWS[-1] + 1) * FLAG_H / GRID_H
    outline = PALETTE["#"]

    # Cut the flag where the cross or the lighting changes and paint each
    # piece in solid colours (no opacity or gradients, which some renderers
    # get wrong). Each piece reaches a little under the next one, so that no
    # hairline of background shows between them.
    shading = PIXEL_ART[32]["shade"]
    columns = len(shading)
    cuts = {0.0, 1.0, *cross_u}
    cuts.update(c / columns for c in range(1, columns) if shading[c] != shading[c - 1])
    cuts = sorted(cuts)
    pieces = []
    for t0, t1 in zip(cuts, cuts[1:]):
        mid = (t0 + t1) / 2
        shade = shading[int(mid * columns)]
        upright = cross_u[0] <= mid < cross_u[1]
        end = min(1.0, t1 + 0.01)
        pieces.append(f'<path d="{band(top, bottom, t0, end)}" '
                      f'fill="{PALETTE[cloth(upright, shade)]}" stroke="none"/>')
        if not upright:
            pieces.append(f'<path d="{band(cross_top, cross_bottom, t0, end)}" '
                          f'fill="{PALETTE[cloth(True, shade)]}" stroke="none"/>')

    shapes = [
        f'<rect x="{POLE_X0:g}" y="{POLE_Y0:g}" width="{POLE_X1 - POLE_X0:g}" '
        f'height="{POLE_Y1 - POLE_Y0:g}" fill="{PALETTE["q"]}" stroke="{outline}" stroke-width="1"/>',
        f'<rect x="{POLE_X0 + 0.5:g}" y="{POLE_Y0 + 0.5:g}" width="{(POLE_X1 - POLE_X0) / 2 - 0.5:g}" '
        f'height="{POLE_Y1 - POLE_Y0 - 1:g}" fill="{PALETTE["p"]}" stroke="none"/>',
        *pieces,
        f'<path d="{band(top, bottom)}" fill="none" stroke="{outline}" stroke-width="1" '
        f'stroke-linejoin="round"/>',
        f'<circle cx="{KNOB_CX:g}" cy="{KNOB_CY:g}" r="{KNOB_R:g}" fill="{PALETTE["y"]}" '
        f'stroke="{outline}" stroke-width="1"/>',
        f'<circle cx="{KNOB_CX - 0.6:g}" cy="{KNOB_CY - 0.6:g}" r="{KNOB_R / 2.5:g}" '
        f'fill="{PALETTE["l"]}" stroke="none"/>',
    ]
    body = "\n".join("  " + shape for shape in shapes)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
            'width="32" height="32" viewBox="0 0 32 32">\n'
            "  <title>Talvane</title>\n"
            f"{body}\n</svg>\n")


def write(name, text):
    """Replace the file beside this script in one step."""
    path = os.path.join(HERE, name)
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="ascii", newline="\n") as out:
        out.write(text)
    os.replace(tmp, path)
    print(path)


def main():
    for size in (16, 32):
        write(f"talvane-{size}.xpm", xpm(f"talvane_{size}", rasterise(size)))
    write("talvane.svg", svg())
    return 0


if __name__ == "__main__":
    sys.exit(main())
