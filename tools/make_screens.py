#!/usr/bin/env python3
"""make_screens.py <data/ui folder>: writes the interface's definition files (Definitions/Controls.xml and
Definitions/BoardScreens.xml): the layout of every panel and dialog, kept here so that positions
are computed rather than typed by hand."""
import os, sys
root = sys.argv[1]
INK = "0x3b2f2f"; ROSE = "0xc9416b"; GOLD = "0x8a6a3a"; IVORY = "0xfffaf3"

class Movie:
    def __init__(self, name, length=1, comment=None, stops=(), labels=()):
        self.name, self.length, self.comment, self.items, self.stops = name, length, comment, [], stops
        self.labels = labels  # (frame, label) pairs
    def image(self, defn, inst, x, y, regx=0, regy=0, alpha=100, sx=1, sy=1, create=0, death=None):
        self.items.append(["library", dict(definition=defn, instancename=inst, regx=regx, regy=regy,
                           create=create, death=self.length if death is None else death), (sx, sy, x, y, alpha)])
    def child(self, defn, inst, x, y, sx=1, sy=1, alpha=100):
        self.image(defn, inst, x, y, 0, 0, alpha, sx, sy)
    def text(self, inst, x, y, w, h, text="", size=16, color=INK, align="center", face="Velvet Body", bold=0,
             create=0, death=None):
        self.items.append(["text", dict(instancename=inst, regx=0, regy=0, create=create,
                           death=self.length if death is None else death,
                           text=text, face=face, size=size, color=color, align=align, width=w, height=h, bold=bold),
                           (1, 1, x, y, 100)])
    def xml(self):
        out = []
        if self.comment:
            out.append(f"    <!-- {self.comment} -->")
        out.append(f'    <Definition type="movie" name="{self.name}" length="{self.length}" fps="60">')
        for f in self.stops:
            out.append(f'        <Event frame="{f}" type="stop"/>')
        for f, label in self.labels:
            out.append(f'        <Label name="{label}" frame="{f}"/>')
        for depth, (kind, attrs, key) in enumerate(self.items, 1):
            a = dict(attrs)
            head = f'type="{kind}"'
            if kind == "library":
                head += f' definition="{a.pop("definition")}"'
            inst = a.pop("instancename")
            rest = " ".join(f'{k}="{esc(v)}"' for k, v in a.items())
            out.append(f'        <Instance {head} instancename="{inst}" depth="{depth}" {rest}>')
            # One key, or a list of keys: one per frame from the track's first frame on.
            for sx, sy, x, y, alpha in (key if isinstance(key, list) else [key]):
                out.append(f'            <Frame alpha="{fmt(alpha)}" transform="{fmt(sx)} 0 0 {fmt(sy)} {fmt(x)} {fmt(y)}"/>')
            out.append('        </Instance>')
        out.append('    </Definition>')
        return "\n".join(out)

def fmt(v):
    return ("%.3f" % v).rstrip("0").rstrip(".")
def esc(v):
    return str(v).replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")

def write(name, header, movies, images=()):
    path = os.path.join(root, "Definitions", name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"<Library>\n    <!-- {header} -->\n")
        for defn, src in images:
            f.write(f'    <Definition type="image" name="{defn}" src="Pictures\\{src}"/>\n')
        for m in movies:
            f.write(m.xml() + "\n")
        f.write("</Library>\n")

# --- pictures ------------------------------------------------------------------------------
pictures = [("UI_Panel", "Panel.png"), ("UI_DialogShort", "DialogShort.png"), ("UI_DialogSmall", "DialogSmall.png"),
            ("UI_DialogLarge", "DialogLarge.png"),
            ("UI_ModalBkg", "ModalBkg.png"), ("UI_PauseOverlay", "PauseOverlay.png"), ("UI_HintArrow", "HintArrow.png"),
            ("UI_Bluebird", "Bluebird.png"), ("UI_Clock", "Clock.png"), ("UI_Checkmark", "Checkmark.png"),
            ("UI_FoundStrike", "FoundStrike.png"), ("UI_ShelfSlot", "ShelfSlot.png")]
pictures += [(f"UI_ShelfPrize{k}", f"ShelfPrize{k}.png") for k in range(3)]
for base in ("ButtonRose", "ButtonSage", "HintButton", "MenuButton"):
    for i in range(3):
        pictures.append((f"UI_{base}{i}", f"{base}_{i}.png"))

