#!/usr/bin/env python3
"""make_cards.py <data folder>: writes the card game's pictures (art/concentration/Pictures/Cards/*.svg),
the panel's prize and shelf place (art/ui/Pictures) and the game's definitions
(concentration/Definitions/Concentration.xml): twelve card faces, the back and its highlight, the table, the honeymoon case with its stickers and the prize charms (one keepsake per card game). Card faces share one
frame (an ivory card with a gold double border), so only the motif differs from card to card."""
import os, sys

root = sys.argv[1]
art = os.path.join(root, "art", "concentration", "Pictures", "Cards")
os.makedirs(art, exist_ok=True)
CARD = 240  # rendered size; the board scales cards to the grid

GOLD = '<linearGradient id="gold" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#f6e2b8"/><stop offset="0.5" stop-color="#d9b48f"/><stop offset="1" stop-color="#a97f45"/></linearGradient>'
IVORY = '<linearGradient id="ivory" x1="0" y1="0" x2="0.3" y2="1"><stop offset="0" stop-color="#fffdf9"/><stop offset="1" stop-color="#f3e6d8"/></linearGradient>'
ROSE = '<radialGradient id="rose" cx="0.35" cy="0.3" r="0.8"><stop offset="0" stop-color="#f6c9d0"/><stop offset="1" stop-color="#c9416b"/></radialGradient>'
SHADOW = '<ellipse cx="100" cy="172" rx="52" ry="7" fill="#000" opacity="0.18"/>'


def svg(w, h, body, defs="", view=None):
    view = view or f"0 0 {w} {h}"
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="{view}">\n'
            f'<defs>{GOLD}{IVORY}{ROSE}{defs}</defs>\n{body}\n</svg>\n')


def card(motif, defs=""):
    frame = ('<rect x="4" y="5" width="194" height="194" rx="14" fill="#3b2f2f" opacity="0.2"/>'
             '<rect x="2" y="2" width="194" height="194" rx="14" fill="url(#ivory)" stroke="#b8925a" stroke-width="3"/>'
             '<rect x="11" y="11" width="176" height="176" rx="9" fill="none" stroke="#d9b48f" stroke-width="1.5"/>')
    return svg(CARD, CARD, frame + "\n" + motif, defs, "0 0 200 200")


