#!/usr/bin/env python3
"""Plays the start of a career and survival as a person would, under a real X server.

A new profile, career days 1, 2 and 3 from the calendar: on each day every
tutorial pop-up is read off the screen and answered with the click it asks
for, and once the tutorial leaves the office to the player, a competent
player serves the clients from what the office shows. Each day must end at
its goal or better, and "Next day" must lead to the next. Then survival
level 1 is played for two minutes without losing; the game quits, starts
again, and must show the same profile with time played and day 4 open on the
calendar.

Nothing is taken for granted of a machine's speed: a click counts when the
screen shows it took (the boss walks or carries something else, or the pop-up
changes) and is made again when it did not; when the tutorial shows nothing new
for a while, the office is read for what it waits for (a paper in the boss's
hand and an idle table, finished work, a client waiting) and that is done. On
day 2 the shelving and the table are clicked 0.3 s apart, before the boss has
the paper, as a quick player clicks them.

Screens are told by the flat colours of their backdrops, texts by their glyphs
(screen_text.py), the office by where cfg/office.xml puts things and by the
colours of the sample's pictures (office_view.py). Every wait polls the
screen with a timeout.

Usage: play_career.py GAME_BINARY DATA_DIR [OUTPUT_DIR]
Screenshots of each day's office and of the debriefings go to OUTPUT_DIR
(default: e2e-shots beside the binary). Exits 77 (skipped) when no X server
can be started.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools"))
from gen_sample_media import BACKDROPS, COMIX  # noqa: E402  the backdrops' flat colours
from gen_office_anims import PARTS, SKIN_SHADES, shade  # noqa: E402  the office pictures' colours
from office_view import OfficeLayout, Pictures, anim_frames, find_colour, near, read_png  # noqa: E402
from screen_text import TextReader  # noqa: E402
from xsession import Failure, Layout, Session, region, save_png, start_game, start_x, stop  # noqa: E402

# Room for the two replays of the free day that a loaded machine may need.
TOTAL_SECONDS = 1700
SURVIVAL_SECONDS = 120
PROFILE = "Tester"
CORNER = (10, 10)
# Where the mouse rests between clicks: over the panel, on no control.
PARK = (590, 48)

# What a person who does what a tutorial pop-up says clicks: objects by name, or
#   "@ordering" the place of the client who waits to give the order,
#   "@wanting"  the place of the client who waits for the work;
# "play" leaves the office to the player. Pop-up N shows the text hud_tipN; one
# not listed here asks for nothing that the player could not read off the office.
ASKS = {
    1: ["client_place03"],
    4: ["shelving01"],
    5: ["table04a"],
    7: ["table04a"],
    8: ["client_place03"],
    10: ["phone", "@ordering"],
    11: "play",
    12: "play",
    13: ["shelving01", "table04a"],
    14: ["table04a", "table01a"],
    15: ["table01a", "@wanting"],
    16: ["client_place03"],
}

# Pop-ups whose asks are made at once, as a quick player makes them: the table
# clicked 0.3 s after the shelving, before the boss has the paper.
AT_ONCE = {13}

# The bubbles' icons told apart: a client ready to order, a scandal, a worker's break ("timer", the
# slices of its clock alike), one who wants a break ("coffee"), asleep or snoring, and the caller.
ICONS = ["ready", "scandal", "timer", "coffee", "sleep", "snore", "student", "lady", "tycoon"]

# The pop-ups after whose asks the tutorial leaves the office to the player.
HANDS_OVER = {10, 15}

# What the tutorial of day 2 teaches: the stamper (0300) takes the letters
# that the letter writer (0400) makes, not the shelving's papers.
MADE_FROM = {"0300": "0400"}

# How long the tutorial may show no new pop-up before the player looks at the
# office for what it waits for, as a person does who sees nothing happen.
STUCK_SECONDS = 20
# Clicks on one thing that show no sign of taking before the player turns elsewhere.
TRIES = 3
# The days the tutorial leads, and how often a free day that missed its goal is played again.
GUIDED = {1, 2}
REPLAYS = 2

# What the boss carries, by the colours of the held pictures (tools/gen_office_anims.py):
# the paper, and the sign of the work on it; a copy shows the paper's lines.
PAPER = (252, 252, 248)
SIGNS = [("0300", (30, 150, 60)), ("0400", (210, 40, 40)), ("0200", (40, 90, 200)), ("0101", (181, 181, 184))]
BLANK = "paper"


class Game:
    """The game's process, started and restarted with the same profile folders."""

    def __init__(self, binary, data, display, tmp):
        self.binary, self.tmp = binary, tmp
        self.xdg = os.path.join(tmp, "xdg")
        os.makedirs(self.xdg, exist_ok=True)
        self.env = dict(os.environ, DISPLAY=display, XDG_DATA_HOME=self.xdg, XDG_CONFIG_HOME=self.xdg,
                        HOME=tmp, PEMBERLY_DATA=data, PEMBERLY_NO_URL="1", SDL_VIDEODRIVER="x11",
                        SDL_AUDIODRIVER="dummy")
        # Under X, SDL's desktop-bus library keeps memory to the end that the leak checker
        # reports without a usable stack; the unit tests check the game's own leaks.
        self.env["ASAN_OPTIONS"] = self.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        self.log_path = None
        self.starts = 0
        self.proc = None

    def start(self):
        """Starts the game, again when the X server turned it away; each start has a log of its own."""
        self.starts += 1
        self.log_path = os.path.join(self.tmp, "game%d.log" % self.starts)
        self.proc = start_game([self.binary], self.env, self.tmp, self.log_path)

    def wait_exit(self, s):
        s.step = "the game quits"
        try:
            code = self.proc.wait(timeout=max(1, min(60, s.deadline - time.monotonic())))
        except subprocess.TimeoutExpired:
            raise Failure("the game did not quit")
        if code != 0:
            raise Failure("the game exited with %d" % code)
        print("  ok: the game quit", flush=True)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Screens:
    """The menus and dialogs around the office: found by backdrop colour, read by text."""

    def __init__(self, s, ui, text, out):
        self.s, self.ui, self.text, self.out = s, ui, text, out

    def backdrop(self, name):
        return lambda sh: self.s.near(self.s.pixel(sh, *CORNER), BACKDROPS[name])

    def wait_backdrop(self, what, name, timeout=20, **kw):
        return self.s.wait(what, self.backdrop(name), timeout, **kw)

    def click(self, path):
        self.s.click(*self.ui.centre(path))
        self.s.move(*PARK)

    def click_until(self, what, path, test, timeout=10):
        """Clicks the control at path until the screen shows test holds: again when a long wait
        (the session's, in wall time) shows nothing, as a person clicks a button again that did
        not answer. Only for clicks that do no harm made twice. Returns the screenshot."""
        for attempt in range(TRIES):
            self.click(path)
            try:
                return self.s.wait(what, test, timeout)
            except Failure:
                if attempt + 1 == TRIES or time.monotonic() > self.s.deadline:
                    raise
                print("  no sign that the click on %s took; again" % path, flush=True)

    def reads(self, sh, path, key, font, justify=-1, **variables):
        """Whether the control at path shows the text of key, its variables filled in."""
        return self.read(sh, path, {key: self.text.text(key, **variables)}, font, justify) == key

    def read(self, sh, path, candidates, font, justify=-1):
        name, _ = self.text.read(sh, self.ui.rect(path), candidates, font, justify)
        return name

    def save(self, sh, name):
        path = os.path.join(self.out, name + ".png")
        save_png(sh, path)
        print("  saved %s" % path, flush=True)