controls = []
m = Movie("ModalBkg", comment="Behind a modal screen: scaled up to cover the screen and catch the pointer.")
m.image("UI_ModalBkg", "shade", 0, 0, alpha=55)
controls.append(m)
m = Movie("Pause_Overlay", comment="Covers the game while it is paused; a click anywhere resumes.")
m.image("UI_PauseOverlay", "shade", 0, 0, sx=100, sy=75)
m.text("title", 150, 250, 500, 60, "Paused", 40, IVORY, face="Velvet Title")
m.text("hint", 150, 320, 500, 30, "Click anywhere to carry on", 18, IVORY)
controls.append(m)
m = Movie("HintArrowSprite", comment="The arrow that flies to a hidden item.")
m.image("UI_HintArrow", "arrow", 0, 0, regx=32, regy=32)
controls.append(m)
for base, w, h, labelled in (("ButtonRose", 170, 46, True), ("ButtonSage", 170, 46, True),
                             ("HintButton", 64, 64, False), ("MenuButton", 64, 64, False)):
    m = Movie(base, length=3, stops=(0, 1, 2),
              comment="Frames: 0 normal, 1 under the pointer, 2 pressed." if base == "ButtonRose" else None)
    for i in range(3):
        m.image(f"UI_{base}{i}", f"face{i}", 0, 0, create=i, death=i + 1)
    if labelled:
        m.text("label", 0, 12, w, 26, "", 18, INK, bold=1)
    controls.append(m)
write("Controls.xml", "Pictures, buttons and overlays shared by every screen.", controls, pictures)

# --- board screens ------------------------------------------------------------------------
SHORT = "short"  # a card for a line or two above its buttons

def dialog(name, large, title, comment=None):
    """A card with its title along the top and a body text below it, sized to what it holds: the
    short card for one or two lines, the small one for a few, the large one for a picture or a long
    text (large=True)."""
    m = Movie(name, comment=comment)
    if large == SHORT:
        x, y, w, h = 200, 205, 400, 190
        m.image("UI_DialogShort", "card", x, y)
    elif large:
        x, y, w, h = 140, 110, 520, 380
        m.image("UI_DialogLarge", "card", x, y)
    else:
        x, y, w, h = 200, 180, 400, 240
        m.image("UI_DialogSmall", "card", x, y)
    m.text("title", x + 20, y + 22, w - 40, 44, title, 30 if large is True else 26, ROSE, face="Velvet Title")
    body = {SHORT: (70, 60), False: (70, 88), True: (76, h - 150)}[large]
    m.text("body", x + 36, y + body[0], w - 72, body[1], "", 17, INK)
    m.geom = (x, y, w, h)
    return m

def item(m, inst):
    """The attributes and the placement key of one of the movie's instances."""
    for it in m.items:
        if it[1]["instancename"] == inst:
            return it
    raise KeyError(inst)

def place(m, inst, x, y, **attrs):
    it = item(m, inst)
    it[1].update(attrs)
    sx, sy, _, _, alpha = it[2]
    it[2] = (sx, sy, x, y, alpha)

def buttons(m, specs):
    """specs: list of (instance, kind); laid out in a row along the card's foot."""
    x, y, w, h = m.geom
    n = len(specs)
    gap = 14
    bw = 170
    total = n * bw + (n - 1) * gap
    scale = 1.0
    if total > w - 40:
        scale = (w - 40 - (n - 1) * gap) / (n * bw)
        bw = bw * scale
        total = n * bw + (n - 1) * gap
    left = x + (w - total) / 2
    for i, (inst, kind) in enumerate(specs):
        m.child(kind, inst, left + i * (bw + gap), y + h - (66 if h < 200 else 70), scale, scale)

screens = []
# The board's side panel.
p = Movie("ISpyPanel", comment="The board's side panel: clock, the list of things to find, hint, menu, pause and album.")
p.image("UI_Panel", "card", 0, 0)
p.image("UI_Clock", "clockIcon", 12, 16)
p.text("clock", 54, 22, 80, 28, "", 22, INK, align="left", bold=1)
p.text("heading", 8, 62, 128, 30, "Find these", 18, ROSE, face="Velvet Title")
for i in range(12):
    y = 100 + i * 26
    p.text(f"item{i}", 3, y, 138, 25, "", 14, INK)
    p.image("UI_FoundStrike", f"strike{i}", 12, y + 12, sx=1.0, sy=1.0)
