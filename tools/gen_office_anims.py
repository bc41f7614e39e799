#!/usr/bin/env python3
"""Generates the sample office's animation pictures and their ".anm" files.

Usage: tools/gen_office_anims.py <anm_tool> [data-dir]

For every visual part of the sample office ("part" names of cfg\\office.xml)
it draws one picture with real alpha into data/images/office/, writes the
readable description of its animations to tools/anm/<part>.txt and has
anm_tool write data/anm/<part>.anm from it. Output is deterministic.

Animation names follow the game's lookup: part name + skin + orientation +
animation ("bossmanbridle"). Every part also gets the records without skin
and without orientation, so any look the game asks for finds a record.
"""
import math
import os
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_sample_media import write_png  # noqa: E402

FRAMES = 4
IDLE_FPS = 6
MOVE_FPS = 8
ONCE_FPS = 8

# Animations that play once; "close" plays the opening backwards.
ONCE = {
    "activation", "open", "take_paper", "work_start", "work_stop", "wake_up", "gratitude", "scandal",
    "presentation_reaction", "drink_coffee", "conference_reaction", "disruption_reaction", "on_cash",
    "on_penalty", "on_bonus", "boss_phone", "boss_drink", "boss_reproach", "secretary_presentation",
    "engineer_repair", "patience_content", "patience_angry",
}
BACKWARD = {"close"}
# The workers' reactions end, so that the worker goes back to its base look;
# its idle look stops and restarts after a pause.
ONCE |= {"attention", "disruptive_action", "idle_usual", "idle_done"}

ITEM_ANIMS = ["idle", "ready", "activation", "hover"]
PERSON_ORIENTS = ["tr", "br", "tl", "bl"]
# The persons face every walking direction; mirrored ones use their side's records.
WALKER_ORIENTS = ["t", "tr", "r", "br", "b", "tl", "bl"]

