#!/usr/bin/env python3
"""Write Talvane's sample banners.

A banner is a 12x8 pixel, 8-bit palettised Windows BMP of exactly 1174 bytes.
This script draws eight little pictures (a sunset, a sailing boat at sea, a
sunny sky, a heart, a Nordic cross flag, a checkerboard, a tricolour and a
rainbow) and writes them into the folder given as argument, or into the
`banners` folder beside this script. The output is the same on every run.

Usage: make_banners.py [FOLDER]
"""

import argparse
import os
import struct
import sys
import tempfile

WIDTH = 12
HEIGHT = 8
HEADER_SIZE = 14
INFO_SIZE = 40
PALETTE_SIZE = 256 * 4
PIXEL_OFFSET = HEADER_SIZE + INFO_SIZE + PALETTE_SIZE  # 1078
IMAGE_SIZE = WIDTH * HEIGHT  # rows of 12 bytes need no padding
FILE_SIZE = PIXEL_OFFSET + IMAGE_SIZE  # 1174
PIXELS_PER_METRE = 2835  # 72 dpi

# Named colours take the first palette slots, in this order; the remaining
# slots hold a grey ramp so that every file carries a full 256-entry palette.
COLOURS = [
    ("black", (0x10, 0x10, 0x14)),
    ("white", (0xF8, 0xF8, 0xF4)),
    ("night", (0x2A, 0x1B, 0x4A)),
    ("plum", (0x6B, 0x2D, 0x6E)),
    ("rose", (0xC2, 0x3B, 0x5A)),
    ("ember", (0xE8, 0x5D, 0x2F)),
    ("amber", (0xF7, 0x9A, 0x2E)),
    ("sun", (0xFF, 0xD9, 0x3D)),
    ("gold", (0xC9, 0x8A, 0x1C)),
    ("deep", (0x14, 0x23, 0x4F)),
    ("navy", (0x1E, 0x3A, 0x78)),
    ("ocean", (0x2B, 0x62, 0xB0)),
    ("surf", (0x4E, 0x9C, 0xD8)),
    ("foam", (0xCF, 0xEC, 0xF7)),
    ("sky0", (0x3A, 0x7B, 0xD5)),
    ("sky1", (0x55, 0x94, 0xE0)),
    ("sky2", (0x74, 0xAD, 0xEA)),
    ("sky3", (0x98, 0xC7, 0xF2)),
    ("cloud", (0xFF, 0xFF, 0xFF)),
    ("mist", (0xD2, 0xDD, 0xE8)),
    ("hull", (0x8B, 0x4A, 0x2B)),
    ("blush", (0xFB, 0xD3, 0xDE)),
    ("red", (0xD9, 0x1E, 0x36)),
    ("crimson", (0x9B, 0x12, 0x28)),
    ("flag", (0xC8, 0x10, 0x2E)),
    ("ink", (0x2B, 0x2B, 0x33)),
    ("paper", (0xEE, 0xEA, 0xDC)),
    ("green", (0x16, 0x9B, 0x62)),
    ("orange", (0xFF, 0x88, 0x3E)),
    ("r_red", (0xE5, 0x2B, 0x2B)),
    ("r_orange", (0xF5, 0x7C, 0x1F)),
    ("r_yellow", (0xF9, 0xD2, 0x2E)),
    ("r_green", (0x3C, 0xB0, 0x43)),
    ("r_teal", (0x1F, 0xA8, 0xA0)),
    ("r_blue", (0x2F, 0x6F, 0xD6)),
    ("r_indigo", (0x4B, 0x3C, 0xB0)),
    ("r_violet", (0x8E, 0x3C, 0xB8)),
]
INDEX = {name: i for i, (name, _) in enumerate(COLOURS)}


def palette():
    """Return the 256 palette entries as (r, g, b) tuples."""
    entries = [rgb for _, rgb in COLOURS]
    spare = 256 - len(entries)
    for i in range(spare):
        level = round(255 * i / (spare - 1))
        entries.append((level, level, level))
    assert len(entries) == 256
    return entries