p.child("HintButton", "hintButton", 8, 426)
p.child("MenuButton", "menuButton", 72, 426)
p.text("hintCount", 8, 492, 64, 20, "", 14, INK)
p.text("menuLabel", 72, 492, 64, 20, "Menu", 14, INK)
p.child("ButtonSage", "pauseButton", 12, 518, 0.7, 0.7)
p.child("ButtonRose", "albumButton", 12, 556, 0.7, 0.7)
screens.append(p)

m = dialog("GameMenuDialog", True, "Game Menu")
for i, inst in enumerate(("resumeButton", "optionsButton", "helpButton", "creditsButton", "quitButton")):
    m.child("ButtonRose" if inst != "quitButton" else "ButtonSage", inst, 315, 176 + i * 56)
m.items = [it for it in m.items if it[1]["instancename"] != "body"]
screens.append(m)

m = dialog("Menu_ConfirmInGameQuitDialog", SHORT, "Leave the game?")
buttons(m, [("quitButton", "ButtonSage"), ("stayButton", "ButtonRose")])
screens.append(m)

# The bluebird dialogs: the bird on the left under the title, the text beside it.
for name, title in (("Game_BluebirdDialog", "A bluebird!"), ("Game_SecretBluebirdDialog", "Every bluebird!")):
    m = dialog(name, False, title)
    m.image("UI_Bluebird", "bird", 226, 256, sx=0.75, sy=0.75)
    place(m, "body", 308, 252, width=270, height=88, align="left")
    buttons(m, [("okButton", "ButtonRose")])
    screens.append(m)

# A scene won: its album photo (one frame per scene package, labelled with the scene's name) with the
# time the chapter's clock has run under it, and the text beside it.
SCENE_NAMES = sorted(d for d in os.listdir(os.path.join(root, "..", "scenes"))
                     if os.path.isdir(os.path.join(root, "..", "scenes", d)))
m = Movie("WinPhotos", length=len(SCENE_NAMES), stops=range(len(SCENE_NAMES)),
          labels=tuple(enumerate(SCENE_NAMES)), comment="The album photo of each scene, one per frame, labelled with its name.")
for i, scene in enumerate(SCENE_NAMES):
    m.image(f"Book_Photo{scene}", f"photo{i}", 0, 0, create=i, death=i + 1)
screens.append(m)
m = dialog("Game_WinDialog", True, "Scene complete!")
m.child("WinPhotos", "photo", 176, 190, 0.9, 0.9)  # 207 x 158
m.text("time", 176, 354, 207, 26, "", 17, ROSE, bold=1)
place(m, "body", 404, 196, width=222, height=180, align="left")
buttons(m, [("okButton", "ButtonRose")])
screens.append(m)

# The other end-of-scene dialogs hold a few lines each: small cards.
for name, title, size in (("Game_LoseDialog", "Out of time", SHORT), ("Game_OverDialog", "Just married!", False)):
    m = dialog(name, size, title)
    buttons(m, [("okButton", "ButtonRose")])
    screens.append(m)

# A crisis averted: the question, then the three replacements drawn above their buttons. Each slot
# holds the four keepsakes of the album's tableaux (its frame is the choice); the script shows the
# crisis's own.
KEEPSAKES = (("cake", "BookCake"), ("flowers", "BookFlowers"), ("dress", "BookDress"), ("gift", "BookGift"))
m = dialog("Book_CrisisWonDialog", True, "Crisis averted!")
place(m, "body", 176, 184, height=48)
for i in range(3):
    cx = 400 + (i - 1) * 165
    for inst, movie in KEEPSAKES:
        m.child(movie, f"{inst}{i + 1}", cx - 63, 232, 1.4, 1.4)
    m.child("ButtonRose", f"button{i + 1}", cx - 76.5, 384, 0.9, 0.9)
screens.append(m)