# part: (width, height, shape, colour, skins, orientations, animations)
PARTS = {
    "wall": (800, 150, "wall", (196, 204, 214), [], [], ["idle"]),
    # The window's three looks, one part each: the dawn stays, morning and day fade in over it
    # when the level names them (cfg\\effect.xml "window_look").
    "window": (160, 86, "sky", (40, 60, 120), [], [], ["idle"]),
    "window_morning": (160, 86, "sky", (240, 170, 120), [], [], ["idle"]),
    "window_day": (160, 86, "sky", (120, 190, 240), [], [], ["idle"]),
    "conditioner": (80, 48, "box", (220, 224, 230), [], [], ITEM_ANIMS),
    "door": (80, 110, "door", (150, 100, 60), [], [], ["idle", "open", "close"]),
    "shelving": (90, 110, "shelf", (140, 96, 60), [], [], ["idle", "hover", "activation"]),
    "safe": (60, 80, "box", (90, 96, 104), [], [], ITEM_ANIMS),
    "cupboard": (70, 111, "box", (170, 120, 80), [], [], ITEM_ANIMS),
    "coffeemachine": (50, 70, "box", (60, 60, 66), [], [], ITEM_ANIMS),
    "stereo": (60, 51, "box", (40, 40, 48), [], [], ITEM_ANIMS),
    # The bar: a cabinet with bottles on top, and three seats beside it, each a worker on a break
    # drawn in two parts, as large as at his desk: his upper body with a cup, then his lap on a stool.
    "minibar": (36, 74, "bar_cabinet", (200, 200, 210), [], [], ["idle", "hover", "active"]),
    "minibar_pers1_up": (52, 58, "sitter", (70, 130, 90), [], [], ["idle", "worker1", "worker2"]),
    "minibar_pers1_down": (52, 22, "stool", (70, 130, 90), [], [], ["idle", "worker1", "worker2"]),
    "minibar_pers2_up": (52, 58, "sitter", (70, 130, 90), [], [], ["idle", "worker1", "worker2"]),
    "minibar_pers2_down": (52, 22, "stool", (70, 130, 90), [], [], ["idle", "worker1", "worker2"]),
    "worker_up": (80, 100, "person", (70, 130, 90), ["worker1", "worker2"], [],
                  ["idle", "idle_usual", "idle_done", "take_paper", "work_start", "work_action", "work_stop",
                   "sleep", "snore", "wake_up", "disruptive_action", "disruption_reaction", "conference_reaction",
                   "idle_distracted", "attention"]),
    "table": (140, 70, "table", (120, 84, 52), [], [], ["idle", "hover"]),
    # One segment of the bar; the game stacks up to ten, 6 pixels apart upwards, and tints them.
    "status_hp": (12, 5, "bar", (240, 240, 240), [], [], ["idle", "point", "on_blink_hp", "off_blink_hp"]),
    # A board shows the sign of what its worker makes: the skin is "spec_l" + kind + "t" + paper.
    "skill_board": (30, 38, "board", (230, 230, 240), ["spec_l1t1", "spec_l2t0", "spec_l3t0", "spec_l4t0"], [],
                    ["idle", "hover"]),
    "bubble": (30, 30, "bubble", (255, 255, 255), [], [],
               ["idle", "cloud", "right", "aggro", "multi_right"]),
    # The survival upgrade's "modern" plant beside the usual one.
    "plant": (40, 80, "plant", (60, 150, 70), ["classic", "modern"], [], ["idle"]),
    "conference": (150, 80, "table", (110, 110, 130), [], [], ITEM_ANIMS),
    "chair": (60, 70, "chair", (90, 60, 120), [], [], ["idle", "hover"]),
    "client": (60, 115, "person", (150, 90, 60), ["student", "lady", "tycoon"], [],
               ["idle", "idle_green", "idle_yellow", "idle_red", "idle_thinking", "presentation_reaction",
                "drink_coffee", "patience_content", "patience_angry", "gratitude", "scandal"]),
    "phone": (40, 40, "phone", (200, 40, 40), [], [], ["idle", "ring"]),
    "presentation": (120, 80, "board", (245, 245, 250), [], [], ITEM_ANIMS),
    "bin": (40, 60, "bin", (110, 120, 110), [], [], ["idle", "hover", "activation"]),
    "boss": (40, 90, "person", (50, 60, 110), ["man", "woman"], WALKER_ORIENTS,
             ["idle", "boss_idle_empty", "boss_idle_full", "boss_move_empty", "boss_move_full", "boss_phone",
              "boss_conference", "boss_drink", "boss_reproach"]),
    "secretary": (40, 90, "person", (170, 60, 110), [], WALKER_ORIENTS,
                  ["idle", "secretary_idle", "secretary_move_empty", "secretary_move_full",
                   "secretary_presentation"]),
    "engineer": (40, 120, "person", (60, 110, 170), [], WALKER_ORIENTS,
                 ["idle", "engineer_idle", "engineer_move", "engineer_repair"]),
    # What persons carry, one picture each; the boss has one held part, so a code plays as it is.
    "held_items": (20, 20, "held", (240, 220, 120), [], PERSON_ORIENTS,
                   ["idle", "coffe_cup", "papers", "money", "drink", "coffee", "0001", "0101", "0201", "0301", "0401"]),
    "cash": (30, 20, "coin", (240, 200, 60), [], [], ["idle", "on_cash", "on_penalty"]),
    "bonus": (30, 20, "coin", (120, 220, 250), [], [], ["idle", "on_bonus"]),
    "checkmark": (20, 20, "check", (30, 160, 40), [], [], ["idle"]),
    # The status indicators' art: it loops whatever its name (see mode_of).
    # The back of ten segments; the phone's ("phone" skin) holds five.
    "status_hp_back": (16, 64, "bar", (40, 40, 48), ["phone"], [], ["idle"]),
    "status_bubble": (40, 36, "bubble", (255, 255, 255), [], [], ["idle", "cloud", "right", "aggro", "multi_right"]),
    # One icon each: a client ready to order, a scandal, a break's time left, sleep, snoring,
    # wanting a coffee, and the caller on the phone.
    "status_type": (24, 24, "icon", (90, 160, 230), [], [],
                    ["idle", "ready", "scandal", "timer", "timer00", "timer01", "timer02", "timer03", "timer04",
                     "student", "lady", "tycoon", "sleep", "snore", "coffee"]),
    # Both halves of an order code: the paper ("01" + paper) and the sign of the work on it
    # (kind + "00"), one picture each.
    "status_production": (20, 20, "product", (240, 200, 120), [], [],
                          ["idle", "0000", "0101", "0102", "0103", "0104", "0200", "0300", "0400"]),
}