faces = {}
faces["Rings"] = SHADOW + '''
<circle cx="80" cy="112" r="36" fill="none" stroke="#8a6a3a" stroke-width="14"/>
<circle cx="80" cy="112" r="36" fill="none" stroke="url(#gold)" stroke-width="11"/>
<circle cx="122" cy="112" r="36" fill="none" stroke="#7d8794" stroke-width="14"/>
<circle cx="122" cy="112" r="36" fill="none" stroke="#e7ebef" stroke-width="11"/>
<path d="M108 84 A36 36 0 0 1 116 77" fill="none" stroke="url(#gold)" stroke-width="11"/>
<path d="M68 58 l12 -16 l12 16 l-12 18 z" fill="#eaf6fc" stroke="#5d7391" stroke-width="2"/>
<path d="M68 58 h24 M80 42 l-5 16 l5 18 l5 -18 z" fill="#ffffff" stroke="#5d7391" stroke-width="1"/>
<path d="M74 74 l6 6 l6 -6" fill="none" stroke="#a97f45" stroke-width="3"/>
<circle cx="70" cy="50" r="3" fill="#fff"/>'''
faces["Cake"] = SHADOW + '''
<rect x="46" y="126" width="108" height="44" rx="5" fill="#fffaf3" stroke="#b8925a" stroke-width="2"/>
<rect x="60" y="92" width="80" height="36" rx="5" fill="#fffaf3" stroke="#b8925a" stroke-width="2"/>
<rect x="74" y="62" width="52" height="32" rx="5" fill="#fffaf3" stroke="#b8925a" stroke-width="2"/>
<path d="M46 134 q9 10 18 0 q9 10 18 0 q9 10 18 0 q9 10 18 0 q9 10 18 0 q9 10 18 0" fill="none" stroke="#f6c9d0" stroke-width="4"/>
<path d="M60 100 q10 9 20 0 q10 9 20 0 q10 9 20 0 q10 9 20 0" fill="none" stroke="#f6c9d0" stroke-width="4"/>
<path d="M74 70 q9 8 17 0 q9 8 17 0 q9 8 18 0" fill="none" stroke="#f6c9d0" stroke-width="4"/>
<circle cx="88" cy="56" r="9" fill="url(#rose)" stroke="#9c2f52" stroke-width="1.5"/>
<circle cx="108" cy="54" r="10" fill="url(#rose)" stroke="#9c2f52" stroke-width="1.5"/>
<path d="M84 56 q4 -5 8 0 M103 54 q5 -6 10 0" fill="none" stroke="#9c2f52" stroke-width="1.5"/>
<path d="M96 60 q-12 -2 -16 6 M100 60 q12 -2 16 6" fill="none" stroke="#6a9a55" stroke-width="4"/>
<rect x="46" y="162" width="108" height="8" fill="#d9b48f"/>'''
faces["Bouquet"] = '''
<path d="M100 168 L78 108 M100 168 L100 100 M100 168 L122 108 M100 168 L64 124 M100 168 L136 124" stroke="#6a9a55" stroke-width="5" stroke-linecap="round"/>
<ellipse cx="62" cy="98" rx="16" ry="8" transform="rotate(-30 62 98)" fill="#8fae85" stroke="#4f7a40" stroke-width="1.5"/>
<ellipse cx="138" cy="98" rx="16" ry="8" transform="rotate(30 138 98)" fill="#8fae85" stroke="#4f7a40" stroke-width="1.5"/>
<circle cx="76" cy="82" r="20" fill="url(#rose)" stroke="#9c2f52" stroke-width="2"/>
<circle cx="124" cy="82" r="20" fill="url(#rose)" stroke="#9c2f52" stroke-width="2"/>
<circle cx="100" cy="64" r="21" fill="#fffaf3" stroke="#d9b48f" stroke-width="2"/>
<circle cx="100" cy="98" r="21" fill="url(#rose)" stroke="#9c2f52" stroke-width="2"/>
<path d="M68 82 q8 -10 16 0 q-8 8 -12 -2 M116 82 q8 -10 16 0 q-8 8 -12 -2 M92 98 q8 -10 16 0 q-8 8 -12 -2" fill="none" stroke="#9c2f52" stroke-width="2"/>
<path d="M92 64 q8 -10 16 0 q-8 8 -12 -2" fill="none" stroke="#b8925a" stroke-width="2"/>
<path d="M100 140 q-26 -8 -30 10 q16 4 30 -10 q26 -8 30 10 q-16 4 -30 -10 z" fill="#f6c9d0" stroke="#c9416b" stroke-width="2"/>
<path d="M96 142 l-8 28 M104 142 l8 28" stroke="#c9416b" stroke-width="4" stroke-linecap="round"/>'''
faces["Dove"] = SHADOW + '''
<path d="M40 118 q30 -6 52 -30 q18 -16 38 -8 q10 4 16 14 l16 4 l-16 6 q-6 24 -34 34 q-30 10 -72 -20 z" fill="#ffffff" stroke="#8d97a6" stroke-width="2.5"/>
<path d="M70 104 q10 -50 62 -62 q-8 30 -26 46 q-16 14 -36 16 z" fill="#f1f4f8" stroke="#8d97a6" stroke-width="2.5"/>
<path d="M84 96 q16 -24 38 -36 M90 102 q18 -18 34 -24" fill="none" stroke="#c9d0da" stroke-width="2"/>
<path d="M40 118 l-18 -14 l4 20 z" fill="#f1f4f8" stroke="#8d97a6" stroke-width="2"/>
<path d="M162 98 l14 2 l-14 6 z" fill="#e9a23b" stroke="#a46a1c" stroke-width="1"/>
<circle cx="146" cy="94" r="3.5" fill="#3b2f2f"/>
<path d="M150 112 q12 16 28 14" fill="none" stroke="#6a9a55" stroke-width="3"/>
<ellipse cx="166" cy="120" rx="7" ry="4" transform="rotate(30 166 120)" fill="#8fae85"/>
<ellipse cx="176" cy="128" rx="7" ry="4" transform="rotate(-20 176 128)" fill="#8fae85"/>'''
faces["Bell"] = SHADOW + '''
<path d="M100 46 q-40 0 -42 62 q-2 30 -20 46 h124 q-18 -16 -20 -46 q-2 -62 -42 -62 z" fill="url(#gold)" stroke="#8a6a3a" stroke-width="2.5"/>
<path d="M80 66 q-12 20 -10 60" fill="none" stroke="#fff6e0" stroke-width="6" stroke-linecap="round" opacity="0.8"/>
<rect x="38" y="150" width="124" height="10" rx="5" fill="#b8925a" stroke="#8a6a3a" stroke-width="2"/>
<circle cx="100" cy="168" r="10" fill="#a97f45" stroke="#8a6a3a" stroke-width="2"/>
<path d="M100 44 q-30 -22 -40 -4 q14 10 40 4 q30 -22 40 -4 q-14 10 -40 4 z" fill="#f6c9d0" stroke="#c9416b" stroke-width="2"/>
<circle cx="100" cy="42" r="6" fill="#c9416b"/>'''
faces["Champagne"] = '''
<g transform="rotate(-14 80 110)">
<path d="M62 40 h36 l-4 60 q-14 12 -28 0 z" fill="#fff6dd" stroke="#a97f45" stroke-width="2.5"/>
<path d="M64 62 h32 l-2 38 q-14 12 -28 0 z" fill="#f3d27a"/>
<path d="M80 106 v52 M62 162 h36" stroke="#a97f45" stroke-width="4" stroke-linecap="round"/></g>
<g transform="rotate(14 120 110)">
<path d="M102 40 h36 l-4 60 q-14 12 -28 0 z" fill="#fff6dd" stroke="#a97f45" stroke-width="2.5"/>
<path d="M104 62 h32 l-2 38 q-14 12 -28 0 z" fill="#f3d27a"/>
<path d="M120 106 v52 M102 162 h36" stroke="#a97f45" stroke-width="4" stroke-linecap="round"/></g>
<circle cx="86" cy="80" r="2.5" fill="#fff"/><circle cx="118" cy="86" r="2.5" fill="#fff"/><circle cx="114" cy="72" r="2" fill="#fff"/>
<path d="M100 34 l4 -12 M88 30 l-6 -10 M112 30 l6 -10" stroke="#d9b48f" stroke-width="3" stroke-linecap="round"/>'''
faces["Heart"] = '''
<path d="M100 164 q-64 -44 -64 -86 q0 -30 30 -32 q22 0 34 22 q12 -22 34 -22 q30 2 30 32 q0 42 -64 86 z" fill="url(#rose)" stroke="#9c2f52" stroke-width="3"/>
<path d="M60 70 q6 -14 22 -12" fill="none" stroke="#fff" stroke-width="6" stroke-linecap="round" opacity="0.7"/>
<path d="M100 68 v-22" stroke="#b8925a" stroke-width="3"/><circle cx="100" cy="40" r="7" fill="none" stroke="url(#gold)" stroke-width="4"/>'''
faces["Tiara"] = SHADOW + '''
<path d="M36 140 q64 -30 128 0 l-8 18 q-56 -24 -112 0 z" fill="url(#gold)" stroke="#8a6a3a" stroke-width="2"/>
<path d="M44 138 l10 -44 l18 30 l12 -54 l16 44 l16 -44 l12 54 l18 -30 l10 44 q-64 -26 -112 0 z" fill="#eef1f4" stroke="#7d8794" stroke-width="2.5"/>
<circle cx="54" cy="92" r="6" fill="#fffaf3" stroke="#b8925a" stroke-width="1.5"/>
<circle cx="84" cy="68" r="7" fill="#fffaf3" stroke="#b8925a" stroke-width="1.5"/>
<circle cx="116" cy="68" r="7" fill="#fffaf3" stroke="#b8925a" stroke-width="1.5"/>
<circle cx="146" cy="92" r="6" fill="#fffaf3" stroke="#b8925a" stroke-width="1.5"/>
<path d="M100 78 l9 12 l-9 14 l-9 -14 z" fill="url(#rose)" stroke="#9c2f52" stroke-width="1.5"/>'''
faces["Gift"] = SHADOW + '''
<rect x="48" y="88" width="104" height="80" rx="4" fill="#8fae85" stroke="#4f7a40" stroke-width="2.5"/>
<rect x="40" y="74" width="120" height="22" rx="4" fill="#a8c49f" stroke="#4f7a40" stroke-width="2.5"/>
<rect x="92" y="74" width="16" height="94" fill="#f6c9d0" stroke="#c9416b" stroke-width="2"/>
<path d="M100 74 q-40 -34 -42 -8 q4 14 42 8 q40 -34 42 -8 q-4 14 -42 8 z" fill="#f6c9d0" stroke="#c9416b" stroke-width="2.5"/>
<circle cx="100" cy="72" r="7" fill="#c9416b"/>'''
faces["Letter"] = SHADOW + '''
<rect x="34" y="62" width="132" height="96" rx="5" fill="#fffaf3" stroke="#b8925a" stroke-width="2.5"/>
<path d="M34 66 l66 52 l66 -52" fill="#f3e6d8" stroke="#b8925a" stroke-width="2.5"/>
<path d="M34 156 l50 -40 M166 156 l-50 -40" stroke="#d9b48f" stroke-width="2"/>
<circle cx="100" cy="118" r="18" fill="#c9416b" stroke="#9c2f52" stroke-width="2"/>
<path d="M100 130 q-14 -9 -14 -17 q0 -6 6 -6 q5 0 8 5 q3 -5 8 -5 q6 0 6 6 q0 8 -14 17 z" fill="#f6c9d0"/>'''
faces["Joker"] = '''
<rect x="20" y="20" width="160" height="160" rx="8" fill="url(#rose)" opacity="0.9"/>
<path d="M100 34 l17 40 l44 4 l-33 29 l10 43 l-38 -22 l-38 22 l10 -43 l-33 -29 l44 -4 z" fill="url(#gold)" stroke="#8a6a3a" stroke-width="3"/>
<path d="M100 58 l8 20 M84 92 q16 12 32 0" fill="none" stroke="#fff6e0" stroke-width="4" stroke-linecap="round"/>
<path d="M40 40 l4 10 l10 4 l-10 4 l-4 10 l-4 -10 l-10 -4 l10 -4 z M160 140 l4 10 l10 4 l-10 4 l-4 10 l-4 -10 l-10 -4 l10 -4 z" fill="#fffaf3"/>
<circle cx="154" cy="46" r="5" fill="#fffaf3"/><circle cx="46" cy="154" r="5" fill="#fffaf3"/>'''
faces["Clock"] = SHADOW + '''
<path d="M100 26 q-30 -4 -36 16" fill="none" stroke="url(#gold)" stroke-width="4"/>
<rect x="92" y="34" width="16" height="14" rx="3" fill="url(#gold)" stroke="#8a6a3a" stroke-width="2"/>
<circle cx="100" cy="106" r="60" fill="url(#gold)" stroke="#8a6a3a" stroke-width="3"/>
<circle cx="100" cy="106" r="50" fill="#fffaf3" stroke="#b8925a" stroke-width="2"/>
<path d="M100 60 v8 M146 106 h-8 M100 152 v-8 M54 106 h8" stroke="#3b2f2f" stroke-width="4"/>
<path d="M100 106 v-34 M100 106 l24 12" stroke="#3b2f2f" stroke-width="5" stroke-linecap="round"/>
<circle cx="100" cy="106" r="5" fill="#c9416b"/>
<circle cx="150" cy="152" r="22" fill="#8fae85" stroke="#4f7a40" stroke-width="2.5"/>
<path d="M150 140 v24 M138 152 h24" stroke="#fffaf3" stroke-width="6" stroke-linecap="round"/>'''

