#!/usr/bin/env python3
"""make_book.py <data folder>: writes the album's definitions (ui/Definitions/Book.xml) and the SVG
sources of its pictures (art/ui/Pictures/Book/). The page movie gets one frame per page of the level
catalogue (input/Levels/levels.xml): even frames are left pages, odd frames right pages."""
import os, re, sys, xml.etree.ElementTree as ET

data = sys.argv[1]
ART = os.path.join(data, "art", "ui", "Pictures", "Book")
INK, ROSE, GOLD, IVORY = "0x3b2f2f", "0xc9416b", "0x8a6a3a", "0xfffaf3"
PAGE_W, PAGE_H = 342, 528           # one page; the spread is 684 wide with the spine at 342
LAYOUT_X, LAYOUT_Y = 58, 36         # where the spread sits on the screen
PHOTO_W, PHOTO_H = 230, 176

def fmt(v):
    return ("%.3f" % v).rstrip("0").rstrip(".")
def esc(v):
    return str(v).replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")

class Movie:
    def __init__(self, name, length=1, stops=(), comment=None):
        self.name, self.length, self.stops, self.comment, self.items = name, length, stops, comment, []
    def add(self, defn, inst, x=0, y=0, sx=1, sy=1, alpha=100, regx=0, regy=0, create=0, death=None, keys=None):
        death = self.length if death is None else death
        self.items.append(("library", dict(definition=defn, instancename=inst, regx=fmt(regx), regy=fmt(regy),
                                           create=create, death=death), keys or [(sx, sy, x, y, alpha)]))
    def text(self, inst, x, y, w, h, text="", size=16, color=INK, align="center", face="Velvet Body", bold=0,
             create=0, death=None):
        death = self.length if death is None else death
        self.items.append(("text", dict(instancename=inst, regx=0, regy=0, create=create, death=death, text=text,
                                        face=face, size=size, color=color, align=align, width=w, height=h,
                                        bold=bold), [(1, 1, x, y, 100)]))
    def xml(self):
        out = [f"    <!-- {self.comment} -->"] if self.comment else []
        out.append(f'    <Definition type="movie" name="{self.name}" length="{self.length}" fps="60">')
        for f in self.stops:
            out.append(f'        <Event frame="{f}" type="stop"/>')
        for depth, (kind, attrs, keys) in enumerate(self.items, 1):
            a = dict(attrs)
            head = f'type="{kind}"'
            if kind == "library":
                head += f' definition="{a.pop("definition")}"'
            inst = a.pop("instancename")
            rest = " ".join(f'{k}="{esc(v)}"' for k, v in a.items())
            out.append(f'        <Instance {head} instancename="{inst}" depth="{depth}" {rest}>')
            for (sx, sy, x, y, alpha) in keys:
                out.append(f'            <Frame alpha="{int(alpha)}" transform="{fmt(sx)} 0 0 {fmt(sy)} {fmt(x)} {fmt(y)}"/>')
            out.append('        </Instance>')
        out.append('    </Definition>')
        return "\n".join(out)

