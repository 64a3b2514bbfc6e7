#!/usr/bin/env python3
"""make_scene.py <data folder> <Scene> [<Scene> ...]: writes a scene package's definitions and item
file from its layout in tools/scenes/<Scene>.txt, and the pictures the layout borrows or turns.

A layout line places one picture on the 800 x 600 board at the centre (x, y):

    <id> "<name>" <difficulty> <x> <y> [options] [group=<g> plural=<p>]   a hidden item
    decoy <id> <x> <y> [options]                                           on no list
    cover <id> <x> <y> [options]                                           laid over the items
    front <x> <y> from=<drawing> [options]                                 part of the foreground
    painted "<name>" ["<name>" ...]                                        drawn in the background

The board movie draws the background, then every decoy, then every item, then every cover, then
the foreground, each kind in the order of its lines: decoys lie under the items (a click on a decoy
finds nothing and counts as a bad click), covers and the foreground hide parts of them. The board
finds an item only where its own pixel is drawn on top: an opaque pixel (alpha 200 or more) of a
cover, the foreground or a later item hides it from the pointer as from the eye.

The picture of a line is art/<Scene>/Pictures/<Scene>/<file>.svg, where <file> is the item's id,
Decoy_<id> or Cover_<id>. Options:
    from=<Scene>/<Picture>  copy that picture of a scene's folder (e.g. from=Bakery/Teacup)
    from=<path>.svg         copy a drawing of tools/scenes/ (drawings that are never items: things/
                            for decoys and covers, parts/ for the foreground)
    size=<pixels>           render the copy at that size (the larger side; it keeps its shape)
    turn=<degrees>          turn it clockwise about its centre
    flip=1                  mirror it left to right
    tint=#rrggbb            multiply its colours by this one (shade and colour of where it lies)
A decoy, a cover or a part of the foreground is never of the kind of an item of its scene, whatever
its tint, turn, size or source (a name on the list matches exactly one thing in the picture, a
group exactly its members): the kind of a copied item is its list name, that of a drawing its
<title>, and the kind of a name is its last word, singular, as KINDS below folds it (a Church Key is
a key, a Candlestick a candle). The tool refuses a layout that breaks this. The `painted` lines name
the things drawn in the background; none of them may be of a listed kind either (no painted candle
beside a listed Candlestick), and the tool refuses a layout where one is. It compares names only: a
look-alike of another name (a harp beside a listed Lyre) is for the eye to catch.
Without `from`, a decoy's or cover's picture must exist and no other option applies; an item
turned, tinted, mirrored or resized in place keeps its own drawing in tools/scenes/items/<Scene>/
(moved there the first time) and its scene picture is made from it. The background is
Background.jpg.svg. The foreground, Foreground.svg, is an 800 x 600 picture drawn above everything
(a curtain's edge, a garland, a basket's rim) whose clear parts show the board: with `front` lines
this tool writes it from those drawings, in their order; without any, it is drawn by hand or absent.
Lines starting with # are comments."""
import os, re, shlex, sys

data = sys.argv[1]
tools = os.path.dirname(os.path.abspath(__file__))


# Names whose last word hides their kind.
KINDS = {"ink pot": "inkwell", "order of service": "programme", "buttonhole": "boutonniere", "love letter": "envelope",
         "handbell": "bell", "candlestick": "candle", "candelabra": "candle", "teacup": "cup", "hairbrush": "brush",
         "songbook": "book"}


def kind(name):
    name = KINDS.get(name.lower().strip(), name.lower().strip())
    word = name.split()[-1]
    if word.endswith("sses"):
        word = word[:-2]
    elif word.endswith("s") and not word.endswith("ss") and word != "scissors":
        word = word[:-1]
    return KINDS.get(word, word)


def listed_names(scene):
    names = {}
    with open(os.path.join(tools, "scenes", scene + ".txt"), encoding="utf-8") as f:
        for text in f:
            if text.strip() and not text.lstrip().startswith("#"):
                parts = shlex.split(text)
                if parts[0] not in ("decoy", "cover", "front", "painted"):
                    names[parts[0]] = parts[1]
    return names