order = ["Rings", "Cake", "Bouquet", "Dove", "Bell", "Champagne", "Heart", "Tiara", "Gift", "Letter", "Joker", "Clock"]
for i, name in enumerate(order):
    with open(os.path.join(art, f"Face{i:02d}_{name}.svg"), "w") as f:
        f.write(card(faces[name]))

lace = "".join(f'<circle cx="{x}" cy="{y}" r="9" fill="none" stroke="#f6c9d0" stroke-width="2" opacity="0.7"/>'
               for x in range(30, 180, 24) for y in range(30, 180, 24) if (x + y) % 48 == 12)
back_body = ('<rect x="4" y="5" width="194" height="194" rx="14" fill="#3b2f2f" opacity="0.2"/>'
             '<rect x="2" y="2" width="194" height="194" rx="14" fill="#fffaf3" stroke="#b8925a" stroke-width="3"/>'
             '<rect x="12" y="12" width="174" height="174" rx="9" fill="url(#rose)" stroke="#9c2f52" stroke-width="1.5"/>'
             + lace +
             '<circle cx="99" cy="99" r="38" fill="#fffaf3" stroke="url(#gold)" stroke-width="6"/>'
             '<path d="M99 122 q-26 -17 -26 -33 q0 -12 12 -12 q9 0 14 9 q5 -9 14 -9 q12 0 12 12 q0 16 -26 33 z" fill="#c9416b"/>')