pictures = []
def svg(name, w, h, body, defs=""):
    with open(os.path.join(ART, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n')
        if defs:
            f.write(f"<defs>{defs}</defs>\n")
        f.write(body.strip() + "\n</svg>\n")
    pictures.append((f"Book_{name}", f"Book\\{name}.png"))

def table_backdrop():
    # Opaque: rendered as a JPEG.
    body = """
<defs><linearGradient id="wood" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#6b4630"/><stop offset="1" stop-color="#3e2619"/></linearGradient>
<linearGradient id="velvet" x1="0" y1="0" x2="0.3" y2="1"><stop offset="0" stop-color="#8e2f4a"/><stop offset="1" stop-color="#5a1a2e"/></linearGradient>
<radialGradient id="lamp" cx="0.3" cy="0.2" r="0.9"><stop offset="0" stop-color="#fff1d6" stop-opacity="0.25"/><stop offset="1" stop-color="#000" stop-opacity="0.25"/></radialGradient></defs>
<rect width="800" height="600" fill="url(#wood)"/>
""" + "".join(f'<path d="M0 {y} C200 {y+8} 420 {y-10} 800 {y+4}" stroke="#2f1c12" stroke-opacity="0.35" stroke-width="2" fill="none"/>\n'
              for y in range(18, 600, 37)) + """
<rect x="34" y="22" width="732" height="566" rx="14" fill="#000" opacity="0.35"/>
<rect x="40" y="24" width="720" height="556" rx="12" fill="url(#velvet)" stroke="#3d0f1f" stroke-width="2"/>
<rect x="48" y="30" width="704" height="544" rx="8" fill="none" stroke="#d9b48f" stroke-width="2" stroke-opacity="0.8"/>
<rect x="54" y="34" width="692" height="534" fill="#e9dcc8"/>
<rect width="800" height="600" fill="url(#lamp)"/>
"""
    with open(os.path.join(ART, "Table.jpg.svg"), "w", encoding="utf-8") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="800" height="600" viewBox="0 0 800 600">{body}</svg>\n')
    pictures.append(("Book_Table", "Book\\Table.jpg"))

def paper(name, spine_right):
    x1, x2 = ("1", "0.82") if spine_right else ("0", "0.18")
    corner = lambda x, y, r: f'<path d="M{x} {y} l{28 if r[0] else -28} 0 l{-28 if r[0] else 28} {28 if r[1] else -28} z" fill="#d9b48f" opacity="0.55"/>'
    svg(name, PAGE_W, PAGE_H, f"""
<rect width="{PAGE_W}" height="{PAGE_H}" fill="url(#cream)"/>
<rect width="{PAGE_W}" height="{PAGE_H}" fill="url(#spine)"/>
<rect width="{PAGE_W}" height="{PAGE_H}" filter="url(#grain)" opacity="0.05"/>
<rect x="16" y="16" width="{PAGE_W-32}" height="{PAGE_H-32}" rx="6" fill="none" stroke="#d9b48f" stroke-width="1.2" stroke-dasharray="2 4"/>
""", f"""<linearGradient id="cream" x1="0" y1="0" x2="0.4" y2="1"><stop offset="0" stop-color="#fffaf0"/><stop offset="1" stop-color="#f3e6d2"/></linearGradient>
<linearGradient id="spine" x1="{x1}" y1="0" x2="{x2}" y2="0"><stop offset="0" stop-color="#8a6a3a" stop-opacity="0.35"/><stop offset="1" stop-color="#8a6a3a" stop-opacity="0"/></linearGradient>
<filter id="grain"><feTurbulence baseFrequency="0.9" numOctaves="2" seed="{7 if spine_right else 11}"/><feColorMatrix type="saturate" values="0"/></filter>""")

def white(name, w, h):
    svg(name, w, h, f'<rect width="{w}" height="{h}" fill="#ffffff"/>')

def shade(name, toward_right):
    a, b = ("0", "1") if toward_right else ("1", "0")
    svg(name, 28, 64, '<rect width="28" height="64" fill="url(#g)"/>',
        f'<linearGradient id="g" x1="{a}" y1="0" x2="{b}" y2="0"><stop offset="0" stop-color="#3b2f2f" stop-opacity="0.32"/><stop offset="1" stop-color="#3b2f2f" stop-opacity="0"/></linearGradient>')

def corner(name, right, hover):
    # A turned-up page corner with an arrow: the control that turns the page.
    fill = "#f6c9d0" if hover else "#f3e6d8"
    if right:
        path, arrow = "M56 0 L56 56 L0 56 C18 44 40 24 56 0 Z", "M30 40 l10 -6 l-10 -6 z"
    else:
        path, arrow = "M0 0 L0 56 L56 56 C38 44 16 24 0 0 Z", "M26 40 l-10 -6 l10 -6 z"
    svg(name, 56, 56, f"""
<path d="{path}" fill="url(#c)" stroke="#b8925a" stroke-width="1.3"/>
<path d="{arrow}" fill="#c9416b" stroke="#8e2f4a" stroke-width="1"/>
""", f'<linearGradient id="c" x1="{0 if right else 1}" y1="1" x2="{1 if right else 0}" y2="0"><stop offset="0" stop-color="#ffffff"/><stop offset="1" stop-color="{fill}"/></linearGradient>')

FRAME = f"""<rect x="4" y="4" width="{PHOTO_W-8}" height="{PHOTO_H-8}" fill="#000" opacity="0.18" transform="translate(3 4)"/>
<rect x="2" y="2" width="{PHOTO_W-6}" height="{PHOTO_H-6}" fill="#ffffff" stroke="#d8cfc2" stroke-width="1.2"/>"""
INNER = (14, 14, PHOTO_W - 30, PHOTO_H - 50)  # the picture inside the white border, which holds the captions

def photo(name, scene, defs):
    x, y, w, h = INNER
    svg(name, PHOTO_W, PHOTO_H, f"""{FRAME}
<svg x="{x}" y="{y}" width="{w}" height="{h}" viewBox="0 0 200 132" preserveAspectRatio="xMidYMid slice">{scene}</svg>
<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="none" stroke="#c9bca8" stroke-width="1"/>
""", defs)

def scene_photo(scene):
    # A scene without a photo of its own shows its board's background, cropped to the part the
    # panel leaves free.
    path = os.path.join(data, "art", scene, "Pictures", scene, "Background.jpg.svg")
    with open(path, encoding="utf-8") as f:
        source = re.sub(r"<\?xml[^>]*\?>", "", f.read()).strip()
    opening = re.match(r"<svg\b[^>]*>", source)
    namespaces = " ".join(re.findall(r'xmlns(?::\w+)?="[^"]*"', opening.group(0)))
    x, y, w, h = INNER
    inner = (f'<svg {namespaces} x="{x}" y="{y}" width="{w}" height="{h}" viewBox="150 0 650 600" '
             f'preserveAspectRatio="xMidYMid slice">' + source[opening.end():])
    svg(f"Photo{scene}", PHOTO_W, PHOTO_H, f"""{FRAME}
{inner}
<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="none" stroke="#c9bca8" stroke-width="1"/>
""")

def photos():
    photo("PhotoBoutique", """
<rect width="200" height="132" fill="url(#wall)"/><rect y="100" width="200" height="32" fill="#c9a98a"/>
<path d="M150 18 h40 v60 h-40z" fill="#fff" stroke="#d9b48f" stroke-width="2"/><path d="M156 24 h28 v48 h-28z" fill="#dde8f0"/>
<ellipse cx="90" cy="118" rx="34" ry="5" fill="#000" opacity="0.18"/>
<path d="M90 20 c-8 0 -12 6 -12 12 l-4 14 c-4 12 -28 50 -34 70 c30 6 70 6 100 0 c-6 -20 -30 -58 -34 -70 l-4 -14 c0 -6 -4 -12 -12 -12z" fill="url(#gown)" stroke="#d8cfc2" stroke-width="1.5"/>
<path d="M78 46 c8 6 16 6 24 0" stroke="#d9b48f" stroke-width="2" fill="none"/>
<path d="M60 90 c10 8 50 8 60 0 M52 104 c14 8 62 8 76 0" stroke="#e7dcd0" stroke-width="1.5" fill="none"/>
<rect x="86" y="8" width="8" height="14" rx="3" fill="#b8925a"/>
<circle cx="28" cy="40" r="12" fill="#f6c9d0" stroke="#c9416b" stroke-width="1.2"/><path d="M28 52 v30" stroke="#6a9a55" stroke-width="3"/>
""", """<linearGradient id="wall" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#f6c9d0"/><stop offset="1" stop-color="#f3e6d8"/></linearGradient>
<linearGradient id="gown" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#ffffff"/><stop offset="1" stop-color="#efe6dc"/></linearGradient>""")
    photo("PhotoBakery", """
<rect width="200" height="132" fill="url(#wall)"/><rect y="104" width="200" height="28" fill="#b98b62"/>
<ellipse cx="100" cy="116" rx="52" ry="6" fill="#000" opacity="0.18"/>
<rect x="54" y="84" width="92" height="28" rx="4" fill="url(#icing)" stroke="#d8c6b4" stroke-width="1.5"/>
<rect x="66" y="58" width="68" height="28" rx="4" fill="url(#icing)" stroke="#d8c6b4" stroke-width="1.5"/>
<rect x="78" y="34" width="44" height="26" rx="4" fill="url(#icing)" stroke="#d8c6b4" stroke-width="1.5"/>
<path d="M54 92 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q5 6 10 0" stroke="#f6c9d0" stroke-width="3" fill="none"/>
<path d="M66 66 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q6 6 12 0 q5 6 10 0" stroke="#f6c9d0" stroke-width="3" fill="none"/>
<circle cx="92" cy="30" r="6" fill="#c9416b"/><circle cx="104" cy="28" r="7" fill="#e0607f"/><circle cx="114" cy="31" r="5" fill="#c9416b"/>
<path d="M86 34 l-6 4 M118 34 l6 4" stroke="#6a9a55" stroke-width="3" stroke-linecap="round"/>
""", """<linearGradient id="wall" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#f3e6d8"/><stop offset="1" stop-color="#e8d2bd"/></linearGradient>
<linearGradient id="icing" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#ffffff"/><stop offset="1" stop-color="#f1e4d6"/></linearGradient>""")
    photo("PhotoGarden", """
<rect width="200" height="132" fill="url(#sky)"/><rect y="96" width="200" height="36" fill="#8fae85"/>
<path d="M0 96 c40 -12 80 -4 120 -10 c30 -4 60 2 80 6 v10 h-200z" fill="#6a9a55"/>
<path d="M60 120 v-62 a40 40 0 0 1 80 0 v62" fill="none" stroke="#f3e6d8" stroke-width="8"/>
<path d="M60 120 v-62 a40 40 0 0 1 80 0 v62" fill="none" stroke="#d9b48f" stroke-width="2"/>
""" + "".join(f'<circle cx="{cx}" cy="{cy}" r="6" fill="{c}" stroke="#8e2f4a" stroke-width="1"/>' for cx, cy, c in
             [(60, 70, "#e0607f"), (64, 52, "#f6c9d0"), (74, 36, "#c9416b"), (90, 24, "#f6c9d0"), (110, 24, "#e0607f"),
              (126, 36, "#f6c9d0"), (136, 52, "#c9416b"), (140, 70, "#e0607f"), (58, 90, "#f6c9d0"), (142, 90, "#c9416b")]) + """
<path d="M92 120 h16 l-2 -30 h-12z" fill="#fffaf3" stroke="#d8cfc2"/>
""", """<linearGradient id="sky" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#a9c3de"/><stop offset="1" stop-color="#f3e6d8"/></linearGradient>""")
    card = lambda x, r, c: f'<g transform="translate({x} 30) rotate({r} 30 40)"><rect width="60" height="84" rx="6" fill="#fffaf3" stroke="#b8925a" stroke-width="1.5"/><path d="M30 56 c-14 -10 -16 -22 -8 -26 c4 -2 8 0 8 4 c0 -4 4 -6 8 -4 c8 4 6 16 -8 26z" fill="{c}"/></g>'
    photo("PhotoCards", '<rect width="200" height="132" fill="#5d7391"/>' + card(40, -14, "#c9416b") + card(70, 0, "#e0607f") + card(100, 14, "#c9416b"), "")
    photo("PhotoStory", """<rect width="200" height="132" fill="#f3e6d8"/>
<path d="M30 30 c30 -10 50 -6 70 6 v80 c-20 -12 -40 -16 -70 -6z" fill="#fffaf3" stroke="#b8925a" stroke-width="2"/>
<path d="M170 30 c-30 -10 -50 -6 -70 6 v80 c20 -12 40 -16 70 -6z" fill="#fff" stroke="#b8925a" stroke-width="2"/>
<path d="M42 46 h44 M42 58 h44 M42 70 h40 M114 46 h44 M114 58 h44" stroke="#c9bca8" stroke-width="2"/>
<path d="M136 92 c-12 -9 -14 -19 -7 -22 c3 -2 7 0 7 3 c0 -3 4 -5 7 -3 c7 3 5 13 -7 22z" fill="#c9416b"/>""", "")
    svg("PhotoHover", PHOTO_W, PHOTO_H, f'<rect x="2" y="2" width="{PHOTO_W-6}" height="{PHOTO_H-6}" fill="none" stroke="#c9416b" stroke-width="4"/>')
    svg("PhotoGlow", PHOTO_W + 40, PHOTO_H + 40, f'<rect x="6" y="6" width="{PHOTO_W+28}" height="{PHOTO_H+28}" rx="18" fill="url(#g)"/>',
        '<radialGradient id="g" cx="0.5" cy="0.5" r="0.6"><stop offset="0.7" stop-color="#ffd98a" stop-opacity="0.9"/><stop offset="1" stop-color="#ffd98a" stop-opacity="0"/></radialGradient>')
    svg("PhotoComplete", 96, 96, """
<circle cx="48" cy="48" r="40" fill="url(#seal)" stroke="#8a6a3a" stroke-width="2"/>
<circle cx="48" cy="48" r="32" fill="none" stroke="#fffaf3" stroke-width="1.5" stroke-dasharray="3 3"/>
<path d="M30 50 l12 12 l24 -26" fill="none" stroke="#fffaf3" stroke-width="7" stroke-linecap="round" stroke-linejoin="round"/>
""", '<radialGradient id="seal" cx="0.35" cy="0.3" r="0.8"><stop offset="0" stop-color="#e0607f"/><stop offset="1" stop-color="#8e2f4a"/></radialGradient>')
    svg("PhotoLocked", PHOTO_W, PHOTO_H, f"""{FRAME}
<rect x="14" y="14" width="{PHOTO_W-30}" height="{PHOTO_H-44}" fill="#f3e6d8"/>
<path d="M{PHOTO_W/2-3} {PHOTO_H/2+6} c-26 -18 -30 -40 -14 -48 c8 -4 14 0 14 8 c0 -8 6 -12 14 -8 c16 8 12 30 -14 48z" fill="#f6c9d0" stroke="#c9416b" stroke-width="1.5"/>
<rect x="{PHOTO_W/2-17}" y="{PHOTO_H/2-18}" width="28" height="22" rx="4" fill="#b8925a" stroke="#8a6a3a" stroke-width="1.3"/>
<path d="M{PHOTO_W/2-11} {PHOTO_H/2-18} v-6 a8 8 0 0 1 16 0 v6" fill="none" stroke="#8a6a3a" stroke-width="3"/>
""")

def envelope():
    for i, open_ in enumerate((False, True)):
        flap = "M10 20 L110 80 L210 20" if not open_ else "M10 20 L110 -30 L210 20"
        seal = '<circle cx="110" cy="80" r="14" fill="#c9416b" stroke="#8e2f4a" stroke-width="1.5"/><path d="M110 88 c-8 -6 -9 -12 -4 -14 c2 -1 4 0 4 2 c0 -2 2 -3 4 -2 c5 2 4 8 -4 14z" fill="#f6c9d0"/>' if not open_ else ""
        svg(f"Envelope_{i}", 220, 170, f"""
<g transform="translate(0 40)">
<ellipse cx="110" cy="126" rx="100" ry="6" fill="#000" opacity="0.18"/>
<rect x="10" y="20" width="200" height="100" rx="4" fill="url(#paper)" stroke="#b8925a" stroke-width="1.5"/>
<path d="M10 120 L110 62 L210 120" fill="none" stroke="#d8c6b4" stroke-width="1.5"/>
<path d="{flap} Z" fill="#f3e6d8" stroke="#b8925a" stroke-width="1.5" stroke-linejoin="round"/>
{seal}</g>""", '<linearGradient id="paper" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#fffaf3"/><stop offset="1" stop-color="#efe2cf"/></linearGradient>')

def letter():
    svg("Letter", 280, 360, """
<rect x="6" y="8" width="268" height="346" fill="#000" opacity="0.15"/>
<rect x="2" y="2" width="268" height="346" fill="url(#p)" stroke="#d9b48f" stroke-width="1.5"/>
<rect x="14" y="14" width="244" height="322" fill="none" stroke="#f6c9d0" stroke-width="1.2"/>
<path d="M136 334 c-10 -7 -12 -15 -6 -18 c3 -1 6 0 6 3 c0 -3 3 -4 6 -3 c6 3 4 11 -6 18z" fill="#c9416b"/>
""", '<linearGradient id="p" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#fffdf8"/><stop offset="1" stop-color="#f6ecdd"/></linearGradient>')

def banner():
    svg("CrisisBanner", 300, 70, """
<path d="M4 14 h292 l-16 22 l16 22 h-292 l16 -22 z" fill="url(#r)" stroke="#5a1a2e" stroke-width="2" stroke-linejoin="round"/>
<path d="M24 20 h252 M24 52 h252" stroke="#f6c9d0" stroke-width="1.2" stroke-dasharray="4 3"/>
""", '<linearGradient id="r" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#d0506f"/><stop offset="1" stop-color="#8e2f4a"/></linearGradient>')

ITEM_COLOURS = [("#f6c9d0", "#c9416b"), ("#fffaf3", "#b8925a"), ("#c9d8ef", "#5d7391")]
def keepsakes():
    shapes = {
        "Flowers": lambda a, b: f"""<ellipse cx="45" cy="84" rx="22" ry="4" fill="#000" opacity="0.18"/>
<path d="M40 50 l-6 32 h22 l-6 -32z" fill="#6a9a55" stroke="#3f6a34" stroke-width="1.2"/>
<path d="M30 78 q15 -8 30 0" stroke="{b}" stroke-width="4" fill="none"/>
""" + "".join(f'<circle cx="{x}" cy="{y}" r="9" fill="{a}" stroke="{b}" stroke-width="1.3"/><circle cx="{x}" cy="{y}" r="3" fill="{b}"/>'
              for x, y in [(30, 34), (45, 24), (60, 34), (38, 48), (54, 48), (45, 38)]),
        "Cake": lambda a, b: f"""<ellipse cx="45" cy="84" rx="30" ry="4" fill="#000" opacity="0.18"/>
<rect x="18" y="60" width="54" height="22" rx="3" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<rect x="26" y="40" width="38" height="21" rx="3" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<rect x="34" y="22" width="22" height="19" rx="3" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<path d="M18 68 q6 5 9 0 q6 5 9 0 q6 5 9 0 q6 5 9 0 q6 5 9 0 q6 5 9 0" stroke="{b}" stroke-width="1.5" fill="none"/>
<circle cx="45" cy="18" r="5" fill="#c9416b"/>""",
        "Dress": lambda a, b: f"""<ellipse cx="45" cy="86" rx="28" ry="4" fill="#000" opacity="0.18"/>
<path d="M45 8 c-5 0 -8 4 -8 8 l-3 12 c-3 10 -18 40 -22 56 c20 4 46 4 66 0 c-4 -16 -19 -46 -22 -56 l-3 -12 c0 -4 -3 -8 -8 -8z" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<path d="M36 30 c6 4 12 4 18 0" stroke="{b}" stroke-width="2" fill="none"/>""",
        "Gift": lambda a, b: f"""<ellipse cx="45" cy="84" rx="28" ry="4" fill="#000" opacity="0.18"/>
<rect x="18" y="36" width="54" height="46" rx="3" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<rect x="14" y="28" width="62" height="12" rx="3" fill="{a}" stroke="{b}" stroke-width="1.3"/>
<path d="M45 28 v54" stroke="{b}" stroke-width="6"/>
<path d="M45 28 c-14 -16 -26 -6 -16 0z M45 28 c14 -16 26 -6 16 0z" fill="{b}"/>""",
    }
    for name, draw in shapes.items():
        for i, (a, b) in enumerate(ITEM_COLOURS):
            svg(f"{name}_{i}", 90, 90, draw(a, b))
    svg("ItemGlow", 120, 120, '<circle cx="60" cy="60" r="58" fill="url(#g)"/>',
        '<radialGradient id="g"><stop offset="0.3" stop-color="#ffe7a8" stop-opacity="0.95"/><stop offset="1" stop-color="#ffe7a8" stop-opacity="0"/></radialGradient>')
    svg("DisplayCard", 700, 550, """
<rect x="8" y="10" width="690" height="538" rx="12" fill="#000" opacity="0.3"/>
<rect x="2" y="2" width="690" height="538" rx="12" fill="url(#c)" stroke="#b8925a" stroke-width="3"/>
<rect x="14" y="14" width="666" height="514" rx="8" fill="none" stroke="#d9b48f" stroke-width="1.5"/>
""", '<linearGradient id="c" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#fffaf3"/><stop offset="1" stop-color="#f3e6d8"/></linearGradient>')

# --- the level catalogue --------------------------------------------------------------------------
levels = []
for level in ET.parse(os.path.join(data, "input", "Levels", "levels.xml")).getroot().iter("LEVEL"):
    photos_ = [dict(p.attrib) for p in level.iter("PHOTO")]
    levels.append((int(level.get("number")), level.get("title"), level.get("crisis") is not None, photos_))
levels.sort()
PAGES = 2 * len(levels)

# --- pictures -------------------------------------------------------------------------------------
os.makedirs(ART, exist_ok=True)
table_backdrop()
paper("PageLeft", True)
paper("PageRight", False)
white("White", 8, 8)
shade("ShadeRight", True)
shade("ShadeLeft", False)
for r in (True, False):
    for h in (0, 1):
        corner(f"Corner{'Right' if r else 'Left'}_{h}", r, h)
photos()
DRAWN = ("Boutique", "Bakery", "Garden")
SCENES = sorted({p["scene"] for _, _, _, ps in levels for p in ps if "bonus" not in p} - set(DRAWN))
for scene in SCENES:
    scene_photo(scene)
envelope()
letter()
banner()
keepsakes()

movies = []
def image_movie(name, picture, w=None, h=None, sx=1, sy=1, x=0, y=0):
    m = Movie(name)
    m.add(picture, "img", x, y, sx, sy)
    movies.append(m)
    return m

def button_movie(name, base, label, size=18):
    m = Movie(name, length=3, stops=(0, 1, 2))
    for i in range(3):
        m.add(f"UI_{base}{i}", f"face{i}", create=i, death=i + 1)
    m.text("label", 0, 12, 170, 26, label, size, INK, bold=1)
    movies.append(m)

# Pieces of the pages.
m = Movie("BookPhotoFrame", length=2, stops=(0, 1), comment="A photo: frame 0 resting, 1 under the pointer; its glow pulses behind it.")
movies.append(m)
photo_movies = {}
for sym, pic in [(f"photo{s}", f"Photo{s}") for s in DRAWN + tuple(SCENES)] + [("photoCards", "PhotoCards"), ("photoStory", "PhotoStory")]:
    p = Movie(f"BookPhoto_{pic}", length=2, stops=(0, 1))
    p.add("BookGlow", "glow", -20, -20)
    p.add(f"Book_{pic}", "picture")
    p.add("Book_PhotoHover", "hover", create=1, death=2)
    movies.append(p)
    photo_movies[sym] = p.name
movies.remove(m)
image_movie("BookGlow", "Book_PhotoGlow")
image_movie("BookComplete", "Book_PhotoComplete")
image_movie("BookLogo", "Book_PhotoLocked")
e = Movie("BookEnvelope", length=2, stops=(0, 1), comment="The envelope of the first spread: 0 sealed, 1 opened.")
e.add("Book_Envelope_0", "sealed", create=0, death=1)
e.add("Book_Envelope_1", "opened", create=1, death=2)
movies.append(e)
button_movie("BookLetterButton", "ButtonRose", "Open the album")
l = Movie("BookLetter", comment="The invitation letter that opens the album.")
l.add("Book_Letter", "paper")
# The greeting takes a second line for a long name.
l.text("textPlayerName", 16, 36, 250, 52, "Dear friend,", 18, ROSE, align="left", face="Velvet Title")
l.text("body", 30, 90, 220, 194,
       "We are getting married! Our album is still empty: help us gather every photo, from the gown to "
       "the cake, so that nothing is forgotten on the big day.", 16, INK, align="left")
l.text("signature", 30, 290, 220, 26, "With love, Anna & Tom", 18, ROSE, align="right", face="Velvet Title")
movies.append(l)
for item in ("Flowers", "Cake", "Dress", "Gift"):
    k = Movie(f"Book{item}", length=3, stops=(0, 1, 2))
    k.add("Book_ItemGlow", "glow", -15, -15)
    for i in range(3):
        k.add(f"Book_{item}_{i}", f"look{i}", create=i, death=i + 1)
    movies.append(k)
t = Movie("tableaux", comment="The four keepsakes of the wedding: flowers, cake, gown and gifts.")
for i, (inst, item) in enumerate((("flowers", "BookFlowers"), ("cakes", "BookCake"), ("dresses", "BookDress"), ("gifts", "BookGift"))):
    t.add(item, inst, i * 62, 0, 0.7, 0.7)
movies.append(t)

# The page movie: one frame per page.
page = Movie("BookPage", length=PAGES, stops=tuple(range(PAGES)), comment="Every page of the album, two per level: left pages on even frames.")
for number, title, crisis, photos_ in levels:
    left, right = 2 * number, 2 * number + 1
    page.add("Book_PageLeft", "paper", create=left, death=left + 1)
    page.add("Book_PageRight", "paper", create=right, death=right + 1)
    if number == 0:
        page.text("title", 30, 40, 282, 52, "Velvet Aisle", 36, ROSE, face="Velvet Title", create=left, death=left + 1)
        page.text("subtitle", 30, 94, 282, 24, "our wedding album", 18, GOLD, create=left, death=left + 1)
        page.add("BookEnvelope", "envelope", 61, 180, create=left, death=left + 1)
        page.text("turnHint", 60, 200, 222, 120, "The letter is read. Turn the page to begin the album.", 18, INK,
                  create=right, death=right + 1)
        page.add("BookLetter", "introLetter", 31, 40, 0.92, 0.92, create=right, death=right + 1)
        page.add("BookLetterButton", "introPlayButton", 86, 400, create=right, death=right + 1)
        continue
    page.text("chapter", 30, 36, 282, 24, f"Chapter {number}", 18, GOLD, create=left, death=left + 1)
    page.text("title", 30, 60, 282, 44, title, 32, ROSE, face="Velvet Title", create=left, death=left + 1)
    rows = (("Items to find", "textItemsLevel"), ("Time left", "textTimeLevel"), ("Bluebirds", "textBluebirds"))
    for i, (label, inst) in enumerate(rows):
        y = 130 + i * 34
        page.text(f"label{i}", 50, y, 160, 26, label, 18, INK, align="left", create=left, death=left + 1)
        page.text(inst, 210, y, 80, 26, "", 18, ROSE, align="right", bold=1, create=left, death=left + 1)
    if number >= 18:
        page.add("tableaux", "tableaux", 50, 250, 0.95, 0.95, create=left, death=left + 1)
    scenes = [p for p in photos_ if "bonus" not in p]
    games = [p for p in photos_ if "bonus" in p]
    for p in games:
        x, y = (PAGE_W - PHOTO_W) / 2, 320
        page.add("BookLogo", "logo", x, y, create=left, death=left + 1)
        page.add(photo_movies[p["symbol"]], p["symbol"], x, y, create=left, death=left + 1)
        page.text("gameLabel", 30, y + PHOTO_H - 31, 282, 22, "Card game" if p["bonus"] != "0" else "A little story",
                  16, INK, create=left, death=left + 1)
    # One scene photo sits in the middle of the right page; two share it, one above the other.
    for i, p in enumerate(scenes[:2]):
        x, y = (PAGE_W - PHOTO_W) / 2, (120 if len(scenes) == 1 else 40 + i * 226)
        sym = p["symbol"]
        page.add(photo_movies[sym], sym, x, y, create=right, death=right + 1)
        page.add("BookComplete", sym + "Complete", x + PHOTO_W - 70, y + PHOTO_H - 70, create=right, death=right + 1)
        page.text(sym + "Count", x + 16, y + PHOTO_H - 31, 38, 22, "", 16, ROSE, align="right", bold=1, create=right, death=right + 1)
        page.text(f"countLabel{i}", x + 58, y + PHOTO_H - 31, 160, 22, "left to find", 15, INK, align="left", create=right, death=right + 1)
    if scenes:
        hint = "Click the photo to step into the scene." if len(scenes) == 1 else "Click a photo to step into its scene."
        y = 120 + PHOTO_H + 30 if len(scenes) == 1 else 40 + 226 + PHOTO_H + 30
        page.text("hint", 30, y, 282, 40 if len(scenes) > 1 else 60, hint, 16, GOLD, create=right, death=right + 1)
movies.append(page)

# Fold pictures: masks are plain white, placed so that the owner's position is the fold point.
for name, x, y, sx, sy in (("BookMaskRight", 0, -1000, 125, 125), ("BookMaskLeft", -1000, -1000, 125, 125),
                           ("BookMaskPage", 0, -PAGE_H, PAGE_W / 8, PAGE_H / 8), ("BookClear", 0, 0, 1, 1)):
    image_movie(name, "Book_White", sx=sx, sy=sy, x=x, y=y)
image_movie("BookShadeRight", "Book_ShadeRight", sx=1, sy=1000 / 64, x=0, y=-1000)
image_movie("BookShadeLeft", "Book_ShadeLeft", sx=1, sy=1000 / 64, x=-28, y=-1000)
for side in ("Right", "Left"):
    c = Movie(f"BookCorner{side}", length=2, stops=(0, 1))
    c.add(f"Book_Corner{side}_0", "face0", create=0, death=1)
    c.add(f"Book_Corner{side}_1", "face1", create=1, death=2)
    movies.append(c)

layout = Movie("BookPageLayout", comment="The open spread and the pictures that fold a page across it (fold point at y = 528).")
layout.add("BookPage", "pageLeft", 0, 0)
layout.add("BookPage", "pageRight", PAGE_W, 0)
layout.add("BookMaskRight", "maskNear", 2 * PAGE_W, PAGE_H)
layout.add("BookPage", "pageNear", PAGE_W, 0)
layout.add("BookClear", "clearNear", 0, 0)
layout.add("BookMaskPage", "maskShadowNear", PAGE_W, PAGE_H)
layout.add("BookShadeRight", "shadowNear", 2 * PAGE_W, PAGE_H)
layout.add("BookMaskLeft", "maskFar", 2 * PAGE_W, PAGE_H)
layout.add("BookPage", "pageFar", 2 * PAGE_W, PAGE_H, regy=PAGE_H)
layout.add("BookMaskPage", "maskShadowFar", 2 * PAGE_W, PAGE_H)
layout.add("BookShadeLeft", "shadowFar", 2 * PAGE_W, PAGE_H)
layout.add("BookClear", "clearFar", 0, 0)
layout.add("BookCornerRight", "rightControl", 2 * PAGE_W, PAGE_H - 56, regx=56)
layout.add("BookCornerLeft", "leftControl", 0, PAGE_H - 56)
movies.append(layout)

w = Movie("BookWhitePlane")
w.add("Book_White", "white", 0, 0, 100, 75)
movies.append(w)
s = Movie("BookCrisisSplash", comment="The banner over a crisis level.")
s.add("Book_CrisisBanner", "banner")
s.text("text", 20, 18, 260, 34, "A wedding crisis!", 22, IVORY, face="Velvet Title", bold=1)
movies.append(s)

book = Movie("FinalBook", comment="The album: the desk, the spread, the main-menu button and the white cover it fades in from.")
book.add("Book_Table", "table")
book.add("BookPageLayout", "pageLayout", LAYOUT_X, LAYOUT_Y)
book.add("BookCrisisSplash", "crisisSplash", 250, 6)
book.add("MenuButton", "mainMenuButton", 2, 2, 0.75, 0.75)
book.add("BookWhitePlane", "whitePlane")
movies.append(book)

ab = Movie("AlbumButton", comment="An invisible hover area over the bluebird count.")
ab.add("Book_White", "area", 0, 0, 21, 5, alpha=0)
movies.append(ab)

# The letter rising from the envelope: 40 frames, stops on the last one.
frames = 40
keys = []
for f in range(frames):
    t = f / (frames - 1)
    x, y = -171 + 171 * t, 36 - 20 * t
    sc = 0.25 + 0.6 * t
    alpha = 100 if f < frames - 10 else int(100 * (frames - 1 - f) / 9)
    keys.append((sc, sc, x, y, alpha))
ia = Movie("intro_animation", length=frames, stops=(frames - 1,), comment="The letter rises out of the envelope and fades.")
ia.add("BookLetter", "letter", regx=140, regy=180, keys=keys)
movies.append(ia)

d = Movie("WeddingDisplay", comment="The closing display: a result line revealed under its mask and the four keepsakes.")
d.add("Book_DisplayCard", "card")
d.text("heading", 40, 40, 620, 60, "The Big Day", 44, ROSE, face="Velvet Title")
r = Movie("BookResultText")
r.text("text", 0, 0, 620, 40, "", 26, INK)
movies.append(r)
tm = Movie("BookTextMask")
tm.add("Book_White", "area", 0, 0, 2, 6)
movies.append(tm)
d.add("BookTextMask", "textMask", 40, 120)
d.add("BookResultText", "resultText", 40, 124)
d.add("tableaux", "tableaux", 150, 240, 1.6, 1.6)
movies.append(d)

tr = Movie("BookTransition", comment="The cream cover a transition fades in and out over the screen.")
tr.add("Book_White", "cover", 0, 0, 100, 75)
movies.append(tr)

path = os.path.join(data, "ui", "Definitions", "Book.xml")
with open(path, "w", encoding="utf-8") as f:
    f.write("<Library>\n    <!-- The album, its pages, the opening letter and the closing display (tools/make_book.py). -->\n")
    for defn, src in pictures:
        f.write(f'    <Definition type="image" name="{defn}" src="Pictures\\{src}"/>\n')
    for m in movies:
        f.write(m.xml() + "\n")
    f.write("</Library>\n")