def source_kind(value):
    """The kind of what a from= value copies: an item's list name or a drawing's <title>."""
    if value.endswith(".svg"):
        with open(os.path.join(tools, "scenes", value), encoding="utf-8") as f:
            title = re.search(r"<title>([^<]+)</title>", f.read())
        return kind(title.group(1)) if title else None
    source_scene, source_item = value.split("/")
    return kind(listed_names(source_scene)[source_item])


def art(scene, name):
    return os.path.join(data, "art", scene, "Pictures", scene, name + ".svg")


def picture_size(path):
    with open(path, encoding="utf-8") as f:
        head = f.read(600)
    root = re.search(r"<svg\b[^>]*>", head).group(0)
    return (int(float(re.search(r'\bwidth="([\d.]+)"', root).group(1))),
            int(float(re.search(r'\bheight="([\d.]+)"', root).group(1))))


def source_path(scene, value):
    if value.endswith(".svg"):
        return os.path.join(tools, "scenes", value)
    source_scene, source_item = value.split("/")
    return art(source_scene, source_item)


def derive(source, line):
    """The drawing of `source`, resized, turned, mirrored and tinted as `line` asks."""
    with open(source, encoding="utf-8") as f:
        text = f.read()
    opening = re.search(r"<svg\b[^>]*>", text)
    root, body = opening.group(0), text[opening.end():text.rindex("</svg>")]
    width, height = picture_size(source)
    box = re.search(r'\bviewBox="([^"]+)"', root)
    vx, vy, vw, vh = [float(v) for v in box.group(1).replace(",", " ").split()] if box else (0, 0, width, height)
    if "size" in line:
        scale = int(line["size"]) / max(width, height)
        width, height = round(width * scale), round(height * scale)
    root = re.sub(r'\bwidth="[\d.]+"', f'width="{width}"', root, count=1)
    root = re.sub(r'\bheight="[\d.]+"', f'height="{height}"', root, count=1)
    if not box:
        root = root[:-1] + f' viewBox="0 0 {vw:g} {vh:g}">'
    cx, cy = vx + vw / 2, vy + vh / 2
    transform = []
    if "turn" in line:
        transform.append(f"rotate({float(line['turn']):g} {cx:g} {cy:g})")
    if line.get("flip") == "1":
        transform.append(f"translate({2 * cx:g} 0) scale(-1 1)")
    defs, attributes = "", ""
    if transform:
        attributes += f' transform="{" ".join(transform)}"'
    if "tint" in line:
        r, g, b = (int(line["tint"][i:i + 2], 16) / 255 for i in (1, 3, 5))
        defs = (f'<defs><filter id="placedTint" color-interpolation-filters="sRGB"><feColorMatrix type="matrix" '
                f'values="{r:.3f} 0 0 0 0 0 {g:.3f} 0 0 0 0 0 {b:.3f} 0 0 0 0 0 1 0"/></filter></defs>')
        attributes += ' filter="url(#placedTint)"'
    made = os.path.relpath(source, os.path.join(tools, ".."))
    return f"{root}\n<!-- Made by tools/make_scene.py from {made}. -->\n{defs}<g{attributes}>{body}</g>\n</svg>\n"


def read_layout(scene):
    lines = []
    with open(os.path.join(tools, "scenes", scene + ".txt"), encoding="utf-8") as f:
        for number, text in enumerate(f, start=1):
            if not text.strip() or text.lstrip().startswith("#"):
                continue
            parts = shlex.split(text)
            if parts[0] == "painted":
                lines.append(dict(kind="painted", names=parts[1:]))
                continue
            if parts[0] == "front":
                line = dict(kind="front", x=float(parts[1]), y=float(parts[2]), options=parts[3:], file=None)
            elif parts[0] in ("decoy", "cover"):
                line = dict(kind=parts[0], id=parts[1], x=float(parts[2]), y=float(parts[3]), options=parts[4:])
                line["file"] = ("Decoy_" if parts[0] == "decoy" else "Cover_") + line["id"]
            else:
                line = dict(kind="item", id=parts[0], name=parts[1], difficulty=parts[2], x=float(parts[3]),
                            y=float(parts[4]), options=parts[5:])
                line["file"] = line["id"]
            for option in line.pop("options"):
                key, value = option.split("=", 1)
                line[key] = value
            if "from" not in line and any(k in line for k in ("size", "turn", "flip", "tint")):
                if line["kind"] != "item":
                    sys.exit(f"{scene}.txt:{number}: size, turn, flip and tint need a picture to copy (from=)")
                # An item's own drawing, turned or tinted where it lies, is kept whole beside the
                # layouts; the scene's picture is made from it.
                line["from"] = f"items/{scene}/{line['id']}.svg"
                kept = os.path.join(tools, "scenes", line["from"])
                if not os.path.exists(kept):
                    os.makedirs(os.path.dirname(kept), exist_ok=True)
                    os.rename(art(scene, line["id"]), kept)
            if line["kind"] == "front" and "from" not in line:
                sys.exit(f"{scene}.txt:{number}: a front line needs its drawing (from=)")
            lines.append(line)
    return lines