with open(os.path.join(art, "Back.svg"), "w") as f:
    f.write(svg(CARD, CARD, back_body, view="0 0 200 200"))
high_body = ('<rect x="3" y="3" width="192" height="192" rx="14" fill="#fff6dd" opacity="0.25" stroke="#f3d27a" stroke-width="6"/>'
             '<rect x="9" y="9" width="180" height="180" rx="10" fill="none" stroke="#fffaf3" stroke-width="2"/>')
with open(os.path.join(art, "BackHigh.svg"), "w") as f:
    f.write(svg(CARD, CARD, high_body, view="0 0 200 200"))

# The table: a champagne cloth, a lace runner under the grid, roses in the corners.
scallops = "".join(f'<circle cx="{x}" cy="{y}" r="8" fill="#fffaf3"/>' for x in range(214, 730, 14) for y in (40, 560))
scallops += "".join(f'<circle cx="{x}" cy="{y}" r="8" fill="#fffaf3"/>' for y in range(40, 566, 14) for x in (210, 730))
roses = "".join(f'<circle cx="{x}" cy="{y}" r="{r}" fill="url(#rose)" stroke="#9c2f52" stroke-width="1.5"/>'
                f'<path d="M{x - r / 2} {y} q{r / 2} -{r / 1.5} {r} 0" fill="none" stroke="#9c2f52" stroke-width="1.5"/>'
                for x, y, r in ((770, 30, 16), (750, 60, 12), (780, 80, 10), (770, 570, 16), (745, 545, 12)))
