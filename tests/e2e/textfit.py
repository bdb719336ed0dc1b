#!/usr/bin/python3
"""A screenshot of the main panel: the window is its size and every text shows
whole, its ink inside its control and as wide as ImageMagick draws the text
alone in the same face (give or take the renderers' differences).
    textfit.py <screenshot> <signal reply of both systems> <time zone shown> <export folder>
"""
import subprocess
import sys

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
boxes = [(t, px(l), px(600), px(w), px(255), COMIC, True)
         for t, l, w in [("TimeZone", 2040, 975), ("Last Update", 3720, 1215),
                         ("Next Check", 5760, 1215)]]
boxes += [(t, px(l) + 3, px(tp) + 3, px(w) - 6 - bar, px(h) - 6, SANS, False)
          for t, l, tp, w, h, bar in [
              ("Browse", 2640, 120, 975, 255, 0), ("Minimize", 1800, 2280, 1095, 255, 0),
              ("Manual Update", 5880, 2400, 1335, 255, 0), ("Exit", 7560, 2400, 1095, 255, 0),
              (zone, 3000, 600, 615, 255, 14), (folder, 3720, 120, 3975, 285, 0)]]
grid = [["Time: GMT+0", "Position", "Date", "Time", "Entry Price"], ["Hourly Regular", *reply[0:4]],
        ["Hourly Filtered", *reply[4:8]], ["Daily System", *reply[8:12]]]
boxes += [(t, 242 + (c and 78 + 65 * (c - 1)), 74 + 16 * r, (65 if c else 78) - 2, 14, SANS, False)
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