def write_foreground(scene, fronts):
    """Writes Foreground.svg: each front drawing as an SVG of its own size, centred at its place,
    its ids made unique to its place so that two copies keep their own gradients."""
    parts = []
    for number, line in enumerate(fronts):
        source = source_path(scene, line["from"])
        text = derive(source, line)
        root = re.search(r"<svg\b[^>]*>", text)
        width = float(re.search(r'\bwidth="([\d.]+)"', root.group(0)).group(1))
        height = float(re.search(r'\bheight="([\d.]+)"', root.group(0)).group(1))
        text = re.sub(r'<!--.*?-->', "", text, flags=re.S)
        prefix = f"f{number}_"
        text = re.sub(r'\bid="([^"]+)"', rf'id="{prefix}\1"', text)
        text = re.sub(r'url\(#([^)]+)\)', rf'url(#{prefix}\1)', text)
        text = re.sub(r'href="#([^"]+)"', rf'href="#{prefix}\1"', text)
        placed = re.sub(r"^<svg\b", f'<svg x="{line["x"] - width / 2:g}" y="{line["y"] - height / 2:g}"',
                        text[root.start():].strip(), count=1)
        placed = re.sub(r'\sxmlns(:\w+)?="[^"]*"', "", placed)
        parts.append(placed)
    with open(art(scene, "Foreground"), "w", encoding="utf-8") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="800" '
                f'height="600" viewBox="0 0 800 600">\n<!-- Made by tools/make_scene.py from the front lines of '
                f'tools/scenes/{scene}.txt. -->\n' + "\n".join(parts) + "\n</svg>\n")