tutorials = ["Game_RegistryIntroDialog", "Game_BadClickDialog", "Game_TutorialBluebirdDialog",
             "Book_TutorialCrisisDialog", "Book_TutorialIntroDialog", "Book_TutorialDialog",
             "Con_TutorialDialog", "Story_TutorialDialog"]
SHORT_TUTORIALS = ("Book_TutorialIntroDialog", "Book_TutorialDialog", "Con_TutorialDialog")
for name in tutorials:
    m = dialog(name, SHORT if name in SHORT_TUTORIALS else False, "")
    buttons(m, [("okButton", "ButtonRose")])
    screens.append(m)
# The card game's side panel: clock, the shelf of honeymoon prizes (a slot every 55 px from y = 160,
# where the match sparks fly), hint, menu, pause and album.
p = Movie("ConPanel", comment="The card game's side panel: clock, prize shelf, hint, menu, pause and album.")
p.image("UI_Panel", "card", 0, 0)
p.image("UI_Clock", "clockIcon", 12, 16)
p.text("clock", 54, 22, 80, 28, "", 22, INK, align="left", bold=1)
p.text("heading", 8, 62, 128, 30, "Honeymoon", 18, ROSE, face="Velvet Title")
for k in range(3):  # one place per card game of the album
    p.image("UI_ShelfSlot", f"slot{k}", 75, 160 + 55 * k, regx=24, regy=24)
    p.image(f"UI_ShelfPrize{k}", f"prize{k}", 75, 160 + 55 * k, regx=60, regy=60, sx=0.4, sy=0.4)
p.child("HintButton", "hintButton", 8, 426)
p.child("MenuButton", "menuButton", 72, 426)
p.text("hintCount", 8, 492, 64, 20, "", 14, INK)
p.text("menuLabel", 72, 492, 64, 20, "Menu", 14, INK)
p.child("ButtonSage", "pauseButton", 12, 518, 0.7, 0.7)
p.child("ButtonRose", "albumButton", 12, 556, 0.7, 0.7)
screens.append(p)

m = dialog("Con_WinDialog", SHORT, "Every pair found!")
buttons(m, [("okButton", "ButtonRose")])
screens.append(m)
m = dialog("Con_LoseDialog", SHORT, "Out of time")
buttons(m, [("okButton", "ButtonRose")])
screens.append(m)
write("BoardScreens.xml", "The board's and the card game's panels, their menu, tutorial and end-of-game dialogs.", screens)

# --- menus -------------------------------------------------------------------------------
menus = []
m = Movie("ProfileRow", length=3, stops=(0, 1, 2), comment="One player in the profile list: frames as a button's.")
for i in range(3):
    m.image(f"UI_ButtonSage{i}", f"face{i}", 0, 0, sx=1.7, sy=0.72, create=i, death=i + 1)
m.text("profileName", 14, 7, 262, 22, "", 17, INK, align="left")
menus.append(m)
m = Movie("CheckBox", length=3, stops=(0, 1, 2), comment="A check box; its script shows the tick.")
for i in range(3):
    m.image(f"UI_ButtonSage{i}", f"face{i}", 0, 0, sx=0.2, sy=0.6, create=i, death=i + 1)
m.image("UI_Checkmark", "tick", 5, 2)
menus.append(m)
m = Movie("Slider", comment="A volume slider: the track and its knob.")
m.image("UI_FoundStrike", "track", 0, 12, sx=2.0, sy=2.0)
m.child("HintButton", "knob", -13, 0, 0.45, 0.45)
menus.append(m)

m = dialog("MainMenuDialog", True, "Velvet Aisle")
m.items = [it for it in m.items if it[1]["instancename"] != "body"]
for i, inst in enumerate(("backButton", "profileButton", "optionsButton")):
    m.child("ButtonRose", inst, 175, 190 + i * 60)
for i, inst in enumerate(("scoresButton", "helpButton", "creditsButton")):
    m.child("ButtonRose", inst, 455, 190 + i * 60)
m.child("ButtonSage", "quitButton", 315, 396)
menus.append(m)

m = dialog("Menu_ConfirmQuitDialog", SHORT, "Leave Velvet Aisle?")
buttons(m, [("quitButton", "ButtonSage"), ("stayButton", "ButtonRose")])
menus.append(m)

