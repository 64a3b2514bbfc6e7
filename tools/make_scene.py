#!/usr/bin/env python3
"""make_scene.py <data folder> <Scene> [<Scene> ...]: writes a scene package's definitions and item
file from its layout in tools/scenes/<Scene>.txt, and the item pictures the layout borrows from
another scene.

A layout line places one hidden item, drawn in the order of the lines (later ones on top):

    <id> "<name>" <difficulty> <x> <y> [from=<Scene>/<Item>] [size=<pixels>] [group=<g> plural=<p>]

(x, y) is the centre of the item's picture on the 800 x 600 board. With `from`, the picture is that
scene's SVG, copied under the new id (at `size` pixels square when given); without it,
art/<Scene>/Pictures/<Scene>/<id>.svg must exist. The background is art/<Scene>/Pictures/<Scene>/
Background.jpg.svg. Lines starting with # are comments."""
import os, re, shlex, sys

data = sys.argv[1]
tools = os.path.dirname(os.path.abspath(__file__))


def art(scene, item):
    return os.path.join(data, "art", scene, "Pictures", scene, item + ".svg")


def picture_size(path):
    with open(path, encoding="utf-8") as f:
        head = f.read(400)
    w = re.search(r'\bwidth="(\d+)"', head)
    h = re.search(r'\bheight="(\d+)"', head)
    return int(w.group(1)), int(h.group(1))


def borrow(source, target, size):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    if size:
        text = re.sub(r'(<svg\b[^>]*?)\bwidth="\d+"', rf'\g<1>width="{size}"', text, count=1)
        text = re.sub(r'(<svg\b[^>]*?)\bheight="\d+"', rf'\g<1>height="{size}"', text, count=1)
    with open(target, "w", encoding="utf-8") as f:
        f.write(text)


def esc(v):
    return v.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")


def frame(x, y):
    return f'            <Frame alpha="100" transform="1 0 0 1 {x:g} {y:g}"/>\n'


def make(scene):
    items = []
    with open(os.path.join(tools, "scenes", scene + ".txt"), encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            parts = shlex.split(line)
            item = dict(id=parts[0], name=parts[1], difficulty=parts[2], x=float(parts[3]), y=float(parts[4]))
            for option in parts[5:]:
                key, value = option.split("=", 1)
                item[key] = value
            items.append(item)
    os.makedirs(os.path.dirname(art(scene, "Background")), exist_ok=True)
    for item in items:
        if "from" in item:
            source_scene, source_item = item["from"].split("/")
            borrow(art(source_scene, source_item), art(scene, item["id"]), item.get("size"))
        item["w"], item["h"] = picture_size(art(scene, item["id"]))
        # Wholly on the board: a picture reaching past an edge is moved in, and said so.
        x = min(max(item["x"], item["w"] / 2), 800 - item["w"] / 2)
        y = min(max(item["y"], item["h"] / 2), 600 - item["h"] / 2)
        if (x, y) != (item["x"], item["y"]):
            print(f"{scene}/{item['id']}: moved from ({item['x']:g}, {item['y']:g}) to ({x:g}, {y:g}) onto the board")
            item["x"], item["y"] = x, y

    folder = os.path.join(data, "scenes", scene)
    os.makedirs(os.path.join(folder, "Definitions"), exist_ok=True)
    os.makedirs(os.path.join(folder, "Levels"), exist_ok=True)
    with open(os.path.join(folder, "libraries.xml"), "w", encoding="utf-8") as f:
        f.write(f'<libraries>\n    <library file="Definitions\\{scene}.xml"/>\n</libraries>\n')

    out = ["<Library>\n", "    <!-- Made by tools/make_scene.py from tools/scenes/%s.txt. -->\n" % scene,
           f'    <Definition type="image" name="{scene}_Background" src="Pictures\\{scene}\\Background.jpg"/>\n']
    for item in items:
        out.append(f'    <Definition type="image" name="{scene}_{item["id"]}Picture" '
                   f'src="Pictures\\{scene}\\{item["id"]}.png"/>\n')
    for item in items:
        out.append(f'    <Definition type="movie" name="{scene}_{item["id"]}" length="1" fps="24">\n'
                   f'        <Instance type="library" definition="{scene}_{item["id"]}Picture" instancename="picture" '
                   f'depth="1" create="0" death="1" regx="{item["w"] / 2:g}" regy="{item["h"] / 2:g}">\n'
                   + frame(0, 0) + "        </Instance>\n    </Definition>\n")
    out.append(f'    <Definition type="movie" name="{scene}" length="1" fps="24">\n'
               f'        <Instance type="library" definition="{scene}_Background" instancename="background" depth="1" '
               f'create="0" death="1" regx="0" regy="0">\n' + frame(0, 0) + "        </Instance>\n")
    for depth, item in enumerate(items, start=2):
        out.append(f'        <Instance type="library" definition="{scene}_{item["id"]}" instancename="{item["id"]}" '
                   f'depth="{depth}" create="0" death="1" regx="0" regy="0">\n' + frame(item["x"], item["y"])
                   + "        </Instance>\n")
    out.append("    </Definition>\n</Library>\n")
    with open(os.path.join(folder, "Definitions", scene + ".xml"), "w", encoding="utf-8") as f:
        f.write("".join(out))

    lines = ["<Items>\n"]
    for item in items:
        extra = ""
        if "group" in item:
            extra = f' group="{esc(item["group"])}" plural="{esc(item["plural"])}"'
        lines.append(f'    <Item id="{item["id"]}" name="{esc(item["name"])}" difficulty="{item["difficulty"]}"{extra}/>\n')
    lines.append("</Items>\n")
    with open(os.path.join(folder, "Levels", scene + ".xml"), "w", encoding="utf-8") as f:
        f.write("".join(lines))


for name in sys.argv[2:]:
    make(name)