def make(scene):
    lines = read_layout(scene)
    kinds = {kind(line["name"]) for line in lines if line["kind"] == "item"}
    for line in lines:
        for name in line.get("names", []):
            if kind(name) in kinds:
                sys.exit(f"{scene}: the background paints a {name}, of a listed kind")
    lines = [line for line in lines if line["kind"] != "painted"]
    for line in lines:
        if line["kind"] != "item" and source_kind(line["from"]) in kinds | {None}:
            sys.exit(f"{scene}: {line['kind']} {line.get('id', line['from'])} is of a listed kind, or of none "
                     f"(a drawing needs its <title>)")
    ids = [line["file"] for line in lines if line["kind"] != "front"]
    if len(set(ids)) != len(ids):
        sys.exit(f"{scene}: an id is used twice")
    os.makedirs(os.path.dirname(art(scene, "Background")), exist_ok=True)
    fronts = [line for line in lines if line["kind"] == "front"]
    if fronts:
        write_foreground(scene, fronts)
    lines = [line for line in lines if line["kind"] != "front"]
    for line in lines:
        if "from" in line:
            with open(art(scene, line["file"]), "w", encoding="utf-8") as f:
                f.write(derive(source_path(scene, line["from"]), line))
        line["w"], line["h"] = picture_size(art(scene, line["file"]))
        # Wholly on the board: a picture reaching past an edge is moved in, and said so.
        x = min(max(line["x"], line["w"] / 2), 800 - line["w"] / 2)
        y = min(max(line["y"], line["h"] / 2), 600 - line["h"] / 2)
        if (x, y) != (line["x"], line["y"]):
            print(f"{scene}/{line['file']}: moved from ({line['x']:g}, {line['y']:g}) to ({x:g}, {y:g}) onto the board")
            line["x"], line["y"] = x, y
    items = [line for line in lines if line["kind"] == "item"]
    drawn = ([line for line in lines if line["kind"] == "decoy"] + items +
             [line for line in lines if line["kind"] == "cover"])
    foreground = os.path.exists(art(scene, "Foreground"))
    # Pictures no line names any more (a renamed decoy) would still be packed: remove them.
    folder_art = os.path.dirname(art(scene, "Background"))
    for name in os.listdir(folder_art):
        stem = name[:-len(".svg")]
        if re.match(r"(Decoy|Cover)_", stem) and stem not in ids:
            os.remove(os.path.join(folder_art, name))

    folder = os.path.join(data, "scenes", scene)
    os.makedirs(os.path.join(folder, "Definitions"), exist_ok=True)
    os.makedirs(os.path.join(folder, "Levels"), exist_ok=True)
    with open(os.path.join(folder, "libraries.xml"), "w", encoding="utf-8") as f:
        f.write(f'<libraries>\n    <library file="Definitions\\{scene}.xml"/>\n</libraries>\n')

    def frame(x, y):
        return f'            <Frame alpha="100" transform="1 0 0 1 {x:g} {y:g}"/>\n'

    def instance(definition, name, depth, regx, regy, x, y):
        return (f'        <Instance type="library" definition="{definition}" instancename="{name}" depth="{depth}" '
                f'create="0" death="1" regx="{regx:g}" regy="{regy:g}">\n' + frame(x, y) + "        </Instance>\n")

    out = ["<Library>\n", "    <!-- Made by tools/make_scene.py from tools/scenes/%s.txt. -->\n" % scene,
           f'    <Definition type="image" name="{scene}_Background" src="Pictures\\{scene}\\Background.jpg"/>\n']
    if foreground:
        out.append(f'    <Definition type="image" name="{scene}_Foreground" src="Pictures\\{scene}\\Foreground.png"/>\n')
    for line in drawn:
        out.append(f'    <Definition type="image" name="{scene}_{line["file"]}Picture" '
                   f'src="Pictures\\{scene}\\{line["file"]}.png"/>\n')
    # Each item is a movie of its own with its picture registered at the centre; decoys and covers
    # are pictures placed straight on the board.
    for item in items:
        out.append(f'    <Definition type="movie" name="{scene}_{item["id"]}" length="1" fps="24">\n'
                   + instance(f'{scene}_{item["id"]}Picture', "picture", 1, item["w"] / 2, item["h"] / 2, 0, 0)
                   + "    </Definition>\n")
    out.append(f'    <Definition type="movie" name="{scene}" length="1" fps="24">\n'
               + instance(f"{scene}_Background", "background", 1, 0, 0, 0, 0))
    for depth, line in enumerate(drawn, start=2):
        if line["kind"] == "item":
            out.append(instance(f'{scene}_{line["id"]}', line["id"], depth, 0, 0, line["x"], line["y"]))
        else:
            out.append(instance(f'{scene}_{line["file"]}Picture', line["file"], depth, line["w"] / 2, line["h"] / 2,
                                line["x"], line["y"]))
    if foreground:
        out.append(instance(f"{scene}_Foreground", "foreground", len(drawn) + 2, 0, 0, 0, 0))
    out.append("    </Definition>\n</Library>\n")
    with open(os.path.join(folder, "Definitions", scene + ".xml"), "w", encoding="utf-8") as f:
        f.write("".join(out))

    def esc(v):
        return v.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")

    listed = ["<Items>\n"]
    for item in items:
        extra = ""
        if "group" in item:
            extra = f' group="{esc(item["group"])}" plural="{esc(item["plural"])}"'
        listed.append(f'    <Item id="{item["id"]}" name="{esc(item["name"])}" difficulty="{item["difficulty"]}"{extra}/>\n')
    listed.append("</Items>\n")
    with open(os.path.join(folder, "Levels", scene + ".xml"), "w", encoding="utf-8") as f:
        f.write("".join(listed))


for name in sys.argv[2:]:
    make(name)