# Help and credits: a long text under the same title as every other dialog, above the Close button.
for name, title in (("HelpDialog", "How to play"), ("CreditsDialog", "Credits")):
    m = dialog(name, True, title)
    place(m, "body", 168, 178, width=464, height=226, size=15, align="left")
    buttons(m, [("closeButton", "ButtonRose")])
    menus.append(m)

m = dialog("Menu_HighScoresDialog", True, "Best weddings")
m.items = [it for it in m.items if it[1]["instancename"] != "body"]
# Before the first wedding the table is empty: the four keepsakes of the album wait in its place.
m.child("tableaux", "keepsakes", 400 - 1.7 * 124.5, 200, 1.7, 1.7)
m.text("empty", 180, 346, 440, 50, "", 17, INK)
for i in range(10):
    y = 178 + i * 22
    m.text(f"name{i + 1}", 170, y, 290, 22, "", 16, INK, align="left")
    m.text(f"time{i + 1}", 470, y, 160, 22, "", 16, INK, align="right")
buttons(m, [("closeButton", "ButtonRose")])
menus.append(m)

m = dialog("Menu_ProfileDialog", True, "Who is planning?")
m.items = [it for it in m.items if it[1]["instancename"] != "body"]
for i in range(6):
    m.child("ProfileRow", f"profile{i + 1}", 255, 180 + i * 35)
m.image("UI_FoundStrike", "caret", 0, 0, sx=0.02, sy=5)
m.child("ButtonRose", "playButton", 155, 396, 0.72, 0.72)
m.child("ButtonRose", "addButton", 285, 396, 0.72, 0.72)
m.child("ButtonSage", "deleteButton", 415, 396, 0.72, 0.72)
m.child("ButtonSage", "backButton", 545, 396, 0.58, 0.72)
menus.append(m)

m = dialog("Menu_ConfirmDeleteDialog", SHORT, "Delete this player?")
buttons(m, [("deleteButton", "ButtonSage"), ("keepButton", "ButtonRose")])
menus.append(m)

m = dialog("Menu_RefuseDeleteDialog", SHORT, "Not this one")
buttons(m, [("okButton", "ButtonRose")])
menus.append(m)

m = dialog("OptionsDialog", True, "Options")
m.items = [it for it in m.items if it[1]["instancename"] != "body"]
for i, (inst, label) in enumerate((("music", "Music"), ("effects", "Sounds"), ("ambient", "Ambience"))):
    y = 178 + i * 44
    m.text(f"{inst}Label", 170, y, 130, 24, label, 18, INK, align="left")
    m.child("Slider", f"{inst}Slider", 330, y - 4)
for i, (inst, label) in enumerate((("fullScreen", "Full screen"), ("software", "Software drawing"), ("relaxed", "Relaxed play (no clock)"))):
    y = 318 + i * 30
    m.child("CheckBox", f"{inst}Box", 170, y)
    m.text(f"{inst}Label", 214, y + 2, 300, 24, label, 17, INK, align="left")
m.child("ButtonRose", "saveButton", 455, 330)
m.child("ButtonSage", "cancelButton", 455, 384)
menus.append(m)
write("MenuScreens.xml", "The main menu, its player, option, score, help and credit screens.", menus)


# --- the story game ----------------------------------------------------------------------
# The picture story: the page, the three choices along the right (each a picture under a check-box
# frame, a teaser and a heart), the story text on the left, and the heart veil of the transitions.
# The choices sit where the heart arrow lands: the arrow targets are fixed in the game.
CHOICE_PICTURES = ["Cup", "Umbrella", "Book", "Bicycle", "Puppy", "Picnic", "Stars", "Boat", "RingBox", "Rose",
                   "Letter", "Lantern", "Cake"]  # frame = the story file's IMAGE - 1
ARROW_TARGETS = [(642, 116), (589, 301), (626, 487)]
story_pictures = [("Story_Page", "Story\\StoryPage.jpg"), ("Story_Couple", "Story\\StoryCouple.png"),
                  ("Story_Heart", "Story\\StoryHeart.png"), ("Story_LaceHeart", "Story\\StoryLaceHeart.png"),
                  ("Story_Veil", "Story\\StoryVeil.png"), ("Story_VeilHeart", "Story\\StoryVeilHeart.png")]
