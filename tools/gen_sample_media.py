#!/usr/bin/env python3
"""Generates the sample game folder's plain pictures and sounds (no external assets).

Usage: tools/gen_sample_media.py [data-dir]   (default: data/ beside this script's parent)
Output is deterministic, so regenerating gives identical files.
"""
import math
import os
import struct
import sys
import wave
import zlib


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def write_wav(path, seconds, sample, rate=22050):
    """sample(t) -> float in -1..1."""
    n = int(seconds * rate)
    frames = bytearray()
    for i in range(n):
        v = max(-1.0, min(1.0, sample(i / rate)))
        frames.extend(struct.pack("<h", int(v * 32000)))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def envelope(t, length):
    attack = min(1.0, t / 0.005)
    return attack * max(0.0, 1.0 - t / length)


def tick(size):
    """A green tick (a yes) in a square of the size, with soft edges."""
    def f(x, y):
        px, py = (x + 0.5) / size, (y + 0.5) / size
        # Two strokes: down to the bottom at (0.4, 0.8), then up to the top right.
        d1 = abs((py - 0.55) - (px - 0.15)) / 1.414 if 0.08 <= px <= 0.42 else 9
        d2 = abs((py - 0.82) + (px - 0.4) * 1.45) / 1.76 if 0.38 <= px <= 0.92 else 9
        a = max(0.0, min(1.0, (0.09 - min(d1, d2)) * size + 0.5))
        return (30, 140, 30, int(255 * a))
    return f


def frame_pixel(width, height, edge, fill, border=2):
    """A filled rectangle with a darker border."""
    def f(x, y):
        if x < border or y < border or x >= width - border or y >= height - border:
            return edge
        return fill
    return f


