#!/usr/bin/env python3
"""How much of one core the game takes under a real X server without a GPU, beside a plain SDL2 program.

Starts Xvfb, the game pinned to one core (taskset) with a profile already in
pref.dat, and the presenting anchor (bench/present_anchor: an SDL2 program that
presents an 800 x 600 frame of its own 100 times a second, nothing else) pinned
to another core, on a second X server of the same screen, in a window or full
screen as the game.
Measures both programs' CPU time, all threads (utime + stime of /proc/<pid>/stat),
over the same spans: first on the static main menu, then in the busy office
(the benchmarks' own survival level, tests/data/cfg/endless9.xml, laid over
survival month 1 in a game folder of this tool's own) once clients have come in,
the level left to run, nobody served. Each figure is the median share of one
core over the spans, with their range, the game's as a multiple of the
anchor's, and the resident memory (VmRSS) at the end of the last span.

Usage: cpu_share.py GAME_BINARY DATA_DIR [--anchor PATH] [--core N] [--anchor-core N] [--spans K]
                    [--seconds S] [--screen WxH] [--fullscreen] [--software] [--limits_fail]
       (--software: the DirectDraw road, not the 3D device; --limits_fail: exit 2 on a missed limit)
"""
import argparse
import os
import statistics
import sys
import tempfile
import time
import shutil
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..")
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
from gen_sample_media import BACKDROPS  # noqa: E402  the backdrops' flat colours
from xsession import (Failure, Layout, Session, game_env, pref_path, start_game, start_x, stop,  # noqa: E402
                      write_pref)

# The game's share as a multiple of the anchor's on the menu; its share of a core in the level.
LIMITS = {"main menu": ("ratio", 2.0), "busy office": ("share", 0.30)}
BUSY_LEVEL = os.path.join(SOURCE, "tests", "data", "cfg", "endless9.xml")


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime: fields 14 and 15 of the line, the process's threads included.
    return int(fields[11]) + int(fields[12])


def resident_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def shares(pids, spans, seconds):
    """Each program's share of one core in each span, measured over the same spans."""
    hz = os.sysconf("SC_CLK_TCK")
    out = [[] for _ in pids]
    for _ in range(spans):
        t0, w0 = [cpu_ticks(p) for p in pids], time.monotonic()
        time.sleep(seconds)
        t1, w1 = [cpu_ticks(p) for p in pids], time.monotonic()
        for i in range(len(pids)):
            out[i].append((t1[i] - t0[i]) / hz / (w1 - w0))
    return out