story_pictures += [(f"Story_Frame{i}", f"Story\\StoryOptionFrame_{i}.png") for i in range(4)]
story_pictures += [(f"Story_{name}", f"Story\\Choice{name}.png") for name in CHOICE_PICTURES]

story = []
n = len(CHOICE_PICTURES)
m = Movie("StoryChoicePics", length=n, stops=range(n), comment="The choice pictures, one per frame.")
for i, name in enumerate(CHOICE_PICTURES):
    m.image(f"Story_{name}", f"picture{i}", 0, 0, create=i, death=i + 1)
story.append(m)
m = Movie("StoryOption", length=6, stops=range(6), labels=((0, "Unchecked"), (3, "Checked"), (4, "dunchecked"), (5, "dcheck")),
          comment="The frame over a choice: 0 normal, 1 under the pointer, 2 pressed, 3 chosen, 4 and 5 disabled.")
for i, face in enumerate((0, 1, 2, 1, 3, 3)):
    m.image(f"Story_Frame{face}", f"face{i}", 0, 0, create=i, death=i + 1)
story.append(m)
for name, picture in (("StoryHeart", "Story_Heart"), ("StoryLaceHeart", "Story_LaceHeart"), ("StoryPics", "Story_Couple")):
    m = Movie(name)
    m.image(picture, "picture", 0, 0)
    story.append(m)
m = Movie("StorySubtitle", length=3, stops=range(3), comment="The chapter title: 0 how they met, 1 the first date, 2 the proposal.")
for i, title in enumerate(("How We Met", "The First Date", "The Proposal")):
    m.text(f"title{i}", 0, 0, 430, 52, title, 36, ROSE, face="Velvet Title", create=i, death=i + 1)
story.append(m)
for name, label in (("StoryNextButton", "What next?"), ("StoryEndButton", "Back to the album")):
    m = Movie(name, length=3, stops=(0, 1, 2))
    for i in range(3):
        m.image(f"UI_ButtonRose{i}", f"face{i}", 0, 0, create=i, death=i + 1)
    m.text("label", 0, 12, 170, 26, label, 17, INK, bold=1)
    story.append(m)

m = Movie("StoryLayout", comment="The story page (instance \"StoryMiniGame\").")
m.image("Story_Page", "page", 0, 0)
m.child("StorySubtitle", "subtitle", 43, 24)
m.child("StoryLaceHeart", "laceHeart1", 52, 118)
m.child("StoryLaceHeart", "laceHeart3", 392, 118)
m.child("StoryPics", "storyPics", 143, 78)
m.text("storyText", 56, 262, 404, 226, "", 19, INK, align="left")
for i, (tx, ty) in enumerate(ARROW_TARGETS, 1):
    m.child("StoryChoicePics", f"pic{i}", tx - 75, ty - 62)
    m.text(f"text{i}", tx - 105, ty + 52, 210, 24, "", 16, INK)
for i, (tx, ty) in enumerate(ARROW_TARGETS, 1):
    m.child("StoryHeart", f"heart{i}", tx - 100, ty - 82)
    m.child("StoryOption", f"option{i}", tx - 85, ty - 72)
m.child("StoryNextButton", "showChoicesButton", 173, 506)
m.child("StoryEndButton", "endGameButton", 173, 506)
m.text("endText", 506, 220, 260, 150, "", 32, ROSE, face="Velvet Title")
story.append(m)

# The transition veil: the page blushes over and a heart grows in its middle (frames 0-29), then it
# stops; the transition script lifts it again.
STEPS = 30
m = Movie("heartMovie", length=STEPS + 1, stops=(STEPS,), comment="The veil of the story transitions.")
m.image("Story_Veil", "veil", 0, 0)
m.items[-1][2] = [(50, 37.5, 0, 0, round(100 * min(f, STEPS) / STEPS)) for f in range(STEPS + 1)]
m.image("Story_VeilHeart", "heart", 400, 300, regx=100, regy=90)
m.items[-1][2] = [(0.2 + 0.8 * min(f, STEPS) / STEPS, 0.2 + 0.8 * min(f, STEPS) / STEPS, 400, 300, round(100 * min(f, STEPS) / STEPS))
                  for f in range(STEPS + 1)]
story.append(m)
write("StoryScreens.xml", "The story game: its page, choices and transition veil.", story, story_pictures)