# Each picture is drawn top row first; every character stands for a colour.
PICTURES = {
    "Sunset.bmp": (
        {"N": "night", "P": "plum", "R": "rose", "E": "ember", "A": "amber",
         "S": "sun", "G": "gold", "D": "deep", "V": "navy"},
        [
            "NNNNNNNNNNNN",
            "PPPPPPPPPPPP",
            "RRRRRRRRRRRR",
            "EEEESSSSEEEE",
            "AAASSSSSSAAA",
            "VVVVGGGGVVVV",
            "DDVDDGGDDVDD",
            "DDDDVDDVDDDD",
        ],
    ),
    "Sea.bmp": (
        {"k": "sky2", "l": "sky3", "W": "cloud", "m": "mist", "H": "hull",
         "S": "surf", "f": "foam", "O": "ocean", "V": "navy"},
        [
            "kkkkkkkkkkkk",
            "kkkkkWkkkkkk",
            "llllWWmlllll",
            "lllWWWmmllll",
            "SSHHHHHHHHSS",
            "SfSSHHHHSSfS",
            "OOOfOOOOfOOO",
            "VVVVVVVVVVVV",
        ],
    ),
    "Sky.bmp": (
        {"0": "sky0", "1": "sky1", "2": "sky2", "3": "sky3", "Y": "sun",
         "A": "amber", "W": "cloud", "m": "mist"},
        [
            "000000000000",
            "00000000YY00",
            "1WW1111YYYY1",
            "WWWW111YYYA1",
            "mmmm2222AA22",
            "22222WWW2222",
            "3333WWWWWW33",
            "33333mmmmm33",
        ],
    ),
    "Heart.bmp": (
        {"p": "blush", "R": "red", "C": "crimson", "W": "white"},
        [
            "pppppppppppp",
            "ppRRRppRRRpp",
            "pRWRRRRRRRCp",
            "pRRRRRRRRRCp",
            "ppRRRRRRRCpp",
            "pppRRRRRCppp",
            "ppppRRRCpppp",
            "pppppRCppppp",
        ],
    ),
    "Nordic Cross.bmp": (
        {"R": "flag", "W": "white"},
        [
            "RRRWWRRRRRRR",
            "RRRWWRRRRRRR",
            "RRRWWRRRRRRR",
            "WWWWWWWWWWWW",
            "WWWWWWWWWWWW",
            "RRRWWRRRRRRR",
            "RRRWWRRRRRRR",
            "RRRWWRRRRRRR",
        ],
    ),
    "Checker.BMP": (
        {"K": "ink", "W": "paper"},
        [
            "KKWWKKWWKKWW",
            "KKWWKKWWKKWW",
            "WWKKWWKKWWKK",
            "WWKKWWKKWWKK",
            "KKWWKKWWKKWW",
            "KKWWKKWWKKWW",
            "WWKKWWKKWWKK",
            "WWKKWWKKWWKK",
        ],
    ),
    "banner2.bmp": (
        {"G": "green", "W": "white", "O": "orange"},
        ["GGGGWWWWOOOO"] * HEIGHT,
    ),
    "banner10.bmp": (
        {"1": "r_red", "2": "r_orange", "3": "r_yellow", "4": "r_green",
         "5": "r_teal", "6": "r_blue", "7": "r_indigo", "8": "r_violet"},
        [str(row + 1) * WIDTH for row in range(HEIGHT)],
    ),
}


def encode(legend, rows):
    """Return the complete BMP file for one picture (rows given top first)."""
    assert len(rows) == HEIGHT, rows
    file_header = struct.pack("<2sIHHI", b"BM", FILE_SIZE, 0, 0, PIXEL_OFFSET)
    info_header = struct.pack(
        "<IiiHHIIiiII",
        INFO_SIZE, WIDTH, HEIGHT,  # positive height: bottom row stored first
        1, 8,                      # planes, bits per pixel
        0, IMAGE_SIZE,             # BI_RGB, size of the pixel data
        PIXELS_PER_METRE, PIXELS_PER_METRE,
        256, 0,                    # colours used, colours important
    )
    colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette())
    pixels = bytearray()
    for row in reversed(rows):
        assert len(row) == WIDTH, row
        pixels.extend(INDEX[legend[ch]] for ch in row)
    data = file_header + info_header + colour_table + bytes(pixels)
    assert len(data) == FILE_SIZE, len(data)
    return data


def write_file(path, data):
    """Write data to path through a temporary file, so a crash never leaves a half file."""
    folder = os.path.dirname(path)
    fd, tmp = tempfile.mkstemp(prefix=".banner-", suffix=".tmp", dir=folder)
    try:
        with os.fdopen(fd, "wb") as out:
            out.write(data)
            out.flush()
            os.fsync(out.fileno())
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except FileNotFoundError:
            pass
        raise


def main(argv=None):
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "banners")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default=default,
                        help="where to write the banners (default: %(default)s)")
    args = parser.parse_args(argv)

    os.makedirs(args.folder, exist_ok=True)
    for name, (legend, rows) in PICTURES.items():
        path = os.path.join(args.folder, name)
        write_file(path, encode(legend, rows))
        size = os.path.getsize(path)
        assert size == FILE_SIZE, f"{path}: {size} bytes"
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