def busy_game_folder(data, tmp):
    """The sample game folder as links, with the busy office as survival month 1; the sample untouched."""
    game = os.path.join(tmp, "game")
    os.makedirs(os.path.join(game, "cfg"))
    for name in os.listdir(data):
        if name != "cfg":
            os.symlink(os.path.join(data, name), os.path.join(game, name))
    for name in os.listdir(os.path.join(data, "cfg")):
        os.symlink(os.path.join(data, "cfg", name), os.path.join(game, "cfg", name))
    os.remove(os.path.join(game, "cfg", "endless1.xml"))
    os.symlink(BUSY_LEVEL, os.path.join(game, "cfg", "endless1.xml"))
    return game


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
    game = anchor = anchor_x = None
    s = None
    try:
        write_pref(pref_path(tmp), windowed=not args.fullscreen)
        env = game_env(display, tmp, busy_game_folder(data, tmp))
        if args.software:
            env["PEMBERLY_SOFTWARE_ONLY"] = "1"
        game = start_game(["taskset", "-c", str(args.core), os.path.abspath(args.binary)], env, tmp,
                          os.path.join(tmp, "game.log"))
        s = Session(display, time.monotonic() + 120)
        corner = scr.at((10, 10))
        colour = BACKDROPS
        s.wait("main menu after the splash", lambda sh: s.near(s.pixel(sh, *corner), colour["menu_bkg"]), 30,
               every=0.7, action=lambda: s.keys("key", "space"))
        # The anchor beside the game, on an X server of its own of the same screen (on the game's, one
        # window would cover the other), shown the same way.
        game_cookie, anchor_home = os.environ["XAUTHORITY"], os.path.join(tmp, "anchor")
        os.makedirs(anchor_home)
        anchor_x, anchor_display = start_x(anchor_home, "%dx%dx24" % size)
        os.environ["XAUTHORITY"] = game_cookie  # the session's clicks and shots go to the game's server
        anchor_cmd = ["taskset", "-c", str(args.anchor_core), os.path.abspath(args.anchor)]
        if args.fullscreen:
            anchor_cmd.append("--fullscreen")
        with open(os.path.join(tmp, "anchor.log"), "w") as log:
            anchor = subprocess.Popen(anchor_cmd, env=dict(env, DISPLAY=anchor_display,
                                                                   XAUTHORITY=os.path.join(anchor_home, "xauthority")), stdout=log,
                                      stderr=subprocess.STDOUT)
        anchor_env = dict(env, DISPLAY=anchor_display, XAUTHORITY=os.path.join(anchor_home, "xauthority"))
        end = time.monotonic() + 60
        while subprocess.run(["xdotool", "search", "--name", "^present_anchor$"], env=anchor_env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            if anchor.poll() is not None or time.monotonic() > end:
                raise Failure("the presenting anchor did not show its window (anchor.log)")
            time.sleep(0.2)
        time.sleep(3)  # the menu's fades settle, the anchor presents
        pids = [game.pid, anchor.pid]
        results = [("main menu", shares(pids, args.spans, args.seconds / args.spans),
                    [resident_mb(p) for p in pids])]
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
        results.append(("busy office", shares(pids, args.spans, args.seconds / args.spans),
                        [resident_mb(p) for p in pids]))
        shot = s.shot()
        if s.near(s.pixel(shot, *corner), colour["debriefing_bkg"]):
            raise Failure("the level ended while it was measured")

        print("\nshare of one core, all threads: median (min-max) over %d spans of %g s; game on core %d, anchor "
              "on core %d; %s; %s road" % (args.spans, args.seconds / args.spans, args.core, args.anchor_core,
                                           "full screen " + args.screen if args.fullscreen else "windowed",
                                           "DirectDraw" if args.software else "default"))
        print("%-12s %-22s %-22s %8s %-12s %-8s %9s %11s" % ("screen", "game", "anchor", "ratio", "limit",
                                                                "verdict", "game RSS", "anchor RSS"))
        missed = False

        def fig(v):
            return "%5.1f%% (%.1f-%.1f)" % (100 * statistics.median(v), 100 * min(v), 100 * max(v))
        for name, (g, a), (grss, arss) in results:
            ratio = statistics.median(g) / max(statistics.median(a), 1e-9)
            kind, limit = LIMITS[name]
            over = ratio > limit if kind == "ratio" else statistics.median(g) > limit
            missed |= over
            print("%-12s %-22s %-22s %7.2fx %-12s %-8s %6.0f MB %8.0f MB" % (
                name, fig(g), fig(a), ratio, ("%.2fx anchor" % limit) if kind == "ratio" else "%.0f%% core" % (
                    100 * limit), "FAIL" if over else "ok", grss, arss))
        return 2 if missed and args.limits_fail else 0
    except Failure as e:
        print("FAILED at '%s': %s; logs in %s" % (s.step if s else "start", e, tmp))
        tmp = None
        return 1
    finally:
        if anchor_x:
            stop(anchor, anchor_x)
        stop(game, xvfb)
        if tmp:
            shutil.rmtree(tmp, ignore_errors=True)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("binary")
    p.add_argument("data")
    p.add_argument("--anchor", help="the presenting anchor (default: bench/present_anchor beside the game)")
    p.add_argument("--core", type=int, default=2)
    p.add_argument("--anchor-core", type=int, default=None, help="default: the core after the game's")
    p.add_argument("--spans", type=int, default=5)
    p.add_argument("--seconds", type=float, default=20, help="all spans together")
    p.add_argument("--fill", type=float, default=15, help="seconds the level runs before it is measured")
    p.add_argument("--screen", default="1024x768")
    p.add_argument("--fullscreen", action="store_true")
    p.add_argument("--software", action="store_true", help="the DirectDraw road")
    p.add_argument("--limits_fail", action="store_true")
    args = p.parse_args()
    if args.anchor is None:
        args.anchor = os.path.join(os.path.dirname(os.path.abspath(args.binary)), "bench", "present_anchor")
    if not os.path.exists(args.anchor):
        p.error("no presenting anchor at %s (build the target present_anchor, or give --anchor)" % args.anchor)
    if args.anchor_core is None:
        args.anchor_core = (args.core + 1) % os.cpu_count()
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
