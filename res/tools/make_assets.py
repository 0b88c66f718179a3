#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Regenerates the binary resources in res/ from their sources.

  - icons/*.png and icons/*@2x.png from icons/src/*.svg (needs rsvg-convert, Debian librsvg2-bin);
  - desktop/icons/sonarel-N.png, the program's icon for the desktop's menus at the sizes the icon
    theme asks for;
  - cursors/hand.png from cursors/hand.svg, with its hot spot written into the PNG as the text
    entries HotSpotX and HotSpotY, which the image button reads back;
  - images/background.png, a tileable texture computed here;
  - sounds/hover.wav, the short tick played when the pointer enters an image button.

The outputs are committed, so a build never needs this script or rsvg-convert. Run it after
changing a source and commit what it writes:  python3 res/tools/make_assets.py
"""

import math
import shutil
import struct
import subprocess
import sys
import wave
import zlib
from pathlib import Path

RES = Path(__file__).resolve().parent.parent

# name -> size in pixels at device pixel ratio 1; the @2x file is twice that.
ICONS = {
    "sonarel": 32,
    "add": 32,
    "options": 32,
    "mix": 32,
    "help": 32,
    "exit": 32,
    "delete-selected": 16,
    "delete-all": 16,
    "properties": 16,
}
# The sizes of the installed application icon (share/icons/hicolor/NxN/apps).
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
CURSOR_SIZE = 32
CURSOR_HOT_SPOT = (12, 2)


def rasterise(svg: Path, png: Path, size: int) -> None:
    subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", str(png), str(svg)],
                   check=True)


def png_chunk(kind: bytes, data: bytes) -> bytes:
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def add_png_text(png: Path, entries: dict) -> None:
    """Inserts tEXt chunks right after the header chunk."""
    data = png.read_bytes()
    signature, rest = data[:8], data[8:]
    ihdr_length = struct.unpack(">I", rest[:4])[0]
    ihdr_end = 8 + ihdr_length + 4
    text = b"".join(png_chunk(b"tEXt", key.encode("latin-1") + b"\0" + str(value).encode("latin-1"))
                    for key, value in entries.items())
    png.write_bytes(signature + rest[:ihdr_end] + text + rest[ihdr_end:])


def write_rgb_png(path: Path, width: int, height: int, pixel) -> None:
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            rows.extend(pixel(x, y))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
                     + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + png_chunk(b"IEND", b""))


def background_pixel(x: int, y: int) -> tuple:
    """A light, cool paper texture: a faint diagonal weave plus a little fixed grain.

    Every term repeats with a period that divides the 64-pixel tile, so tiles join without seams.
    It stays near a luminance of 236 of 255, so black text on it keeps its contrast.
    """
    weave = 1.5 * math.cos(2 * math.pi * (x + y) / 16) + 0.8 * math.cos(2 * math.pi * (x - y) / 32)
    grain = ((x * 7919 + y * 104729 + (x * y) * 31) % 97) / 97.0 - 0.5  # fixed, not random
    v = weave + 1.6 * grain
    base = (232, 237, 243)
    return tuple(max(0, min(255, round(c + v))) for c in base)


def write_hover_sound(path: Path) -> None:
    """40 ms of a soft wooden tick: two damped partials, mono, 16-bit, 44100 Hz, peak about -16 dBFS."""
    rate = 44100
    count = int(rate * 0.040)
    attack = int(rate * 0.002)
    samples = []
    for n in range(count):
        t = n / rate
        envelope = math.exp(-t / 0.007)
        if n < attack:
            envelope *= 0.5 - 0.5 * math.cos(math.pi * n / attack)
        tail = count - n
        if tail < attack * 2:  # end on silence, no click
            envelope *= 0.5 - 0.5 * math.cos(math.pi * tail / (attack * 2))
        s = 0.75 * math.sin(2 * math.pi * 1320 * t) + 0.25 * math.sin(2 * math.pi * 2640 * t)
        samples.append(round(0.16 * 32767 * envelope * s))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples))


def main() -> int:
    if shutil.which("rsvg-convert") is None:
        print("rsvg-convert is missing (apt-get install librsvg2-bin)", file=sys.stderr)
        return 1
    for name, size in ICONS.items():
        svg = RES / "icons" / "src" / f"{name}.svg"
        rasterise(svg, RES / "icons" / f"{name}.png", size)
        rasterise(svg, RES / "icons" / f"{name}@2x.png", size * 2)
    for size in DESKTOP_ICON_SIZES:
        rasterise(RES / "icons" / "src" / "sonarel.svg", RES / "desktop" / "icons" / f"sonarel-{size}.png", size)
    cursor = RES / "cursors" / "hand.png"
    rasterise(RES / "cursors" / "hand.svg", cursor, CURSOR_SIZE)
    add_png_text(cursor, {"HotSpotX": CURSOR_HOT_SPOT[0], "HotSpotY": CURSOR_HOT_SPOT[1]})
    write_rgb_png(RES / "images" / "background.png", 64, 64, background_pixel)
    write_hover_sound(RES / "sounds" / "hover.wav")
    return 0


if __name__ == "__main__":
    sys.exit(main())