SKIN_SHADES = {"man": 1.0, "woman": 1.35, "student": 0.8, "lady": 1.25, "tycoon": 0.55, "worker1": 1.0,
               "worker2": 1.3, "modern": 1.45}

# Parts whose every animation has a picture of its own, one row each; a bar seat plays its
# worker's skin, so it takes that skin's shade.
ANIM_ROWS = {"held_items", "status_production", "status_type", "minibar_pers1_up", "minibar_pers1_down",
             "minibar_pers2_up", "minibar_pers2_down"}

# The signs of the kinds of work: copies (the paper itself), charts, stamps, letters.
SIGN_COLOURS = {"2": (40, 90, 200), "3": (30, 150, 60), "4": (210, 40, 40)}
# Paper by its number: white, yellow, pink, blue.
PAPER_COLOURS = {"1": (252, 252, 248), "2": (252, 240, 170), "3": (250, 205, 215), "4": (200, 225, 250)}

def clamp(v):
    return max(0, min(255, int(v)))


def shade(colour, f):
    return tuple(clamp(c * f) for c in colour)


def soft(d):
    """Coverage of a shape edge: d < 0 inside, in pixels."""
    return max(0.0, min(1.0, 0.5 - d))


def ellipse_d(x, y, cx, cy, rx, ry):
    """Approximate signed pixel distance to an ellipse's edge."""
    n = math.hypot((x - cx) / rx, (y - cy) / ry)
    return (n - 1.0) * min(rx, ry)


def rect_d(x, y, x0, y0, x1, y1):
    return max(x0 - x, x - x1, y0 - y, y - y1)


def over(dst, src, a):
    """src with coverage a over dst (r, g, b, alpha 0..1)."""
    if a <= 0:
        return dst
    r, g, b, da = dst
    out_a = a + da * (1 - a)
    if out_a <= 0:
        return (0, 0, 0, 0.0)
    mix = [(s * a + d * da * (1 - a)) / out_a for s, d in zip(src, (r, g, b))]
    return (mix[0], mix[1], mix[2], out_a)