class Office:
    """Reads one level's office off the screen."""

    def __init__(self, s, layout, level_path, pictures):
        self.s, self.layout = s, layout
        objects = {o.get("name") for o in ET.parse(level_path).getroot().iter("object")}
        self.places = sorted(n for n in objects if n.startswith("client_place"))
        self.tables = sorted(n for n in objects if n.startswith("table"))
        self.products, self.icons, self.boss_colour = pictures
        self.boss_at = None
        self.still = 0
        owners = ["client" + p[len("client_place"):] for p in self.places] + \
            ["worker" + t[len("table"):] for t in self.tables] + ["phone"]
        self.others = [r for o in owners for part in ("status_production", "status_type")
                       for r in layout.bubble_parts(o, part, 24, 24, 6)]
        self.others += [r for t in self.tables for r in [layout.part_rect(
            "specialization", "worker" + t[len("table"):] + "_spec", "skill_board", 30, 38)] if r]

    def boss(self, sh):
        return find_colour(sh, self.boss_colour, top=60)

    def held(self, sh, box):
        """What the boss carries, he standing in box: BLANK paper, the sign of the work on it ("0400"...),
        or None. The bubbles and boards he may stand by show papers and signs of their own: not counted."""
        if box is None:
            return None
        x0, y0, x1, _ = box
        counts = {}
        for x, y, p in region(sh, (x0 - 20, y0 + 5, x1 - x0 + 40, 50)):
            if not any(rx <= x < rx + rw and ry <= y < ry + rh for rx, ry, rw, rh in self.others):
                counts[p] = counts.get(p, 0) + 1
        seen = lambda rgb: sum(n for c, n in counts.items() if near(c, rgb, 4))
        if seen(PAPER) < 25:
            return None
        return next((code for code, rgb in SIGNS if seen(rgb) >= 8), BLANK)

    def bubble(self, sh, owner):
        """What the bubble over owner shows: an order code's product ("0400", "0101"...), an icon
        (ICONS: "ready" a client's wish to order, "sleep" a sleeping worker...), or None."""
        code = code_of(self.products.seen(sh, self.layout.bubble_parts(owner, "status_production", 20, 20)))
        if code:
            return code
        seen = self.icons.seen(sh, self.layout.bubble_parts(owner, "status_type", 24, 24, 3), 10)
        return max(seen, key=seen.get) if seen else None

    def clients(self, sh):
        """{place: what its client's bubble shows} for the places whose client shows one."""
        out = {}
        for place in self.places:
            what = self.bubble(sh, "client" + place[len("client_place"):])
            if what:
                out[place] = what
        return out

    def phone_rings(self, sh):
        return self.bubble(sh, "phone") is not None

    def worker(self, sh, table):
        return self.bubble(sh, "worker" + table[len("table"):])

    def board(self, sh, table):
        """The product whose sign the table's board shows, or None."""
        worker = "worker" + table[len("table"):]
        rect = self.layout.part_rect("specialization", worker + "_spec", "skill_board", 30, 38)
        if rect is None:
            return None
        seen = self.products.seen(sh, [rect])
        return max(seen, key=seen.get) if seen else None


def is_code(what):
    return what is not None and what.isdigit()