def ui_pictures(root):
    """The control kit's sample pictures (cfg\\ui.xml names them through cfg\\textures.xml)."""
    img = lambda name: os.path.join(root, "images", "ui", name + ".png")

    # Cursors: an arrow, a pointing block and an I-beam, 32 x 32 with alpha.
    def arrow(x, y):
        if y < 20 and x <= y // 2 + 1:
            edge = x == 0 or x == y // 2 + 1 or y == 19
            return (20, 20, 20, 255) if edge else (250, 250, 250, 255)
        return (0, 0, 0, 0)

    def hand(x, y):
        if 6 <= x < 12 and y < 12 or 4 <= x < 20 and 12 <= y < 24:
            edge = x in (4, 6, 11, 19) or y in (0, 23)
            return (20, 20, 20, 255) if edge else (255, 220, 170, 255)
        return (0, 0, 0, 0)

    def ibeam(x, y):
        if (7 <= x <= 9 and 2 <= y <= 22) or (4 <= x <= 12 and y in (2, 3, 21, 22)):
            return (10, 10, 10, 255)
        return (0, 0, 0, 0)

    write_png(img("cursor_normal"), 32, 32, arrow)
    write_png(img("cursor_active"), 32, 32, hand)
    write_png(img("cursor_text"), 32, 32, ibeam)

    write_png(img("panel"), 400, 300, frame_pixel(400, 300, (60, 50, 40, 255), (235, 225, 200, 240), 4))
    write_png(img("inner"), 140, 100, frame_pixel(140, 100, (40, 70, 40, 255), (200, 230, 200, 255)))
    write_png(img("button_over"), 160, 40, frame_pixel(160, 40, (40, 60, 110, 255), (110, 150, 230, 240)))
    write_png(img("button_down"), 160, 40, frame_pixel(160, 40, (30, 40, 80, 255), (50, 80, 150, 240)))
    write_png(img("button_disabled"), 160, 40, frame_pixel(160, 40, (90, 90, 90, 255), (150, 150, 150, 200)))
    write_png(img("tutorial"), 220, 72, frame_pixel(220, 72, (120, 100, 20, 255), (255, 240, 170, 245)))
    write_png(img("edit"), 160, 24, frame_pixel(160, 24, (60, 60, 60, 255), (255, 255, 255, 255), 1))
    write_png(img("list"), 200, 100, frame_pixel(200, 100, (60, 60, 60, 255), (250, 250, 245, 255), 1))
    write_png(img("check"), 12, 12, tick(12))
    write_png(img("bar_fill"), 10, 12, frame_pixel(10, 12, (20, 90, 20, 255), (60, 190, 60, 255), 1))
    write_png(img("bar_empty"), 10, 12, frame_pixel(10, 12, (90, 90, 90, 255), (200, 200, 200, 255), 1))
    for name, up in (("scroll_up", True), ("scroll_down", False)):
        def tri(x, y, up=up):
            yy = y if up else 15 - y
            inside = 3 <= yy <= 12 and abs(x - 7.5) <= (yy - 3) * 0.5 + 0.5
            return (40, 40, 40, 255) if inside else (210, 210, 210, 255)
        write_png(img(name), 16, 16, tri)
    write_png(img("scroll_slider"), 16, 16, frame_pixel(16, 16, (60, 60, 60, 255), (150, 150, 170, 255)))
    write_png(img("checkbox"), 20, 20, frame_pixel(20, 20, (40, 40, 40, 255), (255, 255, 255, 255)))
    write_png(img("checkbox_on"), 20, 20,
              lambda x, y: (40, 40, 40, 255) if x < 2 or y < 2 or x >= 18 or y >= 18
              else (30, 140, 30, 255) if 5 <= x < 15 and 5 <= y < 15 else (255, 255, 255, 255))
    write_png(img("slider_back"), 150, 16, frame_pixel(150, 16, (70, 70, 70, 255), (180, 180, 180, 255)))
    write_png(img("slider_thumb"), 12, 16, frame_pixel(12, 16, (30, 30, 30, 255), (240, 200, 60, 255)))

    # A clock whose hand turns a quarter per frame: "+0clock" to "+3clock".
    for frame in range(4):
        angle = frame * math.pi / 2
        def clock(x, y, angle=angle):
            dx, dy = x - 15.5, y - 15.5
            r = math.hypot(dx, dy)
            if r > 15:
                return (0, 0, 0, 0)
            if r > 13:
                return (40, 40, 40, 255)
            # Distance from the hand's segment.
            hx, hy = math.sin(angle), -math.cos(angle)
            along = dx * hx + dy * hy
            across = abs(dx * hy - dy * hx)
            if 0 <= along <= 11 and across < 1.5:
                return (180, 30, 30, 255)
            return (250, 250, 250, 255)
        write_png(img("clock%d" % frame), 32, 32, clock)


# Flat colours of the full-screen backdrops: a screenshot tells the screens
# apart by any pixel that no control covers.
BACKDROPS = {
    "menu_bkg": (40, 70, 120),
    "career_bkg": (90, 60, 120),
    "survival_bkg": (120, 50, 50),
    "hiscores_bkg": (40, 100, 80),
    "help_bkg": (100, 100, 40),
    "load_bkg": (70, 45, 20),
    "splash1": (200, 120, 40),
    "splash2": (40, 140, 180),
    "briefing_bkg": (60, 90, 60),
    "debriefing_bkg": (50, 50, 90),
}

# The comics pages, one flat colour a page; the woman's pages a shade apart.
COMIX = {1: (150, 40, 110), 2: (30, 110, 110), 3: (110, 110, 30), 4: (30, 60, 150), 5: (150, 80, 20)}


