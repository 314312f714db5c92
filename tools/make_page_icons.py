#!/usr/bin/env python3
"""Writes the page icons of plugin/Data/Data/HtmlStyle as 16x16 GIF files.

Each icon is drawn from a small character map below; run this script again after
changing a map. The GIF writer emits a clear code every few pixels so that every code
stays 3 bits wide (a valid, simple LZW stream).
"""
import os
import struct
import sys

ICONS = {
    "arrowdown.gif": ({"#": (0x4A, 0x6E, 0xA9)}, [
        "................",
        "................",
        "................",
        "................",
        "................",
        "...##########...",
        "....########....",
        ".....######.....",
        "......####......",
        ".......##.......",
        "................",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    "unread.gif": ({"#": (0x1F, 0x5F, 0xC8), "o": (0xFF, 0xFF, 0xFF)}, [
        "................",
        "................",
        "................",
        "..############..",
        "..##oooooooo##..",
        "..#o##oooo##o#..",
        "..#ooo####ooo#..",
        "..#oooo##oooo#..",
        "..#oooooooooo#..",
        "..#oooooooooo#..",
        "..############..",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    "readed.gif": ({"#": (0x99, 0x99, 0x99), "o": (0xF2, 0xF2, 0xF2)}, [
        "................",
        "................",
        ".......##.......",
        ".....##oo##.....",
        "...##oooooo##...",
        "..#o##oooo##o#..",
        "..#ooo####ooo#..",
        "..#oooo##oooo#..",
        "..#oooooooooo#..",
        "..#oooooooooo#..",
        "..############..",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    "unflag.gif": ({"#": (0x88, 0x88, 0x88)}, [
        "................",
        "................",
        "...#............",
        "...########.....",
        "...#......#.....",
        "...#.......#....",
        "...#........#...",
        "...#.......#....",
        "...#......#.....",
        "...########.....",
        "...#............",
        "...#............",
        "...#............",
        "...#............",
        "................",
        "................",
    ]),
    "flaged.gif": ({"#": (0x55, 0x55, 0x55), "r": (0xD9, 0x2B, 0x2B)}, [
        "................",
        "................",
        "...#............",
        "...#rrrrrrr.....",
        "...#rrrrrrrr....",
        "...#rrrrrrrrr...",
        "...#rrrrrrrrrr..",
        "...#rrrrrrrrr...",
        "...#rrrrrrrr....",
        "...#rrrrrrr.....",
        "...#............",
        "...#............",
        "...#............",
        "...#............",
        "................",
        "................",
    ]),
    "delete.gif": ({"x": (0xC0, 0x20, 0x20)}, [
        "................",
        "................",
        "................",
        "...xx......xx...",
        "....xx....xx....",
        ".....xx..xx.....",
        "......xxxx......",
        ".......xx.......",
        "......xxxx......",
        ".....xx..xx.....",
        "....xx....xx....",
        "...xx......xx...",
        "................",
        "................",
        "................",
        "................",
    ]),
}


def gif_bytes(colors, rows):
    keys = ["."] + sorted(colors)
    palette = [(0xFF, 0xFF, 0xFF)] + [colors[k] for k in sorted(colors)]
    while len(palette) < 4:
        palette.append((0, 0, 0))
    width, height = len(rows[0]), len(rows)
    pixels = [keys.index(c) for row in rows for c in row]

    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | 0x01, 0, 0)  # global table of 4
    for rgb in palette[:4]:
        out += bytes(rgb)
    # Graphic control extension: index 0 transparent.
    out += bytes([0x21, 0xF9, 4, 0x01, 0, 0, 0, 0])
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    min_code_size = 2
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes = []
    for i, p in enumerate(pixels):
        if i % 2 == 0:
            codes.append(clear)  # the table never grows, so every code stays 3 bits wide
        codes.append(p)
    codes.append(end)
    bits, nbits, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 3
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3B"
    return bytes(out)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "plugin", "Data", "Data", "HtmlStyle")
    for name, (colors, rows) in ICONS.items():
        assert len(rows) == 16 and all(len(r) == 16 for r in rows), name
        with open(os.path.join(target, name), "wb") as f:
            f.write(gif_bytes(colors, rows))


if __name__ == "__main__":
    main()