def code_of(seen):
    """The kind of work a bubble's product pictures show: the sign ("0X00") on the paper ("010Y"), the
    paper alone when it has none; None without a paper: an icon's colours may be a sign's."""
    papers = [p for p in seen if p[1] == "1"]
    signs = [p for p in seen if p[1] != "1"]
    if not papers:
        return None
    return max(signs or papers, key=seen.get)


class Player:
    """Clicks for the office: the tutorial's asks first, then a competent player's choices.

    The player never queues a second errand while the boss walks: each errand is
    a short run of clicks that leaves the boss's hands empty, made once he stands."""

    def __init__(self, s, office, text, layout, tip=None, tutorial_rects=()):
        self.s, self.office, self.text, self.layout, self.tip = s, office, text, layout, tip
        self.tutorial_rects = tutorial_rects
        self.jobs = {}          # client place -> [product, route of tables, index of the table working]
        self.makers = {}        # product -> table, read off the boards
        self.last_clients = {}  # the client bubbles of the look before
        self.unknown = {}       # products no board showed, since when
        self.unreadable = 0     # looks in a row that found a pop-up but could not read it
        self.refused = {}       # table -> until when it is not offered what the boss holds
        self.holding = (None, 0.0)  # what the boss holds, since when

    def log(self, what):
        print("    %5.1f s: %s" % (time.monotonic() - self.s.started, what), flush=True)

    # --- the boss ---
    def look(self, sh):
        """What a click may change: the pop-up shown, where the boss stands, what he carries."""
        box = self.office.boss(sh)
        centre = None if box is None else ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        return self.popup(sh), centre, self.office.held(sh, box)

    def settle(self, timeout=20):
        """Waits until the boss, sent by a click, has walked and stands again; False when he never
        went (his idle looks move him by a pixel or two, a walk by more)."""
        s, office = self.s, self.office
        centre = lambda box: None if box is None else ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        start = centre(office.boss(s.shot()))
        began = time.monotonic()
        moved, last, still = False, start, 0
        while time.monotonic() < min(began + timeout, s.deadline):
            time.sleep(0.15)
            now = centre(office.boss(s.shot()))
            if now is None or start is None or abs(now[0] - start[0]) + abs(now[1] - start[1]) > 8:
                moved = True
            still = still + 1 if now == last else 0
            last = now
            if moved and still >= 2:
                return True
            if not moved and time.monotonic() > began + 2.5:
                return False
        return moved

    def clicks(self, targets, what=None, gap=None):
        """Clicks the targets one after the other, each again when it showed no sign of taking (the
        boss neither walked nor changed what he carries, the pop-up stayed); with a gap, all of them
        that far apart before looking, as a quick player does. True when they took."""
        if what:
            self.log(what)
        if gap is not None:
            self.log("%s, %.1f s apart" % (" then ".join(targets), gap))
            return self.together(targets, gap)
        for target in targets:
            for attempt in range(TRIES):
                point, end = None, time.monotonic() + 15
                # A client asked for may still be on his way in.
                while time.monotonic() < end:
                    sh = self.s.shot()
                    point = self.resolve(target, sh)
                    if point is not None:
                        break
                    time.sleep(0.3)
                if point is None:
                    return False
                before = self.look(sh)
                self.s.click(*point)
                self.s.move(*PARK)
                if self.took(before):
                    if not what:
                        self.log(target)
                    break
                self.log("%s: no sign that the click took%s" % (target, "; again" if attempt + 1 < TRIES else ""))
            else:
                return False
        return True

    def took(self, before, timeout=6):
        """Whether the screen shows, within the timeout, a sign that the click made after `before`
        took; once the boss walks, waits until he stands again."""
        popup, start, held = before
        end = time.monotonic() + timeout
        while time.monotonic() < min(end, self.s.deadline):
            time.sleep(0.15)
            now = self.look(self.s.shot())
            if start is None or now[1] is None or abs(now[1][0] - start[0]) + abs(now[1][1] - start[1]) > 8:
                self.settle()
                return True
            # A pop-up may hide on a timer of its own: only another pop-up tells. The boss who
            # took or gave something may still walk on: the next click waits for him.
            if now[0] not in (None, popup) or now[2] != held:
                self.settle(5)
                return True
        return False

    def resolve(self, target, sh):
        if target == "@ordering":
            places = [p for p, what in self.office.clients(sh).items() if what == "ready"]
            target = places[0] if places else None
        elif target == "@wanting":
            places = [p for p, what in self.office.clients(sh).items() if is_code(what)]
            target = places[0] if places else None
        if target is None:
            return None
        # A client's place lies partly under the client: its lower edge is the place's own.
        return self.layout.point(target, 0.5, 0.85 if target.startswith("client_place") else 0.5)

    # --- the tutorial ---
    def popup(self, sh):
        """The number of the tutorial pop-up on screen, read by its text; None when none shows."""
        text = self.text
        for rect, inner, numbers in self.tutorial_rects:
            box = find_popup(sh, rect, self.tip)
            if box is None:
                continue
            inner = (box[0] + inner[0], box[1] + inner[1], inner[2], inner[3])
            found, score = text.read(sh, inner, {n: text.text("hud_tip%d" % n) for n in numbers}, "text", 0)
            # One easing in or out may be caught half drawn: only one that stays unreadable fails.
            self.unreadable = 0 if found is not None else self.unreadable + 1
            if self.unreadable >= 10:
                raise Failure("a tutorial pop-up at %s shows none of the expected texts (best %.2f)" % (
                    (box[0], box[1]), score))
            return found
        return None

    def follow(self, number):
        """Makes the clicks the pop-up asks for; True when they took."""
        asks = ASKS.get(number, [])
        if asks == "play" or not asks:
            return True
        return self.clicks(asks, gap=0.3 if number in AT_ONCE else None)

    def unstick(self, sh, number):
        """The tutorial shows nothing new: what the office shows is asked what it waits for, and
        answered as a person would. True when a click took."""
        office = self.office
        if number is not None and ASKS.get(number) not in (None, "play", []):
            return self.clicks(ASKS[number], "pop-up %d still shows: its asks again" % number)
        if office.phone_rings(sh):
            return self.clicks(["phone"], "the phone rings")
        self.read_boards(sh)
        clients = office.clients(sh)
        workers = {t: office.worker(sh, t) for t in office.tables}
        held = office.held(sh, office.boss(sh))
        if held is not None:
            where = self.carry(held, clients, workers)
            if where is None:
                return False
            if not self.clicks(*where):
                self.refused[where[0][0]] = time.monotonic() + STUCK_SECONDS
                return False
            return True
        for table, what in workers.items():
            if is_code(what):
                return self.clicks([table], "%s's work is done" % table)
        for place, what in clients.items():
            if what == "ready":
                return self.clicks([place], "a client waits at " + place)
        wanted = [(p, w) for p, w in clients.items() if is_code(w)]
        if wanted:
            return self.clicks(["shelving01"], "%s waits for %s; the boss's hands are empty" % wanted[0])
        return False

    def carry(self, held, clients, workers):
        """Where what the boss holds goes: ([target], why) to the client who wants it, to the idle
        table that works on it next, or into the bin when no one wants it (its client left): his
        hands must be free for the next errand. None when it must wait (the table busy, its worker
        away)."""
        if not self.makers:
            self.read_boards(self.s.last)
        wanted = [(p, w) for p, w in clients.items() if is_code(w)]
        for place, product in wanted:
            if held == product:
                return [place], "the boss holds %s that %s wants" % (held, place)
        useful = False
        for place, product in wanted:
            route = self.route(product) or []
            made = [BLANK] + [self.product_of(t) for t in route]
            for n, table in enumerate(route):
                if made[n] != held:
                    continue
                useful = True
                # A worker away from his desk leaves it looking idle: one that refused waits a while.
                if not workers.get(table) and self.refused.get(table, 0) < time.monotonic():
                    return [table], "the boss holds %s and %s stands idle" % (held, table)
        if not useful and "trash_bin" in self.layout.regions:
            return ["trash_bin"], "no client wants the %s the boss holds: into the bin" % held
        return None

    def product_of(self, table):
        return next((p for p, t in self.makers.items() if t == table), None)

    # --- the competent player ---
    def read_boards(self, sh):
        for table in self.office.tables:
            product = self.office.board(sh, table)
            if product:
                self.makers[product] = table

    def route(self, product):
        """The tables an order goes through, from the shelving's papers to the product."""
        tables = []
        while product:
            table = self.makers.get(product)
            if table is None:
                return None
            tables.insert(0, table)
            product = MADE_FROM.get(product)
        return tables

    def act(self, sh):
        """One errand, when there is one to make; True when the boss was sent."""
        office = self.office
        if office.phone_rings(sh):
            return self.errand("answer the phone", ["phone"])
        # A bubble that fades in shows blended colours: only what two looks agree on counts.
        now = office.clients(sh)
        clients = {p: w for p, w in now.items() if self.last_clients.get(p) == w}
        self.last_clients = now
        workers = {t: office.worker(sh, t) for t in office.tables}
        # Jobs whose client went away or was served are forgotten.
        for place in list(self.jobs):
            if clients.get(place) != self.jobs[place][0] or place not in clients:
                del self.jobs[place]
        busy = {job[1][job[2]] for job in self.jobs.values()}
        for table, what in workers.items():
            if what in ("sleep", "snore"):
                return self.errand("wake " + table, [table])
        # What the boss still holds a while after an errand (a worker was away, a click was lost)
        # goes on first; what he has just taken is on its way.
        held = office.held(sh, office.boss(sh))
        if held != self.holding[0]:
            self.holding = (held, time.monotonic())
        steady = time.monotonic() - self.holding[1] > 8
        where = self.carry(held, clients, workers) if held is not None and steady else None
        if where:
            self.log(where[1])
            if not self.together(where[0]):
                self.refused[where[0][0]] = time.monotonic() + STUCK_SECONDS
            return True
        for place, job in self.jobs.items():
            product, route, at = job
            table = route[at]
            if not is_code(workers.get(table)):
                continue
            if at + 1 < len(route):
                nxt = route[at + 1]
                if nxt in busy or workers.get(nxt):
                    continue
                job[2] = at + 1
                return self.errand("take %s's work on to %s" % (table, nxt), [table, nxt])
            del self.jobs[place]
            return self.errand("bring %s from %s to %s" % (product, table, place), [table, place])
        # Work done that no job waits for (its client's bubble was misread, a job was lost) is collected:
        # the table's own product, not a worker's icon read as a paper.
        for table, what in workers.items():
            if is_code(what) and table not in busy and what == self.product_of(table) and held is None \
                    and self.refused.get(table, 0) < time.monotonic():
                place = next((p for p, w in clients.items() if w == what and p not in self.jobs), None)
                if place:
                    return self.errand("bring %s from %s to %s, who waits for it" % (what, table, place),
                                       [table, place])
                return self.errand("collect %s's %s, which no job waits for" % (table, what), [table])
        for place, what in clients.items():
            if what == "ready":
                return self.errand("take the order at " + place, [place])
        for place, product in clients.items():
            if not is_code(product) or place in self.jobs:
                continue
            if product not in self.makers:
                self.read_boards(sh)
            route = self.route(product)
            if route is None:
                self.unknown.setdefault(product, time.monotonic())
                if time.monotonic() - self.unknown[product] > 15:
                    raise Failure("no board shows who makes %s (boards read: %s)" % (product, self.makers))
                continue
            if route[0] in busy or workers.get(route[0]):
                continue
            self.jobs[place] = [product, route, 0]
            return self.errand("have %s make %s for %s" % (route[0], product, place), ["shelving01", route[0]])
        return False

    def errand(self, what, targets):
        """Clicks the targets in turn, for the boss to walk to one after the other, and waits
        until he has gone and stands again."""
        self.log(what)
        # What did not take is not offered again at once: the boss's hands may be full of what
        # the screen does not show, and the time is better spent elsewhere.
        if not self.together(targets):
            self.refused[targets[0]] = time.monotonic() + STUCK_SECONDS
        return True

    def together(self, targets, gap=0.0):
        """Clicks all the targets, gap seconds apart, before looking; all again when the screen
        shows no sign that they took. True when they took."""
        for attempt in range(TRIES):
            sh = self.s.shot()
            points = [self.resolve(target, sh) for target in targets]
            if None in points:
                return False
            before = self.look(sh)
            for n, point in enumerate(points):
                if n and gap:
                    time.sleep(gap)
                self.s.click(*point)
            self.s.move(*PARK)
            if self.took(before):
                return True
            self.log("no sign that the clicks took%s" % ("; again" if attempt + 1 < TRIES else ""))
        return False


