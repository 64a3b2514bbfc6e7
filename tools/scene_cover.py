#!/usr/bin/python3
"""scene_cover.py <data folder> <Scene> [<Scene> ...] [--show <png>]: how well a scene hides its
items, measured from its SVG sources as tools/make_scene.py placed them (run that first), by the
rules the data test holds every scene to. Needs Debian's python3-pil and python3-numpy.

For each item: the share of its solid pixels hidden by anything opaque drawn above it (a pixel of
alpha 200 or more hides it from the eye and from the pointer; a fainter one lets it show through), whether it keeps an
uncovered 12 x 12 patch, and how many pixels a player sees. Then the share of items partly hidden
and the number of decoys. With --show, writes the board as drawn, each item outlined by how it
fares (green: partly hidden, yellow: open, red: breaks a rule), to look at while composing."""
import io, os, subprocess, sys, xml.etree.ElementTree as ET

import numpy as np
from PIL import Image, ImageDraw

HIT_ALPHA = 60          # the board counts a click where an item's alpha is above this
OPAQUE = 200            # a pixel drawn above an item hides it from this alpha on
PANEL = 150             # the panel covers the board's left strip
PARTLY = (0.10, 0.60)   # an item is partly hidden with this share of its solid pixels covered
PATCH, PATCH_FILL = 12, 72


def render(path):
    png = subprocess.run(["rsvg-convert", "-f", "png", path], capture_output=True, check=True).stdout
    return np.array(Image.open(io.BytesIO(png)).convert("RGBA"))


def measure(data, scene, show=None):
    root = ET.parse(os.path.join(data, "scenes", scene, "Definitions", scene + ".xml")).getroot()
    definitions = {d.get("name"): d for d in root}
    listed = [i.get("id") for i in ET.parse(os.path.join(data, "scenes", scene, "Levels", scene + ".xml")).getroot()]
    art = os.path.join(data, "art", scene)

    def picture(definition):
        d = definitions[definition]
        if d.get("type") == "movie":
            inner = d[0]
            return picture(inner.get("definition"))
        src = d.get("src").replace("\\", "/")
        svg = os.path.join(art, src[:-4] + (".jpg.svg" if src.endswith(".jpg") else ".svg"))
        return render(svg)

    layers = []  # (name, rgba, left, top)
    for inst in definitions[scene]:
        rgba = picture(inst.get("definition"))
        t = inst.find("Frame").get("transform").split()
        d = definitions[inst.get("definition")]
        regx, regy = float(inst.get("regx")), float(inst.get("regy"))
        if d.get("type") == "movie":
            inner = d[0]
            regx += float(inner.get("regx"))
            regy += float(inner.get("regy"))
        layers.append((inst.get("instancename"), rgba, int(float(t[4]) - regx), int(float(t[5]) - regy)))

    covered = np.zeros((len(layers) + 1, 600, 800), bool)  # [i]: opaque pixels of layers drawn after i
    for i in range(len(layers) - 1, -1, -1):
        _, rgba, left, top = layers[i]
        covered[i] = covered[i + 1]
        h, w = rgba.shape[:2]
        covered[i, top:top + h, left:left + w] |= rgba[:, :, 3] >= OPAQUE
    report, partly, faults = [], 0, 0
    canvas = Image.new("RGBA", (800, 600))
    for _, rgba, left, top in layers:
        canvas.alpha_composite(Image.fromarray(rgba), (left, top))
    draw = ImageDraw.Draw(canvas)
    for i, (name, rgba, left, top) in enumerate(layers):
        if name not in listed:
            continue
        h, w = rgba.shape[:2]
        solid = np.zeros((600, 800), bool)
        solid[top:top + h, left:left + w] = rgba[:, :, 3] > HIT_ALPHA
        solid[:, :PANEL + 1] = False
        hidden = solid & covered[i + 1]
        seen = solid & ~covered[i + 1]
        share = hidden.sum() / max(solid.sum(), 1)
        # A 12 x 12 window holding no hidden pixel of the item and at least half of it item.
        def window_sums(mask):
            s = np.pad(mask.astype(np.int32), ((1, 0), (1, 0))).cumsum(0).cumsum(1)
            return s[PATCH:, PATCH:] - s[:-PATCH, PATCH:] - s[PATCH:, :-PATCH] + s[:-PATCH, :-PATCH]
        patch = bool(((window_sums(hidden) == 0) & (window_sums(seen) >= PATCH_FILL)).any())
        ok = share <= PARTLY[1] and patch and seen.sum() >= 150 and min(w, h) >= 36
        partly += PARTLY[0] <= share <= PARTLY[1]
        faults += not ok
        colour = (220, 30, 30, 255) if not ok else (40, 200, 60, 255) if share >= PARTLY[0] else (240, 200, 0, 255)
        draw.rectangle([left, top, left + w - 1, top + h - 1], outline=colour, width=2)
        report.append(f"  {name:<16} hidden {share:4.0%}  patch {'yes' if patch else 'NO '}  seen {seen.sum():5d}"
                      + ("" if ok else "  <-- breaks a rule"))
    decoys = sum(1 for name, *_ in layers if name.startswith("Decoy_"))
    print(f"{scene}: {partly}/{len(listed)} items partly hidden ({partly / len(listed):.0%}), {decoys} decoys"
          + (f", {faults} items break a rule" if faults else ""))
    print("\n".join(report))
    if show:
        canvas.save(show)
    return partly / len(listed) >= 0.4 and decoys >= 25 and not faults


args = sys.argv[1:]
show = None
if "--show" in args:
    show = args[args.index("--show") + 1]
    del args[args.index("--show"):args.index("--show") + 2]
good = all([measure(args[0], scene, show) for scene in args[1:]])
sys.exit(0 if good else 1)
