#!/usr/bin/env python3
"""How much of one core the game takes under a real X server without a GPU.

Starts Xvfb, the game pinned to one core (taskset) with a profile already in
pref.dat, and measures the game's CPU time, all threads (utime + stime of
/proc/<pid>/stat), over a span of seconds: first on the static main menu,
then in survival level 1 once clients have come in (the level left to run,
nobody served). Prints each share of one core beside its limit.

Usage: cpu_share.py GAME_BINARY DATA_DIR [--core N] [--seconds S] [--screen WxH] [--fullscreen]
                    [--software]   (--software: the DirectDraw road, not the 3D device)
"""
import argparse
import os
import sys
import tempfile
import time
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
from gen_sample_media import BACKDROPS  # noqa: E402  the backdrops' flat colours
from xsession import (Failure, Layout, Session, game_env, pref_path, start_game, start_x, stop,  # noqa: E402
                      write_pref)

LIMITS = {"main menu": 0.15, "survival level": 0.30}


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime: fields 14 and 15 of the line, the process's threads included.
    return int(fields[11]) + int(fields[12])


def share(pid, seconds):
    hz = os.sysconf("SC_CLK_TCK")
    t0, w0 = cpu_ticks(pid), time.monotonic()
    time.sleep(seconds)
    t1, w1 = cpu_ticks(pid), time.monotonic()
    return (t1 - t0) / hz / (w1 - w0)


class Screen:
    """Maps picture coordinates to the screen: the picture scaled and centred."""

    def __init__(self, size, fullscreen):
        self.w, self.h = size
        if fullscreen:
            self.scale = min(self.w / 800, self.h / 600)
        else:
            self.scale = 1.0
        self.x0 = (self.w - 800 * self.scale) / 2
        self.y0 = (self.h - 600 * self.scale) / 2

    def at(self, p):
        return int(self.x0 + p[0] * self.scale), int(self.y0 + p[1] * self.scale)


def run(args):
    data = os.path.abspath(args.data)
    ui = Layout(os.path.join(data, "cfg", "ui.xml"))
    size = tuple(int(v) for v in args.screen.split("x"))
    scr = Screen(size, args.fullscreen)
    tmp = tempfile.mkdtemp(prefix="pemberly_cpu_")
    xvfb, display = start_x(tmp, "%dx%dx24" % size)
    game = None
    try:
        write_pref(pref_path(tmp), windowed=not args.fullscreen)
        env = game_env(display, tmp, data)
        if args.software:
            env["PEMBERLY_SOFTWARE_ONLY"] = "1"
        game = start_game(["taskset", "-c", str(args.core), os.path.abspath(args.binary)], env, tmp,
                          os.path.join(tmp, "game.log"))
        s = Session(display, time.monotonic() + 120)
        corner = scr.at((10, 10))
        colour = BACKDROPS
        s.wait("main menu after the splash", lambda sh: s.near(s.pixel(sh, *corner), colour["menu_bkg"]), 30,
               every=0.7, action=lambda: s.keys("key", "space"))
        time.sleep(3)  # the menu's fades settle
        results = [("main menu", share(game.pid, args.seconds))]

        s.click(*scr.at(ui.centre("main_menu/main_menu_dlg/survival")))
        s.wait_colour("survival menu", corner, colour["survival_bkg"])
        s.click(*scr.at(ui.centre("survival/start")))
        menus = [colour[n] for n in ("survival_bkg", "load_bkg", "briefing_bkg")]

        def in_level(sh):
            c = s.pixel(sh, *corner)
            if s.near(c, colour["briefing_bkg"]):
                s.click(*scr.at(ui.centre("briefing/continue")))
            return not any(s.near(c, rgb) for rgb in menus)
        s.wait("the level", in_level, 30, every=0.5)
        time.sleep(args.fill)  # clients come in
        results.append(("survival level", share(game.pid, args.seconds)))
        shot = s.shot()
        if s.near(s.pixel(shot, *corner), colour["debriefing_bkg"]):
            raise Failure("the level ended while it was measured")

        print("\n%-16s %10s %10s   (one core, all threads, %g s, core %d, %s, %s road)" %
              ("screen", "share", "limit", args.seconds, args.core,
               "full screen " + args.screen if args.fullscreen else "windowed",
               "DirectDraw" if args.software else "default"))
        for name, value in results:
            print("%-16s %9.1f%% %9.0f%%" % (name, 100 * value, 100 * LIMITS[name]))
        return 0
    except Failure as e:
        print("FAILED at '%s': %s; logs in %s" % (s.step, e, tmp))
        tmp = None
        return 1
    finally:
        stop(game, xvfb)
        if tmp:
            shutil.rmtree(tmp, ignore_errors=True)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("binary")
    p.add_argument("data")
    p.add_argument("--core", type=int, default=2)
    p.add_argument("--seconds", type=float, default=20)
    p.add_argument("--fill", type=float, default=15, help="seconds the level runs before it is measured")
    p.add_argument("--screen", default="1024x768")
    p.add_argument("--fullscreen", action="store_true")
    p.add_argument("--software", action="store_true", help="the DirectDraw road")
    return run(p.parse_args())


if __name__ == "__main__":
    sys.exit(main())