def find_popup(sh, rect, colours):
    """The box (x, y) of a tutorial pop-up near its place in cfg/ui.xml (it eases in and bobs), or None."""
    x, y, w, h = rect
    edge, fill = colours
    at = lambda px, py, rgb: Session.near(Session.pixel(sh, px, py), rgb, 16)
    for top in range(max(0, y - 12), min(y + 24, sh[1] - h)):
        if at(x + w // 2, top, edge) and at(x + w // 2, top + 3, fill) and at(x + 1, top + h // 2, edge) and \
                at(x + w // 2, top + h - 1, edge):
            return (x, top)
    return None


def tip_colours(data):
    """The tutorial pop-up picture's edge and fill colours."""
    w, h, rows = read_png(os.path.join(data, "images", "ui", "tutorial.png"))
    return rows[0][w // 2][:3], rows[h // 2][w // 2][:3]


def play_day(s, screens, player, day):
    """Plays the office until the debriefing shows: the asks of the tutorial's pop-ups while
    they lead, the player's own choices when a pop-up or the end of the tutorial leaves the
    office to him. Returns the last screenshot of the office and the debriefing's.

    A pop-up's asks are made when it shows. When none new shows for a while, the office is
    looked at for what the tutorial waits for: a click lost, a pop-up gone before its asks
    were made, a worker who was on a break."""
    office_shot = None
    s.step = "day %d" % day
    shown, pending, since = None, None, time.monotonic()
    while True:
        if time.monotonic() > s.deadline:
            raise Failure("out of time on day %d" % day)
        sh = s.shot()
        if screens.backdrop("debriefing_bkg")(sh):
            return office_shot, sh
        office_shot = sh
        number = player.popup(sh)
        if number != shown:
            shown, since = number, time.monotonic()
            # A pop-up easing in or bobbing may be missed for a look: only a new one is followed.
            if number is not None and number != pending:
                pending = number
                print("  pop-up %d: \"%s\"" % (number, player.text.text("hud_tip%d" % number)), flush=True)
                player.follow(number)
                continue
        if pending is None or ASKS.get(pending) == "play" or pending in HANDS_OVER:
            if not player.act(sh):
                time.sleep(0.2)
        elif time.monotonic() - since > STUCK_SECONDS:
            player.log("no new pop-up for %d s" % STUCK_SECONDS)
            player.unstick(sh, shown)
            since = time.monotonic()
        else:
            time.sleep(0.2)


def start_day(s, screens, day, via):
    """From the button via (the calendar's start, "Next day", the replay) to the office of the day."""
    s.step = "day %d: comics or briefing" % day
    pages = [COMIX[n] for n in sorted(COMIX)]
    if day in (1, 21, 41):
        screens.click_until("day %d: the comics" % day, via,
                            lambda sh: any(s.near(s.pixel(sh, *CORNER), rgb) for rgb in pages))
        s.wait("day %d: the briefing after the comics" % day, screens.backdrop("briefing_bkg"), 30, every=0.8,
               action=lambda: screens.click("comix/comix1/btn"))
    else:
        screens.click_until("day %d: the briefing" % day, via, screens.backdrop("briefing_bkg"))
    sh = s.wait("day %d: the briefing's text" % day,
                lambda sh: screens.reads(sh, "briefing/briefing_text", "brief_day%d" % day if day <= 3
                                         else "brief_day_more", "text_big", 2), 10)
    screens.save(sh, "day%d_briefing" % day)
    screens.click_until("day %d: the office" % day, "briefing/continue",
                        lambda sh: not screens.backdrop("briefing_bkg")(sh))


def debriefing(s, screens, day, office_shot, sh):
    screens.save(office_shot, "day%d_office" % day)
    # The earnings count up for 1.5 s; the outcome stands from the start.
    outcome = None
    end = time.monotonic() + 10
    while outcome is None and time.monotonic() < end:
        outcome = screens.read(sh, "debriefing/result_text",
                               {k: screens.text.text(k) for k in ("db07_failure", "db07_goal", "db07_expert")},
                               "title", 2)
        if outcome is None:
            time.sleep(0.3)
            sh = s.shot()
    time.sleep(2)
    sh = s.shot()
    screens.save(sh, "day%d_debriefing" % day)
    if outcome is None:
        raise Failure("day %d: the debriefing's result is none of goal, expert, failure" % day)
    print("  day %d ended: %s" % (day, screens.text.text(outcome)), flush=True)
    return outcome


class Run:
    """What the phases of the play share."""

    def __init__(self, s, ui, layout, text, game, data, out):
        self.s, self.ui, self.layout, self.text, self.game, self.data = s, ui, layout, text, game, data
        self.screens = Screens(s, ui, text, out)
        self.tip = tip_colours(data)
        # The office's pictures: order products (their halves), the bubbles' icons and the boss's coat.
        looks = [a[len("status_production"):] for a in anim_frames(REPO, "status_production")[0]
                 if a != "status_productionidle"]
        products = Pictures(REPO, data, "status_production", "status_production", looks,
                            also=["status_bubble"])
        icons = Pictures(REPO, data, "status_type", "status_type", ICONS, also=["status_bubble"], main=15)
        self.pictures = (products, icons, shade(PARTS["boss"][3], SKIN_SHADES["man"]))
        # Pop-up places, where their texts lie, and the pop-ups that show there.
        places = {}
        for name in ui.rects:
            number = name[len("hud/tutorial"):]
            if name.startswith("hud/tutorial") and number.isdigit():
                n = int(number)
                x, y, w, h = ui.rect(name)
                tx, ty, tw, th = ui.rect("%s/tip%d_text" % (name, n))
                places.setdefault(((x, y, w, h), (tx - x, ty - y, tw, th)), []).append(n)
        self.tutorial_rects = [(rect, inner, numbers) for (rect, inner), numbers in places.items()]

    def to_main_menu(self, what):
        s = self.s
        self.screens.wait_backdrop(what, "splash1")
        s.wait("main menu after the splash", self.screens.backdrop("menu_bkg"), 20, every=0.7,
               action=lambda: s.keys("key", "space"))

    def new_profile(self):
        s, ui, screens = self.s, self.ui, self.screens
        self.to_main_menu("splash page 1")
        # First start: the create-profile form opens by itself.
        form = "main_menu/create_profile"
        x, y, w, h = ui.rect(form)
        corner = (x + w - 8, y + h - 8)
        s.wait_colour("create-profile form", corner, (215, 230, 215))
        s.click(*ui.centre(form + "/entername_text"))
        s.keys("type", "--delay", "40", PROFILE)
        s.click(*ui.centre(form + "/bossman_btn"))
        screens.click_until("profile created", form + "/create",
                            lambda sh: s.near(s.pixel(sh, *corner), BACKDROPS["menu_bkg"]))

    def career(self, days):
        s, screens = self.s, self.screens
        screens.click_until("career calendar", "main_menu/main_menu_dlg/career", screens.backdrop("career_bkg"))
        s.wait("the calendar names the new profile at day 1",
               lambda sh: screens.reads(sh, "career/career_info", "mn04_info", "text", 0, profilename=PROFILE,
                                        reachedday=1), 10)
        via = "career/start"
        for day in days:
            # The tutorial leads its days to the goal: they must reach it at once. A day of free
            # play is the player's own skill against the clock, which a loaded machine slows as
            # it slows the player's looks: a missed goal there is played again from the
            # debriefing, as a person would, before it counts as a fault.
            tries = 1 if day in GUIDED else 1 + REPLAYS
            for attempt in range(tries):
                start_day(s, screens, day, via)
                office = Office(s, self.layout, os.path.join(self.data, "cfg", "l%d.xml" % day), self.pictures)
                player = Player(s, office, self.text, self.layout, self.tip, self.tutorial_rects)
                office_shot, sh = play_day(s, screens, player, day)
                if debriefing(s, screens, day, office_shot, sh) != "db07_failure":
                    break
                if attempt + 1 == tries:
                    raise Failure("day %d ended below its goal%s" % (day, " %d times" % tries if tries > 1 else ""))
                print("  day %d: the goal missed; the day again from the debriefing" % day, flush=True)
                via = "debriefing/replay"
            via = "debriefing/continue"
        # "Next day" after the last leads to the next; it is left from its office by the escape menu.
        start_day(s, screens, days[-1] + 1, via)
        leave_level(s, screens, self.ui)

    def survival(self, seconds):
        s, screens = self.s, self.screens
        screens.click_until("survival menu", "main_menu/main_menu_dlg/survival", screens.backdrop("survival_bkg"))
        screens.click_until("survival office", "survival/start", lambda sh: not screens.backdrop("survival_bkg")(sh)
                            and not screens.backdrop("load_bkg")(sh), 30)
        play_survival(s, screens, self.layout, self.data, self.pictures, self.ui, seconds)
        leave_level(s, screens, self.ui)

    def restart(self, day):
        """Quits, starts again and checks the profile: current, with time played, `day` open."""
        s, ui, text, screens, game = self.s, self.ui, self.text, self.screens, self.game
        quit_game(s, screens, ui, game)
        game.start()
        self.to_main_menu("splash page 1 after the restart")
        played = {}
        for h in range(0, 3):
            for m in range(0, 60):
                played[(h, m)] = text.text("mn01_profile1", profilename1=PROFILE, progressmonth1=(day - 1) // 20 + 1,
                                           progressday1=DAY_OF_MONTH[day], hoursplayed1=h, minutesplayed1=m)
        seen = {}

        def profile_shown(sh):
            # The panel shows the profile on one of its two rows.
            for row in (1, 2):
                seen["played"], _ = text.read(sh, ui.rect("main_menu/profile_dlg/profile_text%d" % row), played, "text")
                if seen["played"]:
                    return True
            return False
        sh = s.wait("the menu shows the profile at day %d" % day, profile_shown, 20)
        screens.save(sh, "restart_menu")
        h, m = seen["played"]
        print("  the profile shows %d h %d min played" % (h, m), flush=True)
        if h == 0 and m == 0:
            raise Failure("the profile shows no time played after the restart")
        screens.click_until("career calendar after the restart", "main_menu/main_menu_dlg/career",
                            screens.backdrop("career_bkg"))
        sh = s.wait("the calendar names the profile at day %d" % day,
                    lambda sh: screens.reads(sh, "career/career_info", "mn04_info", "text", 0, profilename=PROFILE,
                                             reachedday=day), 10)
        screens.save(sh, "restart_calendar")
        check_calendar(s, screens, ui, self.data, day)
        screens.click_until("main menu", "career/back", screens.backdrop("menu_bkg"))
        quit_game(s, screens, ui, game)


# The day of the month of each career day of the first month (the calendar's).
DAY_OF_MONTH = [0, 1, 4, 5, 6, 7, 8, 11, 12, 14, 15, 18, 19, 20, 21, 22, 25, 26, 27, 28, 29]


def play(run):
    run.new_profile()
    run.career([1, 2, 3])
    run.survival(SURVIVAL_SECONDS)
    run.restart(4)


def check_calendar(s, screens, ui, data, day):
    """The day is open (marked, and its button answers); the next is not; a played one is."""
    # The mark's frame round the day's button, placed 16 and 14 pixels up and left of it: where its
    # left side crosses the mark's middle row, and its colour, from the picture.
    mark = read_png(os.path.join(data, "images", "screens", "day_mark.png"))[2]
    row = mark[len(mark) // 2]
    edge = next(x for x, p in enumerate(row) if p[3] == 255)

    def marked(sh, d):
        x, y, _, _ = ui.rect("career/career_day%d" % d)
        return s.near(s.pixel(sh, x - 16 + edge + 1, y - 14 + len(mark) // 2), row[edge][:3], 24)
    s.wait("the calendar marks day %d" % day, lambda sh: marked(sh, day), 5)
    screens.click_until("a played day can be chosen again", "career/career_day%d" % (day - 1),
                        lambda sh: marked(sh, day - 1))
    screens.click("career/career_day%d" % (day + 1))
    # A day not open does not answer: the mark stays where it was.
    end = time.monotonic() + 1.5
    while time.monotonic() < end:
        if marked(s.shot(), day + 1):
            raise Failure("day %d could be chosen, though day %d is not played" % (day + 1, day))
    screens.click_until("day %d can be chosen" % day, "career/career_day%d" % day, lambda sh: marked(sh, day))
    print("  ok: day %d is open, day %d is not" % (day, day + 1), flush=True)


def play_survival(s, screens, layout, data, pictures, ui, seconds):
    office = Office(s, layout, os.path.join(data, "cfg", "endless1.xml"), pictures)
    player = Player(s, office, screens.text, layout)
    upgrades = Upgrades(s, screens, ui, data)
    lives = [ui.centre("hud/survival_lives/life%d" % n) for n in (1, 2, 3)]
    sh = s.shot()
    full = [s.pixel(sh, *p) for p in lives]
    start = time.monotonic()
    last = sh
    s.step = "survival 1"
    while time.monotonic() - start < seconds:
        if time.monotonic() > s.deadline:
            raise Failure("out of time in survival")
        sh = s.shot()
        if screens.backdrop("debriefing_bkg")(sh):
            screens.save(last, "survival_office")
            screens.save(sh, "survival_debriefing")
            raise Failure("survival 1 was lost after %.0f s" % (time.monotonic() - start))
        if upgrades.act(sh):
            continue
        last = sh
        if not player.act(sh):
            time.sleep(0.2)
    left = sum(1 for p, f in zip(lives, full) if s.near(s.pixel(last, *p), f))
    screens.save(last, "survival_office")
    print("  ok: survival 1 played for %d s, %d of 3 lives left, %d upgrade(s) taken" % (
        seconds, left, len(upgrades.taken)), flush=True)


class Upgrades:
    """The panel's Upgrade button, lit when the office may grow, and the dialog it opens: the
    upgrade liked best is taken, as the competent player of tools/balance.cpp takes it."""

    LIKING = ["db08_upgrade_presentation", "db08_upgrade_table"]

    def __init__(self, s, screens, ui, data):
        self.s, self.screens, self.ui = s, screens, ui
        # The lit button's frame, the dialog's fill and the chosen picture's tick, from their pictures.
        self.lit = read_png(os.path.join(data, "images", "button.png"))[2][0][0][:3]
        self.panel = read_png(os.path.join(data, "images", "level", "panel_upgrade.png"))[2][10][10][:3]
        tick = read_png(os.path.join(data, "images", "screens", "check_big.png"))[2]
        self.tick = max((p for row in tick for p in row), key=lambda p: p[3])[:3]
        self.names = {k: screens.text.text(k) for k in screens.text.texts
                      if k.startswith("db08_upgrade_")}
        self.taken = []

    def offered(self, sh):
        x, y, _, _ = self.ui.rect("hud/upgrade_btn")
        return self.s.near(self.s.pixel(sh, x + 1, y + 1), self.lit, 12)

    def dialog(self, sh):
        x, y, _, _ = self.ui.rect("upgrade")
        return self.s.near(self.s.pixel(sh, x + 10, y + 10), self.panel) and \
            self.screens.reads(sh, "upgrade/description_text", "db08_title", "title", 0)

    def ticked(self, sh, n):
        rect = self.ui.rect("upgrade/pic%d/check" % n)
        return sum(1 for _, _, p in region(sh, rect) if near(p, self.tick, 12)) >= 20

    def act(self, sh):
        """Opens the dialog when the button is lit, takes an upgrade when the dialog shows; True when
        it did either."""
        s, screens = self.s, self.screens
        if not self.dialog(sh):
            if not self.offered(sh):
                return False
            print("    %5.1f s: the Upgrade button is lit" % (time.monotonic() - s.started), flush=True)
            sh = screens.click_until("the upgrade dialog", "hud/upgrade_btn", self.dialog)
        shown = {}
        for n in (1, 2, 3):
            name = screens.read(sh, "upgrade/pic%d/text" % n, self.names, "text", 0)
            if name:
                shown[name] = n
        liked = [k for k in self.LIKING if k in shown] or sorted(shown)
        if not liked:
            raise Failure("the upgrade dialog offers none of %s" % sorted(self.names))
        n = shown[liked[0]]
        screens.click_until("the tick on \"%s\"" % screens.text.text(liked[0]), "upgrade/pic%d/pic" % n,
                            lambda sh: self.ticked(sh, n))
        screens.save(s.last, "survival_upgrade")
        screens.click_until("the upgrade dialog closed", "upgrade/upgrade", lambda sh: not self.dialog(sh))
        self.taken.append(liked[0])
        print("  ok: upgrade taken: \"%s\" (offered: %s)" % (
            screens.text.text(liked[0]), ", ".join(sorted(shown))), flush=True)
        return True


def leave_level(s, screens, ui):
    """The escape menu's "Main menu", confirmed."""
    box = (ui.rect("dialogbox_2button")[0] + 6, ui.rect("dialogbox_2button")[1] + 190)
    esc = (ui.rect("escape_menu")[0] + 8, ui.rect("escape_menu")[1] + 8)
    s.wait("escape menu", lambda sh: s.near(s.pixel(sh, *esc), (200, 200, 200)), 15, every=1.0,
           action=lambda: s.keys("key", "Escape"))
    screens.click_until("leave-the-level question", "escape_menu/quit",
                        lambda sh: s.near(s.pixel(sh, *box), (245, 225, 215)))
    screens.click_until("main menu after the level", "dialogbox_2button/btn_yes", screens.backdrop("menu_bkg"))


def quit_game(s, screens, ui, game):
    box = (ui.rect("dialogbox_2button")[0] + 6, ui.rect("dialogbox_2button")[1] + 190)
    screens.click_until("quit question", "main_menu/main_menu_dlg/quit",
                        lambda sh: s.near(s.pixel(sh, *box), (245, 225, 215)))
    screens.click("dialogbox_2button/btn_yes")
    game.wait_exit(s)


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        return 2
    binary, data = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    out = os.path.abspath(sys.argv[3]) if len(sys.argv) == 4 else os.path.join(os.path.dirname(binary), "e2e-shots")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    ui = Layout(os.path.join(data, "cfg", "ui.xml"))
    layout = OfficeLayout(os.path.join(data, "cfg", "office.xml"))
    text = TextReader(data)
    deadline = time.monotonic() + TOTAL_SECONDS
    tmp = tempfile.mkdtemp(prefix="pemberly_career_")
    xvfb, display = start_x(tmp)
    game = Game(binary, data, display, tmp)
    print("screenshots go to " + out, flush=True)
    try:
        s = Session(display, deadline, out)
        game.start()
        try:
            play(Run(s, ui, layout, text, game, data, out))
        except Failure as e:
            print("FAILED at '%s': %s" % (s.step, e))
            if s.last:
                save_png(s.last, os.path.join(out, "e2e_failed.png"))
            if game.proc.poll() is not None:
                print("the game had exited with %d" % game.proc.returncode)
            game.stop()
            if game.log_path:
                shutil.copy(game.log_path, os.path.join(out, "game.log"))
                print(open(game.log_path, errors="replace").read()[-4000:])
            print("screenshots and the game's log kept in " + out)
            return 1
        print("passed in %.0f s; screenshots in %s" % (time.monotonic() - s.started, out))
        shutil.rmtree(tmp, ignore_errors=True)
        return 0
    finally:
        stop(game.proc, xvfb)


if __name__ == "__main__":
    sys.exit(main())