def screen_pictures(root):
    """The menu screens' pictures (cfg\\ui.xml names them through cfg\\textures.xml)."""
    img = lambda name: os.path.join(root, "images", "screens", name + ".png")
    flat = lambda rgb: (lambda x, y: rgb + (255,))

    for name, rgb in BACKDROPS.items():
        write_png(img(name), 800, 600, flat(rgb))

    panels = {
        "panel_menu": (200, 330, (50, 40, 30), (230, 215, 180)),
        "panel_profile": (460, 170, (50, 40, 30), (240, 230, 200)),
        "panel_select": (520, 230, (50, 40, 30), (225, 225, 210)),
        "panel_create": (460, 244, (50, 40, 30), (215, 230, 215)),
        "panel_options": (400, 300, (40, 40, 70), (210, 215, 240)),
        "panel_box": (400, 200, (70, 40, 40), (245, 225, 215)),
        "panel_escape": (260, 340, (40, 40, 40), (200, 200, 200)),
        "page_scores": (500, 440, (30, 60, 50), (220, 240, 230)),
        "help_page1": (600, 420, (60, 60, 20), (250, 245, 200)),
        "help_page2": (600, 420, (60, 60, 20), (230, 250, 200)),
        "help_page3": (600, 420, (60, 60, 20), (250, 220, 200)),
        "line": (460, 32, (120, 150, 120), (250, 250, 240)),
        "line_on": (460, 32, (160, 120, 20), (255, 230, 140)),
        "nameplate": (200, 40, (30, 30, 30), (250, 250, 250)),
    }
    for name, (w, h, edge, fill) in panels.items():
        write_png(img(name), w, h, frame_pixel(w, h, edge + (255,), fill + (255,), 3))

    # The boss of a profile: a head over a body, blue for the man, red for the woman.
    def boss(width, height, body):
        def f(x, y):
            cx = width / 2
            if math.hypot(x - cx, y - height * 0.25) < width * 0.18:
                return (240, 200, 160, 255)
            if y > height * 0.45 and abs(x - cx) < width * 0.3 + (y - height * 0.45) * 0.2:
                return body + (255,)
            return (0, 0, 0, 0)
        return f
    for size, prefix in (((100, 120), "boss_big"), ((80, 100), "boss_small")):
        write_png(img(prefix + "_man"), size[0], size[1], boss(size[0], size[1], (50, 80, 160)))
        write_png(img(prefix + "_woman"), size[0], size[1], boss(size[0], size[1], (170, 50, 80)))

    # Calendar days: next to play, played, beaten the expert goal, weekend.
    days = {
        "day_work": ((120, 90, 10), (255, 220, 90)),
        "day_normal": ((90, 90, 90), (245, 245, 245)),
        "day_expert": ((20, 100, 30), (120, 220, 120)),
        "day_weekend": ((120, 120, 120), (190, 190, 200)),
    }
    for name, (edge, fill) in days.items():
        write_png(img(name), 48, 34, frame_pixel(48, 34, edge + (255,), fill + (255,), 2))
    # The selected day: placed 16 and 14 pixels up and left of its 48 x 34 cell, a frame round it.
    write_png(img("day_mark"), 80, 62,
              lambda x, y: (220, 30, 30, 255) if 12 <= x < 68 and 10 <= y < 52 and not (15 <= x < 65 and 13 <= y < 49)
              else (0, 0, 0, 0))
    write_png(img("month"), 140, 60, frame_pixel(140, 60, (40, 20, 60, 255), (200, 180, 230, 255), 3))
    write_png(img("month_off"), 140, 60, frame_pixel(140, 60, (60, 60, 60, 255), (150, 150, 150, 255), 3))

    for k, rgb in enumerate(((200, 160, 60), (90, 170, 200), (170, 110, 200)), 1):
        write_png(img("survival_month%d" % k), 160, 120, frame_pixel(160, 120, (30, 30, 30, 255), rgb + (255,), 4))
    write_png(img("survival_month_off"), 160, 120, frame_pixel(160, 120, (60, 60, 60, 255), (140, 140, 140, 255), 4))
    write_png(img("check_big"), 32, 32, tick(32))

    # Message box icons, one colour per question.
    icons = {"delcareer": (200, 60, 60), "restlvl": (220, 160, 40), "exitmenu": (60, 120, 200),
             "quit": (120, 60, 160), "delprof": (200, 80, 140)}
    for key, rgb in icons.items():
        def icon(x, y, rgb=rgb):
            d = math.hypot(x - 31.5, y - 31.5)
            if d > 31:
                return (0, 0, 0, 0)
            if 12 <= x <= 51 and 28 <= y <= 35 or 28 <= x <= 35 and 12 <= y <= 51 and key == "quit":
                return (255, 255, 255, 255)
            return rgb + (255,)
        write_png(img("icon_" + key), 64, 64, icon)


