#!/usr/bin/env python3
"""Draws the project's pictures and writes them as Windows icon files of
32-bit images (straight alpha) into resources/ (or the folder given:
make-icon.py [FOLDER]):
  orvex.ico   the project's icon, a payment terminal with a card in its slot
              (16, 32 and 48 pixels)
  folder.ico  the folder on the log viewer's button (16, 20, 24 and 32 pixels:
              its size at 96, 120, 144 and 192 dpi)

The shapes are laid out on a 48-unit square and rendered at each size with
4 x 4 samples a pixel, so the small images keep smooth edges. Only the
standard library is used; the output is the same on every run."""
import struct
import sys
from pathlib import Path

SAMPLES = 4
UNITS = 48.0


def rounded_rect(left, top, right, bottom, radius, colour):
    def covers(x, y):
        if not (left <= x < right and top <= y < bottom):
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return covers, colour


def rgba(text, alpha=255):
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


# Back to front.
CARD = rgba("F2A900")
CARD_STRIPE = rgba("5A4300")
CHIP = rgba("D8D8D0")
BODY = rgba("2E3A4B")
SCREEN = rgba("7FD1C7")
KEY = rgba("D9E1EA")
OK_KEY = rgba("4CB050")

TERMINAL = [
    rounded_rect(18, 3, 46, 22, 2.5, CARD),
    rounded_rect(18, 7, 46, 10.5, 0, CARD_STRIPE),
    rounded_rect(37, 13, 43, 18, 1, CHIP),
    rounded_rect(5, 12, 33, 46, 4, BODY),
    rounded_rect(9, 16, 29, 27, 1.5, SCREEN),
]
for row in range(3):
    for column in range(3):
        left = 9 + column * 7
        top = 30 + row * 5
        colour = OK_KEY if (row, column) == (2, 2) else KEY
        TERMINAL.append(rounded_rect(left, top, left + 6, top + 3.5, 1, colour))

FOLDER_BACK = rgba("D99A1E")
FOLDER_FRONT = rgba("F6C343")
FOLDER = [
    rounded_rect(3, 7, 22, 16, 2.5, FOLDER_BACK),
    rounded_rect(3, 11, 45, 41, 3, FOLDER_BACK),
    rounded_rect(3, 17, 45, 41, 3, FOLDER_FRONT),
]

PICTURES = {
    "orvex.ico": (TERMINAL, (16, 32, 48)),
    "folder.ico": (FOLDER, (16, 20, 24, 32)),
}


def colour_at(shapes, x, y):
    for covers, colour in reversed(shapes):
        if covers(x, y):
            return colour
    return (0, 0, 0, 0)


def render(shapes, size):
    """Rows top to bottom of (r, g, b, a) with straight alpha."""
    step = UNITS / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            totals = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = colour_at(shapes, (px + (sx + 0.5) / SAMPLES) * step, (py + (sy + 0.5) / SAMPLES) * step)
                    totals[0] += r * a
                    totals[1] += g * a
                    totals[2] += b * a
                    totals[3] += a
            alpha = totals[3]
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / alpha) for c in totals[:3]) + (round(alpha / SAMPLES ** 2),))
        rows.append(row)
    return rows


def dib(rows):
    """A DIB as icon files hold it: the header with the doubled height, the
    colour rows bottom up, then the 1-bit mask (set where fully clear)."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(shapes, sizes):
    images = [dib(render(shapes, size)) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "resources"
    for name, (shapes, sizes) in PICTURES.items():
        output = folder / name
        output.write_bytes(icon_file(shapes, sizes))
        print(f"{output}: {', '.join(str(s) for s in sizes)} px, 32 bits")


if __name__ == "__main__":
    main()
