#!/usr/bin/env python3
"""Plays the start of a career as a person would, under a real X server.

Splash, a new profile, the career calendar, the load screen, the comics, the
briefing, day 1 with its tutorial until the first client has paid, the escape
menu back to the main menu, and quit; then pref.dat must hold the profile.
Clicks go to coordinates read from the sample layouts (cfg/ui.xml for the
screens, cfg/office.xml for the office); every screen is recognised by the
flat colour of its backdrop in a screenshot, polled with a timeout.

Usage: play_day_one.py GAME_BINARY DATA_DIR
Exits 77 (skipped) when no X server can be started.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from gen_sample_media import BACKDROPS, COMIX  # noqa: E402  the backdrops' flat colours
from xsession import (Failure, Layout, Session, game_env, office_regions, pref_path, report_failure,  # noqa: E402
                      start_game, start_x, stop)

TOTAL_SECONDS = 330
PROFILE = "Tester"


def play(s, ui, office, game):
    colour = {name: rgb for name, rgb in BACKDROPS.items()}
    corner = (10, 10)

    # Splash: each page is skipped by a key until the menu's backdrop shows.
    s.wait_colour("splash page 1", corner, colour["splash1"])
    s.wait("main menu after the splash", lambda sh: s.near(s.pixel(sh, *corner), colour["menu_bkg"]), 20,
           every=0.7, action=lambda: s.keys("key", "space"))

    # First start: the create-profile form opens by itself.
    form = "main_menu/create_profile"
    # Its lower right corner lies over the bare backdrop once it closes.
    form_corner = s_point(ui, form, ui.rect(form)[2] - 8, ui.rect(form)[3] - 8)
    s.wait_colour("create-profile form", form_corner, (215, 230, 215))
    s.click(*ui.centre(form + "/entername_text"))
    s.keys("type", "--delay", "40", PROFILE)
    s.click(*ui.centre(form + "/bossman_btn"))
    time.sleep(0.3)
    s.click(*ui.centre(form + "/create"))
    # The form closes: the menu's backdrop shows where it was.
    s.wait_colour("profile created", form_corner, colour["menu_bkg"])

    s.click(*ui.centre("main_menu/main_menu_dlg/career"))
    s.wait_colour("career calendar", corner, colour["career_bkg"])
    s.click(*ui.centre("career/start"))
    s.wait_colour("load screen", corner, colour["load_bkg"], timeout=10)

    # Comics: the page's button until the briefing's backdrop shows.
    pages = [COMIX[n] for n in sorted(COMIX)]
    s.wait("comics", lambda sh: any(s.near(s.pixel(sh, *corner), rgb) for rgb in pages), 15)
    seen = set()

    def comics_or_briefing(sh):
        c = s.pixel(sh, *corner)
        for n, rgb in enumerate(pages):
            if s.near(c, rgb):
                seen.add(n + 1)
        return s.near(c, colour["briefing_bkg"])
    s.wait("briefing after the comics", comics_or_briefing, 20, every=0.8,
           action=lambda: s.click(*ui.centre("comix/comix1/btn")))
    print("  comics pages seen: %s" % sorted(seen))
    s.click(*ui.centre("briefing/continue"))

    # Day 1 by its tutorial: each pop-up names the object to click.
    popup = lambda n: ui.inside("hud/tutorial%d" % n, 4, 30)
    tip = (252, 235, 167)
    def region_point(name, fx=0.5, fy=0.5):
        x0, y0, x1, y1 = office[name]
        return int(x0 + (x1 - x0) * fx), int(y0 + (y1 - y0) * fy)
    # The client's place lies partly under the client: its lower edge is the place's own.
    place = region_point("client_place03", 0.5, 0.85)
    s.wait_colour("day 1: a client waits (pop-up 1)", popup(1), tip, timeout=30)
    s.click(*place)
    s.wait_colour("order taken: fetch the papers (pop-up 4)", popup(4), tip, timeout=30)
    s.click(*region_point("shelving01"))
    s.wait_colour("papers fetched: hand them over (pop-up 5)", popup(5), tip, timeout=30)
    table = region_point("table04a", 0.15, 0.8)
    s.click(*table)
    # The table stays blocked while the worker works; clicks then do nothing.
    s.wait("work collected: take it to the client (pop-up 8)",
           lambda sh: s.near(s.pixel(sh, *popup(8)), tip) and not s.near(s.pixel(sh, *popup(7)), tip),
           45, every=1.0, action=lambda: s.click(*table))
    bar = ui.inside("hud/bar", 3)
    unpaid = s.pixel(s.shot(), *bar)
    s.click(*place)
    s.wait("the first client paid (the goal bar fills)",
           lambda sh: not s.near(s.pixel(sh, *bar), unpaid, 20), 30)

    # Escape menu, back to the main menu, quit.
    box = s_point(ui, "dialogbox_2button", 6, 190)
    s.keys("key", "Escape")
    s.wait_colour("escape menu", s_point(ui, "escape_menu", 8, 8), (200, 200, 200))
    s.click(*ui.centre("escape_menu/quit"))
    s.wait_colour("leave-the-day question", box, (245, 225, 215))
    s.click(*ui.centre("dialogbox_2button/btn_yes"))
    s.wait_colour("main menu after the day", corner, colour["menu_bkg"], timeout=15)
    s.click(*ui.centre("main_menu/main_menu_dlg/quit"))
    s.wait_colour("quit question", box, (245, 225, 215))
    s.click(*ui.centre("dialogbox_2button/btn_yes"))
    s.step = "the game quits"
    try:
        code = game.wait(timeout=max(1, min(20, s.deadline - time.monotonic())))
    except subprocess.TimeoutExpired:
        raise Failure("the game did not quit")
    if code != 0:
        raise Failure("the game exited with %d" % code)
    print("  ok: the game quit")


def s_point(ui, path, dx, dy):
    x, y, _, _ = ui.rect(path)
    return x + dx, y + dy


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    binary, data = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    ui = Layout(os.path.join(data, "cfg", "ui.xml"))
    office = office_regions(os.path.join(data, "cfg", "office.xml"))
    deadline = time.monotonic() + TOTAL_SECONDS
    tmp = tempfile.mkdtemp(prefix="pemberly_e2e_")
    xvfb, display = start_x(tmp)
    game = None
    try:
        s = Session(display, deadline)
        env = game_env(display, tmp, data)
        game = start_game([binary], env, tmp, os.path.join(tmp, "game.log"))
        os.environ["E2E_SHOTS"] = tmp
        try:
            play(s, ui, office, game)
        except Failure as e:
            report_failure(s, e, game, os.path.join(tmp, "game.log"), tmp)
            return 1
        pref = pref_path(tmp)
        if not os.path.exists(pref):
            print("FAILED: no pref.dat at " + pref)
            return 1
        saved = open(pref, "rb").read()
        if PROFILE.encode("utf-16-le") not in saved and PROFILE.encode() not in saved:
            print("FAILED: pref.dat does not hold the profile " + PROFILE)
            return 1
        print("  ok: pref.dat holds the profile")
        shutil.rmtree(tmp, ignore_errors=True)
        return 0
    finally:
        stop(game, xvfb)


if __name__ == "__main__":
    sys.exit(main())