# The career calendar's months: their lengths, and where day 1 falls (a
# day's cell is its day of the month plus the offset, seven to a row).
MONTH_DAYS = (31, 30, 31)
MONTH_OFFSETS = (3, -1, 1)

# Digits three pixels wide and five high, one string of rows each.
DIGITS = {
    "0": ("111", "101", "101", "101", "111"), "1": ("010", "110", "010", "010", "111"),
    "2": ("111", "001", "111", "100", "111"), "3": ("111", "001", "111", "001", "111"),
    "4": ("101", "101", "111", "001", "001"), "5": ("111", "100", "111", "001", "111"),
    "6": ("111", "100", "111", "101", "111"), "7": ("111", "001", "010", "010", "010"),
    "8": ("111", "101", "111", "101", "111"), "9": ("111", "101", "111", "001", "111"),
}


def digits_at(number, x, y, scale=2, gap=2):
    """The pixels of a number written from (x, y), each digit pixel scale x scale."""
    out = []
    for i, ch in enumerate(str(number)):
        for row, bits in enumerate(DIGITS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            out.append((x + i * (3 * scale + gap) + col * scale + sx, y + row * scale + sy))
    return out


def news_presentation(width, height):
    """Big news of day 3: the presentation board with its chart, and the secretary."""
    def f(x, y):
        if x < 3 or y < 3 or x >= width - 3 or y >= height - 3:
            return (40, 40, 40, 255)
        if 40 <= x < 200 and 40 <= y < 150:
            if x < 44 or y < 44 or x >= 196 or y >= 146:
                return (90, 90, 100, 255)
            for i, h in enumerate((30, 55, 80)):
                if 70 + i * 40 <= x < 95 + i * 40 and 140 - h <= y < 140:
                    return ((60, 120, 200), (60, 170, 90), (220, 80, 60))[i] + (255,)
            return (255, 255, 255, 255)
        if 116 <= x < 124 and 150 <= y < 200:
            return (90, 90, 100, 255)
        if math.hypot(x - 200, y - 170) < 14:
            return (240, 200, 160, 255)
        if y > 186 and abs(x - 200) < 20 + (y - 186) * 0.2 and y < 260:
            return (170, 60, 110, 255)
        return (250, 235, 200, 255)
    return f


def level_pictures(root):
    """The panel over the office and its dialogs (cfg\\ui.xml and their code)."""
    img = lambda name: os.path.join(root, "images", "level", name + ".png")
    flat = lambda rgb: (lambda x, y: rgb + (255,))

    for page, rgb in COMIX.items():
        write_png(img("comix%d_man" % page), 800, 600, flat(rgb))
        write_png(img("comix%d_woman" % page), 800, 600, flat((rgb[0], rgb[1], min(255, rgb[2] + 12))))

    write_png(img("hud_goal"), 800, 56, frame_pixel(800, 56, (30, 40, 60, 255), (60, 80, 120, 230), 2))
    write_png(img("hud_expert"), 800, 56, frame_pixel(800, 56, (70, 55, 10, 255), (140, 110, 30, 230), 2))
    # Bar strips: the filled segment left, the empty one right.
    def strip(fill):
        def f(x, y):
            edge = x % 10 == 0 or x % 10 == 9 or y in (0, 11)
            if edge:
                return (40, 40, 40, 255)
            return fill + (255,) if x < 10 else (190, 190, 190, 255)
        return f
    write_png(img("bar"), 20, 12, strip((60, 190, 60)))
    write_png(img("bar_ex"), 20, 12, strip((230, 190, 40)))

    def heart(on):
        def f(x, y):
            u, v = (x - 15.5) / 13, (y - 13) / 13
            inside = (u * u + v * v - 0.6) ** 3 - u * u * v * v * v * 1.2 < 0 if abs(u) < 1.2 else False
            if not inside:
                return (0, 0, 0, 0)
            return (220, 40, 60, 255) if on else (110, 110, 110, 255)
        return f
    write_png(img("hud_life"), 32, 32, heart(True))
    write_png(img("hud_life_off"), 32, 32, heart(False))
    write_png(img("hud_upgrade_back"), 168, 48, frame_pixel(168, 48, (200, 160, 20, 255), (0, 0, 0, 0), 3))
    write_png(img("popup_goal"), 300, 100, frame_pixel(300, 100, (30, 90, 30, 255), (190, 240, 190, 240), 4))
    write_png(img("popup_expert"), 300, 100, frame_pixel(300, 100, (120, 90, 10, 255), (255, 230, 140, 240), 4))

    # Month pages: seven columns of day cells starting at (left, top), each
    # with its day of the month; the weekend's two columns shaded.
    def month_page(width, height, left, top, cw, ch, header, month, framed=True):
        numbers = {}
        for day in range(1, MONTH_DAYS[month - 1] + 1):
            cell = day + MONTH_OFFSETS[month - 1]
            inset, gap = (3, 2) if framed else (2, 1)
            for (dx, dy) in digits_at(day, left + (cell % 7) * cw + inset, top + (cell // 7) * ch + inset, 2, gap):
                numbers[(dx, dy)] = day
        def f(x, y):
            if framed and (x < 3 or y < 3 or x >= width - 3 or y >= height - 3):
                return (40, 40, 40, 255)
            if y < top - 4:
                return header + (255,)
            cx, cy = x - left, y - top
            if 0 <= cx < 7 * cw and 0 <= cy < 5 * ch:
                if cx % cw == 0 or cy % ch == 0:
                    return (150, 150, 150, 255)
                if (x, y) in numbers:
                    return (60, 60, 70, 255)
                if cx // cw >= 5:
                    return (225, 225, 232, 255)
            return (250, 250, 245, 255)
        return f
    headers = ((200, 80, 60), (60, 140, 200), (120, 180, 80))
    for month, header in enumerate(headers, 1):
        write_png(img("brief_calendar%d" % month), 240, 280, month_page(240, 280, 34, 30, 25, 38, header, month))
        # The debriefing's page is the grid alone: its day mark is placed from the page's corner.
        write_png(img("db07_calendar%d" % month), 127, 146, month_page(127, 146, 0, 0, 18, 29, header, month, False))
    write_png(img("db07_calendar_back"), 147, 184, frame_pixel(147, 184, (40, 40, 40, 255), (250, 250, 245, 255), 3))
    write_png(img("brief_l3"), 240, 280, news_presentation(240, 280))
    write_png(img("brief_mark"), 25, 38, frame_pixel(25, 38, (220, 30, 30, 255), (0, 0, 0, 0), 2))
    # Drawn 2 pixels up and left of its cell: a frame round the cell.
    write_png(img("db07_mark"), 22, 33, frame_pixel(22, 33, (220, 30, 30, 255), (0, 0, 0, 0), 2))
    write_png(img("newflash"), 240, 40, frame_pixel(240, 40, (150, 20, 20, 255), (255, 240, 200, 255), 3))

    # The boss's verdict: the face's colour by outcome.
    faces = {"failure": (200, 120, 110), "goal": (240, 200, 160), "expert": (250, 220, 120)}
    for outcome, face in faces.items():
        for kind, body in (("man", (50, 80, 160)), ("woman", (170, 50, 80))):
            def boss(x, y, face=face, body=body):
                if math.hypot(x - 50, y - 30) < 18:
                    return face + (255,)
                if y > 54 and abs(x - 50) < 30 + (y - 54) * 0.2:
                    return body + (255,)
                return (0, 0, 0, 0)
            write_png(img("boss_%s_%s" % (kind, outcome)), 100, 120, boss)
    panels = {"failure": (120, 60, 60), "goal": (60, 120, 60), "expert": (140, 120, 30)}
    for outcome, edge in panels.items():
        write_png(img("bosspanel_" + outcome), 360, 300, frame_pixel(360, 300, edge + (255,), (240, 235, 220, 255), 4))
        write_png(img("moneypanel_" + outcome), 320, 120, frame_pixel(320, 120, edge + (255,), (235, 240, 225, 255), 4))

    write_png(img("panel_upgrade"), 600, 400, frame_pixel(600, 400, (40, 60, 40, 255), (220, 235, 215, 255), 4))
    upgrades = {"upgrade_table": (150, 100, 50), "upgrade_presentation": (60, 100, 170), "upgrade_plant": (50, 150, 60)}
    for name, rgb in upgrades.items():
        write_png(img(name), 160, 120, frame_pixel(160, 120, (40, 40, 40, 255), rgb + (255,), 3))


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data")

    # Office floor: warm boards with seams.
    def ground(x, y):
        board = (y // 40) % 2
        seam = y % 40 == 0 or (x + (y // 40) * 97) % 160 == 0
        base = (176, 132, 88) if board else (164, 122, 80)
        if seam:
            return (120, 86, 56, 255)
        grain = int(6 * math.sin(x * 0.07 + y * 0.9))
        return (base[0] + grain, base[1] + grain, base[2] + grain, 255)

    write_png(os.path.join(root, "images", "ground.png"), 800, 600, ground)

    # A soft round sprite for particles and a small button frame.
    def star(x, y):
        d = math.hypot(x - 15.5, y - 15.5) / 16.0
        a = max(0.0, 1.0 - d)
        return (255, 240, 160, int(255 * a * a))

    write_png(os.path.join(root, "images", "particle_star.png"), 32, 32, star)

    def button(x, y):
        edge = x < 2 or y < 2 or x >= 158 or y >= 38
        return (40, 60, 110, 255) if edge else (70, 110, 190, 235)

    write_png(os.path.join(root, "images", "button.png"), 160, 40, button)

    ui_pictures(root)
    screen_pictures(root)
    level_pictures(root)

    sounds = {
        "click": (0.08, lambda t: envelope(t, 0.08) * math.sin(2 * math.pi * 1200 * t)),
        "coins": (0.35, lambda t: envelope(t, 0.35) * math.sin(2 * math.pi * (1500 + 800 * (t > 0.1)) * t)),
        "phone": (0.6, lambda t: 0.6 * math.sin(2 * math.pi * 440 * t) * (1 if int(t * 20) % 2 else 0)),
        "door": (0.3, lambda t: envelope(t, 0.3) * math.sin(2 * math.pi * 90 * t)),
        "briefing": (0.4, lambda t: envelope(t, 0.4) * math.sin(2 * math.pi * (500 + 600 * t) * t)),
        "good": (0.6, lambda t: envelope(t, 0.6) * math.sin(2 * math.pi * (523, 659, 784)[min(2, int(t * 5))] * t)),
        "bad": (0.6, lambda t: envelope(t, 0.6) * math.sin(2 * math.pi * (300 - 150 * t) * t)),
    }
    for name, (length, fn) in sounds.items():
        write_wav(os.path.join(root, "sounds", name + ".wav"), length, fn)

    # Two short loops for the music manager's cross-fade.
    def tune(notes):
        def f(t):
            n = notes[int(t * 4) % len(notes)]
            return 0.3 * math.sin(2 * math.pi * n * t) * (1 - (t * 4 % 1) * 0.6)
        return f

    write_wav(os.path.join(root, "music", "menu.wav"), 4.0, tune([262, 330, 392, 330]), rate=11025)
    write_wav(os.path.join(root, "music", "office.wav"), 4.0, tune([220, 262, 294, 262]), rate=11025)


if __name__ == "__main__":
    main()