def round_rect_d(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rectangle with corners rounded by r."""
    qx = max(x0 + r - x, x - (x1 - r), 0.0)
    qy = max(y0 + r - y, y - (y1 - r), 0.0)
    if qx > 0 and qy > 0:
        return math.hypot(qx, qy) - r
    return rect_d(x, y, x0, y0, x1, y1)


def sheet(c, px, py, x0, y0, x1, y1, paper, lines):
    """A sheet of paper with a dark edge and, written on, grey lines."""
    c = over(c, (70, 70, 80), soft(rect_d(px, py, x0, y0, x1, y1)))
    c = over(c, paper, soft(rect_d(px, py, x0 + 1, y0 + 1, x1 - 1, y1 - 1)))
    if lines:
        step = max(3.0, (y1 - y0 - 4) / 4)
        for i in range(4):
            ly = y0 + 3 + i * step
            if ly + 1 > y1 - 2:
                break
            right = x1 - 3 if i < 3 else x0 + (x1 - x0) * 0.6
            c = over(c, (110, 110, 120), soft(rect_d(px, py, x0 + 3, ly, right, ly + 1)))
    return c


def sign(c, px, py, kind, cx, cy, r):
    """The sign of a kind of work in a disc of radius r: a blue chart, a green stamp, a red letter."""
    colour = SIGN_COLOURS.get(kind)
    if colour is None:
        return over(c, (150, 150, 150), 0.6 * soft(abs(math.hypot(px - cx, py - cy) - r * 0.7) - 1.0))
    white = (255, 255, 255)
    if kind == "2":
        c = over(c, (255, 255, 255), soft(round_rect_d(px, py, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1, r * 0.4)))
        c = over(c, colour, soft(round_rect_d(px, py, cx - r, cy - r, cx + r, cy + r, r * 0.35)))
        bar = r * 0.36
        for i, height in enumerate((0.5, 0.95, 1.4)):
            bx = cx - r * 0.65 + i * r * 0.5
            c = over(c, white, soft(rect_d(px, py, bx, cy + r * 0.65 - height * r, bx + bar, cy + r * 0.65)))
        return c
    if kind == "3":
        d = math.hypot(px - cx, py - cy)
        c = over(c, white, soft(d - r - 1))
        c = over(c, colour, soft(d - r))
        c = over(c, white, soft(abs(d - r * 0.62) - max(0.7, r * 0.1)))
        return over(c, white, soft(d - r * 0.25))
    c = over(c, white, soft(rect_d(px, py, cx - r - 1, cy - r * 0.72 - 1, cx + r + 1, cy + r * 0.72 + 1)))
    c = over(c, colour, soft(rect_d(px, py, cx - r, cy - r * 0.72, cx + r, cy + r * 0.72)))
    # The flap: a white V from the top corners to the middle.
    t = (px - cx) / r
    flap_y = cy - r * 0.72 + (1 - abs(t)) * r * 0.75
    if abs(t) <= 1:
        c = over(c, white, soft(abs(py - flap_y) - max(0.6, r * 0.09)))
    return c


def icon(c, px, py, w, h, look):
    """The status bubble's icons."""
    cx, cy, r = w / 2, h / 2, w / 2 - 1
    d = math.hypot(px - cx, py - cy)
    white = (255, 255, 255)
    if look in ("ready", "scandal"):
        c = over(c, (40, 150, 60) if look == "ready" else (210, 40, 40), soft(d - r))
        if look == "ready":
            # "!": the client has decided what to order.
            c = over(c, white, soft(rect_d(px, py, cx - 1.5, cy - 7, cx + 1.5, cy + 2)))
            return over(c, white, soft(math.hypot(px - cx, py - (cy + 5.5)) - 1.8))
        # A zigzag of anger.
        t = (px - (cx - 7)) / 14
        if 0 <= t <= 1:
            zig = cy + (4 if int(t * 4) % 2 == 0 else -4) * (1 - 2 * abs((t * 4) % 1 - 0.5))
            c = over(c, white, soft(abs(py - zig) - 1.4))
        return c
    if look.startswith("timer"):
        # The break's time left as a slice of the clock: 00 nearly all, 04 a sliver.
        left = {"timer00": 0.9, "timer01": 0.7, "timer02": 0.5, "timer03": 0.3, "timer04": 0.1}.get(look, 1.0)
        c = over(c, (60, 60, 70), soft(d - r))
        c = over(c, white, soft(d - r + 1.5))
        angle = (math.atan2(px - cx, -(py - cy)) / (2 * math.pi)) % 1.0
        if angle <= left:
            c = over(c, (240, 170, 40), soft(d - r + 3))
        return over(c, (60, 60, 70), soft(math.hypot(px - cx, py - cy) - 1.5))
    if look in ("sleep", "snore"):
        colour = (60, 90, 200) if look == "sleep" else (200, 60, 60)
        sizes = ((6, 15, 4), (14, 8, 6)) if look == "sleep" else ((4, 16, 5), (13, 6, 8))
        for zx, zy, zs in sizes:
            # A "Z": top and bottom bars and the diagonal between them.
            c = over(c, colour, soft(rect_d(px, py, zx, zy, zx + zs, zy + 1.2)))
            c = over(c, colour, soft(rect_d(px, py, zx, zy + zs - 1.2, zx + zs, zy + zs)))
            if zx <= px <= zx + zs:
                c = over(c, colour, soft(abs(py - (zy + zs - (px - zx))) - 0.9))
        return c
    if look == "coffee":
        c = over(c, white, soft(rect_d(px, py, 5, 8, 16, 20)))
        c = over(c, white, soft(abs(math.hypot(px - 17, py - 13) - 3) - 1))
        c = over(c, (110, 60, 30), soft(rect_d(px, py, 6, 9, 15, 11)))
        for sx in (8, 12):
            c = over(c, (150, 150, 150), soft(abs(px - sx - math.sin(py * 0.9)) - 0.7) * (1 if 2 <= py <= 6 else 0))
        return c
    if look in ("student", "lady", "tycoon"):
        # The caller: the client's own colours, head and shoulders.
        body = shade((150, 90, 60), {"student": 0.8, "lady": 1.25, "tycoon": 0.55}[look])
        c = over(c, body, soft(ellipse_d(px, py, cx, h - 2, 9, 7)))
        return over(c, (236, 196, 160), soft(math.hypot(px - cx, py - 9) - 5))
    return c


def sky(c, px, py, w, h, top, frame):
    """The window's view for one time of day, in its frame."""
    glass = soft(rect_d(px, py, 6, 6, w - 6, h - 6))
    c = over(c, (240, 240, 245), soft(round_rect_d(px, py, 0, 0, w, h, 4)) * (1.0 - glass))
    t = max(0.0, min(1.0, (py - 6) / (h - 12)))
    bottom = {(40, 60, 120): (230, 140, 90), (240, 170, 120): (250, 220, 160), (120, 190, 240): (190, 225, 250)}[top]
    c = over(c, tuple(a + (b - a) * t for a, b in zip(top, bottom)), glass)
    if top == (40, 60, 120):
        for sx, sy in ((30, 18), (58, 30), (104, 14), (126, 34), (90, 24)):
            c = over(c, (250, 250, 220), glass * soft(math.hypot(px - sx, py - sy) - 1.0))
    elif top == (240, 170, 120):
        c = over(c, (255, 230, 120), glass * soft(math.hypot(px - 40, py - (h - 14)) - 12))
    else:
        c = over(c, (255, 240, 130), glass * soft(math.hypot(px - 120, py - 22) - 10))
        for cx, r in ((46, 9), (58, 11), (70, 8)):
            c = over(c, (255, 255, 255), glass * soft(math.hypot(px - cx, py - 40) - r))
    if abs(px - w / 2) < 2 and 6 < py < h - 6:
        c = over(c, (240, 240, 245), 1.0)
    return c


def pixel(shape, colour, w, h, frame, facing, x, y, look=""):
    """One pixel of a frame: (r, g, b, a) with alpha 0..1; look is the skin, or the
    animation of a part whose animations have pictures of their own."""
    px, py = x + 0.5, y + 0.5
    c = (0, 0, 0, 0.0)
    blink = frame % 2 == 1
    if shape == "sky":
        return sky(c, px, py, w, h, colour, frame)
    if shape == "product":
        if len(look) == 4 and look.startswith("01"):
            return sheet(c, px, py, 2, 1, w - 3, h - 1, PAPER_COLOURS.get(look[3], PAPER_COLOURS["1"]), True)
        if len(look) == 4 and look.endswith("00"):
            return sign(c, px, py, look[1], w / 2, h / 2, w / 2 - 2)
    if shape == "held":
        if len(look) == 4 and look.startswith("0"):
            c = sheet(c, px, py, 1, 1, w - 6, h - 2, PAPER_COLOURS.get(look[3], PAPER_COLOURS["1"]), look[1] != "0")
            return sign(c, px, py, look[1], w - 6, h - 6, 5.5) if look[1] in SIGN_COLOURS else c
        if look == "money":
            c = over(c, (40, 120, 50), soft(rect_d(px, py, 1, 5, w - 1, h - 5)))
            c = over(c, (150, 210, 140), soft(rect_d(px, py, 3, 7, w - 3, h - 7)))
            return over(c, (40, 120, 50), soft(math.hypot(px - w / 2, py - h / 2) - 2.5))
        if look in ("coffe_cup", "coffee", "drink"):
            cup = (250, 250, 250) if look != "drink" else (180, 220, 240)
            c = over(c, cup, soft(rect_d(px, py, 4, 6, w - 6, h - 2)))
            c = over(c, cup, soft(abs(math.hypot(px - (w - 5), py - 11) - 3) - 1))
            return over(c, (110, 60, 30) if look != "drink" else (230, 120, 60), soft(rect_d(px, py, 5, 7, w - 7, 9)))
        shape = "parcel"
    if shape == "icon":
        return icon(c, px, py, w, h, look)
    if shape == "board" and look.startswith("spec_l") and len(look) == 9:
        c = over(c, (0, 0, 0), 0.35 * soft(rect_d(px, py, 3, h - 6, w - 1, h)))
        c = over(c, (90, 70, 50), soft(rect_d(px, py, 1, 1, w - 4, h - 5)))
        c = over(c, colour, soft(rect_d(px, py, 3, 3, w - 6, h - 7)))
        cx, cy = (w - 3) / 2, (h - 4) / 2
        if look[6] == "1":
            return sheet(c, px, py, cx - 8, cy - 11, cx + 8, cy + 11, PAPER_COLOURS.get(look[8], PAPER_COLOURS["1"]), True)
        return sign(c, px, py, look[6], cx, cy, 9.5)
    if shape == "wall":
        c = over(c, shade(colour, 1.0 - 0.15 * (y / h)), 1.0)
        if y > h - 10:
            c = over(c, (120, 100, 80), 1.0)
        return c
    if shape == "window":
        glass = soft(rect_d(px, py, 6, 6, w - 6, h - 6))
        c = over(c, (240, 240, 245), 1.0 - glass)
        c = over(c, shade(colour, 0.9 + 0.1 * math.sin(frame + x * 0.05)), 0.55 * glass)
        if abs(px - w / 2) < 2 and 6 < py < h - 6:
            c = over(c, (240, 240, 245), 1.0)
        return c
    if shape == "bar_cabinet":
        for i, bottle in enumerate(((40, 120, 60), (150, 60, 40), (200, 170, 80))):
            bx = 6 + i * (w - 12) / 3
            c = over(c, bottle, soft(round_rect_d(px, py, bx, 6, bx + 6, 18, 2)))
            c = over(c, bottle, soft(rect_d(px, py, bx + 2, 1, bx + 4, 7)))
        shape, py = "box", py - 16
        h -= 16
    if shape in ("box", "board", "bin", "phone"):
        shadow = soft(rect_d(px, py, 3, h - 6, w - 1, h))
        c = over(c, (0, 0, 0), 0.35 * shadow)
        body = soft(rect_d(px, py, 1, 1, w - 4, h - 5))
        c = over(c, colour, body)
        if rect_d(px, py, 4, 4, w - 7, h - 8) > 0 and body > 0:
            c = over(c, shade(colour, 0.7), body)
        light = soft(ellipse_d(px, py, w - 10, 8, 2.5, 2.5))
        c = over(c, (60, 230, 60) if blink else (230, 60, 60), light)
        return c
    if shape == "door":
        c = over(c, (0, 0, 0), 0.3 * soft(rect_d(px, py, 4, 4, w, h)))
        c = over(c, (90, 70, 50), soft(rect_d(px, py, 0, 0, w - 4.5, h)))
        open_w = (w - 12.5) * (1.0 - 0.25 * frame)
        c = over(c, colour, soft(rect_d(px, py, 4, 4, 4 + open_w, h)))
        c = over(c, (230, 200, 90), soft(ellipse_d(px, py, 4 + open_w - 8, h * 0.55, 3, 3)))
        return c
    if shape == "shelf":
        c = over(c, (0, 0, 0), 0.3 * soft(rect_d(px, py, 4, 4, w, h)))
        c = over(c, colour, soft(rect_d(px, py, 0, 0, w - 4.5, h - 4.5)))
        for i in range(4):
            top = 6 + i * (h - 12) / 4
            if rect_d(px, py, 5, top, w - 9, top + (h - 12) / 4 - 4) <= 0:
                c = over(c, ((80 + 40 * ((x // 8 + i) % 3)), 70, 160 - 30 * i), 1.0)
        return c
    if shape in ("table", "chair"):
        top = h * 0.45 if shape == "table" else h * 0.5
        c = over(c, (0, 0, 0), 0.3 * soft(ellipse_d(px, py, w / 2, h - 5, w / 2 - 2, 4)))
        c = over(c, colour, soft(rect_d(px, py, 2, top - 10, w - 2, top + 6)))
        for leg in (6, w - 8):
            c = over(c, shade(colour, 0.6), soft(rect_d(px, py, leg, top, leg + 3, h - 3)))
        if shape == "chair":
            c = over(c, shade(colour, 1.2), soft(rect_d(px, py, 8, 2, w - 8, top - 10)))
        elif blink:
            c = over(c, (255, 255, 255), 0.8 * soft(rect_d(px, py, w * 0.3, top - 16, w * 0.45, top - 10)))
        return c
    if shape == "person":
        bob = (1, 0, 1, 2)[frame % 4]
        c = over(c, (0, 0, 0), 0.3 * soft(ellipse_d(px, py, w / 2, h - 4, w / 2 - 2, 3.5)))
        body = soft(ellipse_d(px, py, w / 2, h * 0.6 - bob, w / 2 - 3, h * 0.36))
        c = over(c, colour, body)
        head = soft(ellipse_d(px, py, w / 2, h * 0.16 - bob, w * 0.22, w * 0.22))
        c = over(c, (236, 196, 160), head)
        if facing != 0:
            eye = soft(ellipse_d(px, py, w / 2 + facing * w * 0.1, h * 0.15 - bob, 1.5, 1.5))
            c = over(c, (30, 30, 30), eye)
        else:
            c = over(c, (70, 50, 30), soft(ellipse_d(px, py, w / 2, h * 0.12 - bob, w * 0.22, w * 0.12)))
        return c
    if shape == "sitter":
        # Seen from the side, facing the cabinet on his right; his head is the one at his desk.
        bob = (0, 0, 1, 1)[frame % 4]
        head_r = PARTS["worker_up"][0] * 0.22
        hx, hy = w * 0.42, head_r + 1 + bob
        c = over(c, colour, soft(ellipse_d(px, py, w * 0.4, h - 17, w * 0.38, 18)))
        c = over(c, shade(colour, 0.85), soft(round_rect_d(px, py, w * 0.4, h - 22, w - 7, h - 16, 3)))
        cup = (250, 250, 250)
        c = over(c, cup, soft(rect_d(px, py, w - 9, h - 30 - bob, w - 2, h - 19 - bob)))
        c = over(c, (110, 60, 30), soft(rect_d(px, py, w - 8, h - 29 - bob, w - 3, h - 27 - bob)))
        c = over(c, (236, 196, 160), soft(math.hypot(px - hx, py - hy) - head_r))
        return over(c, (30, 30, 30), soft(ellipse_d(px, py, hx + head_r * 0.5, hy - 2, 1.5, 1.5)))
    if shape == "stool":
        seat = (90, 60, 120)
        c = over(c, (0, 0, 0), 0.3 * soft(ellipse_d(px, py, w * 0.4, h - 2, w * 0.3, 2)))
        c = over(c, shade(seat, 0.6), soft(rect_d(px, py, w * 0.4 - 2, 6, w * 0.4 + 2, h - 2)))
        c = over(c, shade(seat, 0.6), soft(rect_d(px, py, w * 0.22, h - 8, w * 0.58, h - 7)))
        c = over(c, seat, soft(round_rect_d(px, py, w * 0.12, 5, w * 0.68, 10, 2)))
        # His lap, towards the cabinet.
        return over(c, shade(colour, 0.7), soft(round_rect_d(px, py, w * 0.1, 0, w - 8, 6, 3)))
    if shape == "plant":
        c = over(c, (150, 80, 50), soft(rect_d(px, py, w * 0.25, h * 0.7, w * 0.75, h - 1)))
        sway = 1.5 * math.sin(frame * math.pi / 2)
        c = over(c, colour, soft(ellipse_d(px, py, w / 2 + sway, h * 0.4, w / 2 - 2, h * 0.32)))
        return c
    if shape == "bar":
        if look == "phone":
            # Five segments 6 pixels apart and a margin: the top of the picture.
            h = 36
            if y >= h:
                return c
        c = over(c, (30, 30, 30), 0.6 * soft(rect_d(px, py, 0, 0, w, h)))
        c = over(c, colour, soft(rect_d(px, py, 1, 1, w - 1, h - 1)))
        return c
    if shape == "bubble":
        c = over(c, colour, 0.9 * soft(ellipse_d(px, py, w / 2, h / 2, w / 2 - 1, h / 2 - 1)))
        c = over(c, (60, 60, 60), soft(ellipse_d(px, py, w / 2 - 6 + 6 * (frame % 3), h / 2, 2, 2)))
        return c
    if shape == "parcel":
        c = over(c, colour, soft(rect_d(px, py, 2.3, 2.3 + frame % 2, w - 2.3, h - 2.3)))
        return c
    if shape == "coin":
        c = over(c, colour, soft(ellipse_d(px, py, w / 2, h / 2, (w / 2 - 1) * (1.0 - 0.2 * frame), h / 2 - 1)))
        return c
    if shape == "check":
        # A tick on a white disc, readable on the floor and on the furniture.
        r = w / 2 - 0.5
        d = math.hypot(px - w / 2, py - h / 2)
        c = over(c, (40, 40, 40), soft(d - r))
        c = over(c, (255, 255, 255), soft(d - r + 1.2))
        d1 = abs((py - 0.55 * h) - (px - 0.25 * w)) / 1.4 if 0.2 * w <= px <= 0.45 * w else 99
        d2 = abs((py - 0.7 * h) + (px - 0.42 * w) * 1.3) / 1.64 if 0.4 * w <= px <= 0.8 * w else 99
        return over(c, colour, soft(min(d1, d2) - 1.3))
    return c


def frame_row(shape, colour, w, h, frames, facing, look=""):
    """A row of frames as a list of rows of (r, g, b, a) bytes."""
    rows = []
    for y in range(h):
        row = []
        for f in range(frames):
            for x in range(w):
                r, g, b, a = pixel(shape, colour, w, h, f, facing, x, y, look)
                row.append((clamp(r), clamp(g), clamp(b), clamp(a * 255)))
        rows.append(row)
    return rows


def mode_of(anim):
    if anim in BACKWARD:
        return "backward", ONCE_FPS
    if anim in ONCE:
        return "once", ONCE_FPS
    if "move" in anim:
        return "loop", MOVE_FPS
    return "loop", IDLE_FPS


def build(name, part, base):
    w, h, shape, colour, skins, orients, anims = part
    # Still pictures need one frame.
    frames = 1 if shape in ("wall", "sky", "product", "held", "check", "icon") else FRAMES
    # Specific looks first, then without skin; shorter animation names first,
    # so that "idle" is not found inside "idle_done".
    ordered = sorted(anims, key=lambda a: (len(a), a))
    by_anim = name in ANIM_ROWS
    looks = ordered if by_anim else skins or [""]
    facings = [("tr", 0), ("br", 1)] if orients else [("", 1)]
    # Picture: one row per look, one group of frames per facing.
    rows = []
    for look in looks:
        tone = shade(colour, SKIN_SHADES.get(look, 1.0))
        groups = [frame_row(shape, tone, w, h, frames, facing, look) for _, facing in facings]
        for y in range(h):
            rows.append([p for g in groups for p in g[y]])
    width = w * frames * len(facings)
    height = h * len(looks)
    picture = "images\\office\\" + name + ".png"

    def frames_at(look_index, facing_index):
        return [(w * (facing_index * frames + f), h * look_index, w, h) for f in range(frames)]

    lines = ["# Generated by tools/gen_office_anims.py: the part \"%s\"." % name, "base 0x%08X" % base]
    for skin in skins + [""]:
        look_index = looks.index(skin) if skin in looks else 0
        for orient in orients + [""]:
            facing_index = 0 if orient in ("t", "tr", "tl") else len(facings) - 1
            for anim in ordered:
                if by_anim:
                    look_index = looks.index(anim)
                mode, fps = ("loop", IDLE_FPS) if name.startswith("status_") else mode_of(anim)
                lines += ["", "anim " + name + skin + orient + anim, "  image " + picture, "  box %d" % w,
                          "  mode " + mode, "  fps %d" % fps]
                for (fx, fy, fw, fh) in frames_at(look_index, facing_index):
                    lines.append("  frame %d %d %d %d 0 0" % (fx, fy, fw, fh))
    return picture, width, height, rows, "\n".join(lines) + "\n"


# The parts of the first sample office, whose bases follow their sorted order.
FIRST_PARTS = sorted([
    "bin", "bonus", "boss", "bubble", "cash", "chair", "checkmark", "client", "coffeemachine", "conditioner",
    "conference", "cupboard", "door", "engineer", "held_items", "minibar", "phone", "plant", "presentation",
    "safe", "secretary", "shelving", "skill_board", "status_hp", "stereo", "table", "wall", "window", "worker",
])


def base_of(name):
    """A different, non-zero base per file, so that loading relocates; a part
    added later takes one from its name and moves no other file's."""
    if name in FIRST_PARTS:
        return 0x00400000 + 0x10000 * FIRST_PARTS.index(name)
    return 0x00400000 + 0x10000 * (64 + zlib.crc32(name.encode()) % 4096)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "data")
    for name, part in sorted(PARTS.items()):
        picture, width, height, rows, text = build(name, part, base_of(name))
        write_png(os.path.join(root, *picture.split("\\")), width, height, lambda x, y: rows[y][x])
        desc = os.path.join(here, "anm", name + ".txt")
        os.makedirs(os.path.dirname(desc), exist_ok=True)
        with open(desc, "w") as f:
            f.write(text)
        os.makedirs(os.path.join(root, "anm"), exist_ok=True)
        subprocess.run([tool, "write", desc, os.path.join(root, "anm", name + ".anm")], check=True)


if __name__ == "__main__":
    main()