leaves = "".join(f'<ellipse cx="{x}" cy="{y}" rx="14" ry="6" transform="rotate({a} {x} {y})" fill="#8fae85" stroke="#4f7a40"/>'
                 for x, y, a in ((735, 30, -20), (785, 110, 70), (735, 575, 20), (790, 535, -60)))
table = (f'<rect width="800" height="600" fill="url(#cloth)"/>{scallops}'
         '<rect x="210" y="40" width="520" height="520" rx="6" fill="#fffaf3" stroke="#d9b48f" stroke-width="2"/>'
         '<rect x="218" y="48" width="504" height="504" rx="4" fill="none" stroke="#f3e6d8" stroke-width="2" stroke-dasharray="6 5"/>'
         f'{leaves}{roses}')
cloth = ('<linearGradient id="cloth" x1="0" y1="0" x2="0.6" y2="1"><stop offset="0" stop-color="#f3e6d8"/>'
         '<stop offset="1" stop-color="#e4cdb4"/></linearGradient>')
with open(os.path.join(art, "Table.jpg.svg"), "w") as f:
    f.write(svg(800, 600, table, cloth))

# The honeymoon case and the travel stickers it gathers, one per card game won.
case = ('<ellipse cx="40" cy="66" rx="34" ry="4" fill="#000" opacity="0.18"/>'
        '<path d="M28 16 v-8 q0 -4 4 -4 h16 q4 0 4 4 v8" fill="none" stroke="#6d4a2f" stroke-width="4"/>'
        '<rect x="4" y="16" width="72" height="48" rx="6" fill="#b97a56" stroke="#6d4a2f" stroke-width="2"/>'
        '<path d="M20 16 v48 M60 16 v48" stroke="#8a5a3c" stroke-width="5"/>'
        '<rect x="34" y="36" width="12" height="8" rx="2" fill="url(#gold)" stroke="#8a6a3a"/>')
with open(os.path.join(art, "Suitcase.svg"), "w") as f:
    f.write(svg(80, 70, case))
