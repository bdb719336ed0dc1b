#!/usr/bin/python3
"""A screenshot of the main panel: the window is its size and every text shows
whole, its ink inside its control and as wide as ImageMagick draws the text
alone in the same face (give or take the renderers' differences).
    textfit.py <screenshot> <signal reply of both systems> <time zone shown> <export folder>
"""
import subprocess
import sys

from controls import controls

shot, reply, zone, folder = sys.argv[1], sys.argv[2].split(","), sys.argv[3], sys.argv[4]
run = lambda *args: subprocess.run(args, capture_output=True, check=True).stdout  # noqa: E731
_, width, height, _, pixels = run("convert", shot, "ppm:-").split(maxsplit=4)
if (int(width), int(height)) != (598, 185):
    sys.exit(f"the window is {int(width)} x {int(height)} pixels, not 598 x 185")
SANS = ("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", "11")  # 8.25 pt
COMIC = ("/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf", "13")  # 9.75 pt bold
px = lambda twips: (twips + 7) // 15  # noqa: E731
# Text, the box it must fit in (left, top, width, height in pixels), its face
# and whether it is light: the labels over the picture, then the buttons and
# boxes inside their frames and focus marks (the list without its scroll
# bar), then the grid's cells (78 and 65 pixels wide, 16 high, in a frame).
at = lambda c: (px(c["left"]), px(c["top"]), px(c["width"]), px(c["height"]))  # noqa: E731
boxes = [(controls[n]["caption"], *at(controls[n]), COMIC, True) for n in ("LabGMT", "LabLast", "LabNext")]
texts = {n: controls[n]["caption"] for n in ("ButBrowse", "ButMinimize", "ButManUpdate", "ButExit")}
texts.update(ListBoxGMT=zone, BoxPath=folder)
boxes += [(t, x + 3, y + 3, w - 6 - (14 if n == "ListBoxGMT" else 0), h - 6, SANS, False)
          for n, t in texts.items() for x, y, w, h in [at(controls[n])]]
grid = [["Time: GMT+0", "Position", "Date", "Time", "Entry Price"], ["Hourly Regular", *reply[0:4]],
        ["Hourly Filtered", *reply[4:8]], ["Daily System", *reply[8:12]]]
left, top = at(controls["FGrid"])[:2]
boxes += [(t, left + 2 + (c and 78 + 65 * (c - 1)), top + 2 + 16 * r, (65 if c else 78) - 2, 14, SANS, False)
          for r, row in enumerate(grid) for c, t in enumerate(row)]
faults = []
for text, x, y, w, h, font, light in boxes:
    ink = [col for col in range(x, x + w) if any(  # white text on the picture, else dark
        min(c) > 200 if light else max(c) < 110
        for c in (pixels[3 * (row * int(width) + col):][:3] for row in range(y, y + h)))]
    alone = int(run("convert", "-font", font[0], "-pointsize", font[1],
                    "label:" + text.replace("\\", "\\\\"), "-trim", "-format", "%w", "info:"))
    if not ink or ink[-1] >= x + w - 1 or not alone - 5 <= ink[-1] - ink[0] + 1 <= alone + 2:
        faults.append(f'"{text}" at {x},{y}: ink {ink[:1] + ink[-1:]} in {w}, alone {alone} wide')
sys.exit("text cut off:\n" + "\n".join(faults) if faults else 0)
