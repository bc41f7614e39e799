#!/usr/bin/env python3
"""Full screen on a wide desktop under a real X server, as a player meets it.

pref.dat asks for full screen; on a 1280 x 800 desktop the game must come up
covering it, the 800 x 600 picture filling the height, centred between black
bars; a click on a main-menu button (Options) must hit it; unchecking full
screen and pressing Apply must give an 800 x 600 window showing the whole
picture, and the mode must be kept for the next start. The screenshots stay
in the output folder.

Usage: full_screen.py GAME_BINARY DATA_DIR OUTPUT_DIR [--wm COMMAND]
(--wm: a window manager to run first, for trying by hand; the test runs without one.)
Exits 77 (skipped) when no X server can be started.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from gen_sample_media import BACKDROPS  # noqa: E402  the backdrops' flat colours
from xsession import (Failure, Layout, Session, game_env, pref_path, report_failure, settings_path,  # noqa: E402
                      start_game, start_x, stop, write_pref)

DESKTOP = (1280, 800)
TOTAL_SECONDS = 270
MENU = BACKDROPS["menu_bkg"]
BLACK = (0, 0, 0)


def picture_box(s, shot):
    """Where the menu's backdrop shows on the screen: (left, top, right, bottom), inclusive."""
    w, h, _ = shot
    rows = [y for y in range(0, h, 4) if any(s.near(s.pixel(shot, x, y), MENU) for x in range(0, w, 8))]
    if not rows:
        raise Failure("the menu's backdrop is nowhere on the screen")
    top = next(y for y in range(max(rows[0] - 4, 0), h) if any(s.near(s.pixel(shot, x, y), MENU)
                                                             for x in range(0, w, 2)))
    bottom = next(y for y in range(min(rows[-1] + 4, h - 1), -1, -1) if any(s.near(s.pixel(shot, x, y), MENU)
                                                                       for x in range(0, w, 2)))
    middle = (top + bottom) // 2
    cols = [x for x in range(w) if s.near(s.pixel(shot, x, middle), MENU)]
    return cols[0], top, cols[-1], bottom


def save(s, out, name):
    subprocess.run(["import", "-display", s.display, "-window", "root", os.path.join(out, name)], env=s.env,
                   check=True)


def play(s, ui, out, home):
    # Full screen: the picture scaled to the desktop's height, centred, black bars beside it.
    scale = DESKTOP[1] / 600
    x0 = (DESKTOP[0] - 800 * scale) / 2
    at = lambda p: (int(x0 + p[0] * scale), int(p[1] * scale))
    corner = at((10, 10))
    s.wait("main menu in full screen", lambda sh: s.near(s.pixel(sh, *corner), MENU), 30, every=0.7,
           action=lambda: s.keys("key", "space"))
    time.sleep(1.5)  # the menu's fades settle
    shot = s.shot()
    save(s, out, "1-full-screen-menu.png")
    left, top, right, bottom = picture_box(s, shot)
    print("  picture at (%d, %d)-(%d, %d) on the %dx%d desktop" % (left, top, right, bottom, *DESKTOP))
    if top != 0 or bottom != DESKTOP[1] - 1:
        raise Failure("the picture does not fill the height: rows %d to %d" % (top, bottom))
    if abs(left - (DESKTOP[0] - 1 - right)) > 2 or abs((right - left + 1) - 800 * scale) > 3:
        raise Failure("the picture is not 4:3 and centred: columns %d to %d" % (left, right))
    for x in (0, left - 3, right + 3, DESKTOP[0] - 1):
        for y in (0, DESKTOP[1] // 2, DESKTOP[1] - 1):
            if not s.near(s.pixel(shot, x, y), BLACK):
                raise Failure("the bar at (%d, %d) is not black" % (x, y))

    # A click on a menu button hits it: Options opens.
    options = "options"
    panel = lambda dx, dy: at((ui.rect(options)[0] + dx, ui.rect(options)[1] + dy))
    s.click(*at(ui.centre("main_menu/main_menu_dlg/options")))
    s.wait_colour("the options dialog", panel(8, 40), (210, 215, 240))
    save(s, out, "2-full-screen-options.png")
    box = at(ui.centre(options + "/fullscreen_checkbox"))
    s.click(*box)
    time.sleep(0.3)
    s.click(*at(ui.centre(options + "/apply")))

    # Windowed: 800 x 600, the whole picture in it, unscaled.
    def windowed(sh):
        try:
            l, t, r, b = picture_box(s, sh)
        except Failure:
            return False
        return (r - l + 1, b - t + 1) == (800, 600)
    shot = s.wait("an 800 x 600 window with the whole picture", windowed, 15)
    save(s, out, "3-windowed.png")
    left, top, right, bottom = picture_box(s, shot)
    print("  window picture at (%d, %d)-(%d, %d)" % (left, top, right, bottom))
    geometry = subprocess.run(["xdotool", "search", "--name", "^Pemberly$", "getwindowgeometry"], env=s.env,
                              capture_output=True, text=True).stdout
    print("  " + " / ".join(line.strip() for line in geometry.splitlines()))
    if "Geometry: 800x600" not in geometry:
        raise Failure("the window is not 800 x 600: " + geometry)

    # Clicks land in the window too: Options again, full screen now unchecked, then Cancel.
    inside = lambda p: (left + p[0], top + p[1])
    s.click(*inside(ui.centre("main_menu/main_menu_dlg/options")))
    ox, oy = ui.rect(options)[:2]
    s.wait_colour("the options dialog in the window", inside((ox + 8, oy + 40)), (210, 215, 240))
    save(s, out, "4-windowed-options.png")
    if not s.near(s.pixel(s.shot(), *inside(ui.centre(options + "/fullscreen_checkbox"))), (255, 255, 255)):
        raise Failure("the full-screen box is still checked")
    s.click(*inside(ui.centre(options + "/cancel")))
    s.wait_colour("the options dialog closed", inside((ox + 8, oy + 40)), MENU)

    # Kept for the next start: pref.dat's window byte and the setting read before it.
    with open(pref_path(home), "rb") as f:
        if f.read(32)[28] != 1:
            raise Failure("pref.dat does not keep the window mode")
    with open(settings_path(home)) as f:
        if "ScreenMode=0" not in f.read():
            raise Failure("the settings do not keep the window mode")
    print("  ok: the mode is kept in pref.dat and the settings")


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("binary")
    p.add_argument("data")
    p.add_argument("out")
    p.add_argument("--wm", help="a window manager to start first")
    args = p.parse_args()
    data = os.path.abspath(args.data)
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    for old in os.listdir(out):
        if old.endswith(".png"):
            os.remove(os.path.join(out, old))
    ui = Layout(os.path.join(data, "cfg", "ui.xml"))
    tmp = tempfile.mkdtemp(prefix="pemberly_fullscreen_")
    xvfb, display = start_x(tmp, "%dx%dx24" % DESKTOP)
    game = wm = None
    try:
        s = Session(display, time.monotonic() + TOTAL_SECONDS)
        os.environ["E2E_SHOTS"] = out
        if args.wm:
            wm = subprocess.Popen(args.wm.split(), env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1)
        write_pref(pref_path(tmp), windowed=False)
        game = start_game([os.path.abspath(args.binary)], game_env(display, tmp, data), tmp,
                          os.path.join(out, "game.log"))
        try:
            play(s, ui, out, tmp)
        except Failure as e:
            report_failure(s, e, game, os.path.join(out, "game.log"), out)
            return 1
        print("  screenshots in " + out)
        return 0
    finally:
        if wm and wm.poll() is None:
            wm.terminate()
            wm.wait()
        stop(game, xvfb)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