sticker_colours = ["#c9416b", "#5d7391", "#6a9a55", "#d9b48f", "#9c5fb5"]
for i, colour in enumerate(sticker_colours):
    body = (f'<circle cx="12" cy="12" r="10.5" fill="{colour}" stroke="#fffaf3" stroke-width="2"/>'
            '<path d="M12 17 q-6 -4 -6 -7.5 q0 -2.5 2.5 -2.5 q2 0 3.5 2 q1.5 -2 3.5 -2 q2.5 0 2.5 2.5 q0 3.5 -6 7.5 z" fill="#fffaf3"/>')
    with open(os.path.join(art, f"Sticker{i}.svg"), "w") as f:
        f.write(svg(24, 24, body))

# The prizes, one keepsake per card game of the album, each a gold charm on a rose ribbon: a heart
# locket, a seashell from the honeymoon beach, the key of the first home. The panel's shelf shows
# each in its place.
ribbon = ('<path d="M60 4 q-10 0 -10 10 M60 4 q10 0 10 10" fill="none" stroke="#c9416b" stroke-width="4"/>'
          '<circle cx="60" cy="18" r="7" fill="none" stroke="url(#gold)" stroke-width="4"/>')
prizes = [
    ribbon + '<path d="M60 112 q-50 -32 -50 -64 q0 -24 24 -24 q18 0 26 16 q8 -16 26 -16 q24 0 24 24 q0 32 -50 64 z" '
    'fill="url(#gold)" stroke="#8a6a3a" stroke-width="3"/>'
    '<path d="M60 92 q-26 -18 -26 -36 q0 -10 10 -10 q10 0 16 10 q6 -10 16 -10 q10 0 10 10 q0 18 -26 36 z" fill="url(#rose)"/>'
    '<path d="M30 44 q4 -10 14 -10" fill="none" stroke="#fff6e0" stroke-width="5" stroke-linecap="round"/>',
    ribbon + '<path d="M60 110 C34 110 12 84 16 58 C20 36 40 26 60 26 C80 26 100 36 104 58 C108 84 86 110 60 110 Z" '
    'fill="url(#gold)" stroke="#8a6a3a" stroke-width="3"/>'
    '<path d="M60 108 L60 30 M60 108 L38 34 M60 108 L82 34 M60 108 L22 56 M60 108 L98 56" stroke="#a97f45" stroke-width="3"/>'
    '<path d="M30 50 q6 -12 18 -16" fill="none" stroke="#fff6e0" stroke-width="5" stroke-linecap="round"/>',
    ribbon + '<circle cx="60" cy="44" r="20" fill="none" stroke="url(#gold)" stroke-width="9"/>'
    '<circle cx="60" cy="44" r="20" fill="none" stroke="#8a6a3a" stroke-width="1.5"/>'
    '<path d="M55 64 h10 v34 h12 v8 h-12 v6 h8 v8 h-18 z" fill="url(#gold)" stroke="#8a6a3a" stroke-width="2.5"/>'
    '<path d="M52 34 q4 -6 10 -6" fill="none" stroke="#fff6e0" stroke-width="4" stroke-linecap="round"/>',
]
# The card game's panel lives in the interface package, which holds its own copies of the prizes.
ui_art = os.path.join(root, "art", "ui", "Pictures")
for i, body in enumerate(prizes):
    for folder, name in ((art, f"Prize{i}.svg"), (ui_art, f"ShelfPrize{i}.svg")):
        with open(os.path.join(folder, name), "w") as f:
            f.write(svg(120, 120, body))
slot = '<circle cx="24" cy="24" r="21" fill="#f3e6d8" stroke="#d9b48f" stroke-width="2" stroke-dasharray="5 4"/>'
with open(os.path.join(ui_art, "ShelfSlot.svg"), "w") as f:
    f.write(svg(48, 48, slot))

# --- definitions --------------------------------------------------------------------------------
def image(defn, inst, depth, x, y, regx=0, regy=0, create=0, death=1, keys=None):
    keys = keys or [(1, 1, x, y, 100)]
    frames = "".join(f'\n            <Frame alpha="{a}" transform="{fmt(sx)} 0 0 {fmt(sy)} {fmt(px)} {fmt(py)}"/>'
                     for sx, sy, px, py, a in keys)
    return (f'        <Instance type="library" definition="{defn}" instancename="{inst}" depth="{depth}" '
            f'regx="{regx}" regy="{regy}" create="{create}" death="{death}">{frames}\n        </Instance>')


