#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: a valid banner and damaged variants of it."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def banner(width=12, height=8, bits=8, compression=0, colours=256, offset=1078, size=1174,
           reserved=0, pixels=None, info_size=40):
    header = struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression, 96, 2835, 2835, colours, 0)
    info = info.ljust(info_size, b"\0")
    palette = b"".join(struct.pack("<BBBB", i, 255 - i, (i * 7) & 255, reserved) for i in range(256))
    if pixels is None:
        pixels = bytes((p * 5) & 255 for p in range(96))
    data = header + info + palette + pixels
    return data[:1174].ljust(1174, b"\0")


def main(out):
    os.makedirs(out, exist_ok=True)
    seeds = {
        "valid": banner(),
        "top_down": banner(height=-8),
        "rle8": banner(compression=1),
        "four_bit": banner(bits=4, colours=16),
        "one_bit": banner(bits=1, colours=2),
        "huge_size": banner(width=0x7FFFFFFF, height=0x7FFFFFFF),
        "zero_size": banner(width=0, height=0),
        "palette_overflow": banner(colours=100000),
        "bad_offset": banner(offset=0xFFFFFFF0),
        "bitfields": banner(bits=16, compression=3),
        "wrong_magic": b"XM" + banner()[2:],
        "png_magic": b"\x89PNG\r\n\x1a\n" + banner()[8:],
        "few_colours": banner(colours=16, pixels=bytes(p % 16 for p in range(96))),
        "index_beyond_palette": banner(colours=16),
        "reserved_set": banner(reserved=0x80),
        "cut_short": banner(offset=1100),
        "v5_header": banner(info_size=124, offset=1162),
        "rle8_early_end": banner(compression=1, pixels=b"\x03\x05\x00\x01"),
    }
    for name, data in seeds.items():
        assert len(data) == 1174, name
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus"))