def fmt(v):
    return ("%.3f" % v).rstrip("0").rstrip(".")


def movie(name, length, items, stops=(), comment=None):
    out = [f"    <!-- {comment} -->"] if comment else []
    out.append(f'    <Definition type="movie" name="{name}" length="{length}" fps="60">')
    out += [f'        <Event frame="{s}" type="stop"/>' for s in stops]
    out += items
    out.append("    </Definition>")
    return "\n".join(out)


images = [(f"Con_Face{i}", f"Cards\\Face{i:02d}_{n}.png") for i, n in enumerate(order)]
images += [("Con_Back", "Cards\\Back.png"), ("Con_BackHigh", "Cards\\BackHigh.png"), ("Con_Table", "Cards\\Table.jpg"),
           ("Con_Suitcase", "Cards\\Suitcase.png")]
images += [(f"Con_Prize{i}", f"Cards\\Prize{i}.png") for i in range(len(prizes))]
images += [(f"Con_Sticker{i}", f"Cards\\Sticker{i}.png") for i in range(len(sticker_colours))]
half = CARD / 2
movies = [
    movie("ConCard", len(order), [image(f"Con_Face{i}", f"face{i}", i + 1, 0, 0, half, half, i, i + 1) for i in range(len(order))],
          range(len(order)), "A card's face: frame n shows face n (0-9 the wedding faces, 10 the joker, 11 the clock card)."),
    movie("ConCardBack", 1, [image("Con_Back", "back", 1, 0, 0, half, half)]),
    movie("ConCardBack_Hi", 1, [image("Con_BackHigh", "glow", 1, 0, 0, half, half)], comment="Over the back of the card under the pointer."),
    movie("ConItem", 6, [image("Con_Suitcase", "case", 1, 0, 0, 0, 0, 0, 6)] +
          [image(f"Con_Sticker{i}", f"sticker{i}", i + 2, 8 + 12 * i, 20 + 14 * (i % 2), 0, 0, i + 1, 6) for i in range(5)],
          range(6), "The honeymoon case: frame n carries n stickers, one per card game won."),
]
# The prize rises at the middle of the grid (frames 1-40, where it stops and the panel takes over),
# then shrinks away (41-59) and stops on its last frame.
keys = []
for f in range(1, 60):
    if f <= 30:
        s = 0.2 + 0.9 * (f / 30.0)
        keys.append((s, s, 475, 300, 100))
    elif f <= 40:
        s = 1.1 - 0.01 * (f - 30)
        keys.append((s, s, 475, 300, 100))
    else:
        t = (f - 40) / 19.0
        s = 1.0 - 0.8 * t
        keys.append((s, s, 475 - 350 * t, 300 - 100 * t, int(100 - 70 * t)))
movies.append(movie("ConPrizeCharm", len(prizes), [image(f"Con_Prize{i}", f"prize{i}", i + 1, 0, 0, 0, 0, i, i + 1)
                                                    for i in range(len(prizes))], range(len(prizes)),
                    "The keepsakes: frame n is the prize of the album's card game n + 1."))
movies.append(movie("ConPrize", 60, [image("ConPrizeCharm", "charm", 1, 0, 0, 60, 60, 1, 60, keys)], (0, 40, 59),
                    "The prize of a won card game; it stops at frame 40 while the panel shelves it."))
movies.append(movie("ConBoard", 1, [image("Con_Table", "table", 1, 0, 0), image("ConItem", "item", 2, 722, 470),
                                    image("ConPrize", "object", 3, 0, 0)],
                    comment="The card table: the grid of cards goes on top, 500 x 500 at (220, 50)."))

with open(os.path.join(root, "concentration", "Definitions", "Concentration.xml"), "w") as f:
    f.write("<Library>\n    <!-- The card game: cards, the table, the honeymoon case and the prize. Written by tools/make_cards.py. -->\n")
    for defn, src in images:
        f.write(f'    <Definition type="image" name="{defn}" src="Pictures\\{src}"/>\n')
    f.write("\n".join(movies) + "\n</Library>\n")
