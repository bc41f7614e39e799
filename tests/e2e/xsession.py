"""What the end-to-end plays share: an X server of their own, screenshots,
clicks and keys through xdotool, and the positions of the sample's layouts."""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
import zlib

SKIP = 77
# A loaded machine runs the game (under the sanitizers above all) several times
# slower than a quiet one: every wait allows for it. A quiet run never waits longer.
SLOWDOWN = 3
# What SDL says when it cannot reach the X server: the server's fault, not the game's.
X_UNREACHABLE = ("x11 not available", "No available video device", "Couldn't open X11 display")


class Failure(Exception):
    pass


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(SKIP)


class Layout:
    """Absolute rectangles of the named elements of cfg/ui.xml."""

    def __init__(self, path):
        self.rects = {}
        root = ET.parse(path).getroot()
        for top in root.findall("element"):
            self._walk(top, 0, 0, top.get("name"))

    def _walk(self, node, px, py, path):
        x, y = px + int(node.get("x", 0)), py + int(node.get("y", 0))
        self.rects[path] = (x, y, int(node.get("width", 0)), int(node.get("height", 0)))
        for child in node.findall("element"):
            self._walk(child, x, y, path + "/" + child.get("name"))

    def rect(self, path):
        if path not in self.rects:
            raise Failure("cfg/ui.xml has no " + path)
        return self.rects[path]

    def centre(self, path):
        x, y, w, h = self.rect(path)
        return x + w // 2, y + h // 2

    def inside(self, path, dx=4, dy=None):
        """A point just inside the element's left edge, halfway down unless dy is given."""
        x, y, w, h = self.rect(path)
        return x + dx, y + (h // 2 if dy is None else dy)


def office_regions(path):
    """Click regions (x0, y0, x1, y1) of the office's objects, by name."""
    out = {}
    for obj in ET.parse(path).getroot().iter("object"):
        rgn = obj.get("rgn")
        if obj.get("name") and rgn:
            v = [int(n) for n in rgn.split()]
            out[obj.get("name")] = (min(v[0::2]), min(v[1::2]), max(v[0::2]), max(v[1::2]))
    return out


def region(shot, rect):
    """(x, y, (r, g, b)) of every screen pixel in rect (x, y, width, height), clipped to the screen."""
    w, h, data = shot
    x0, y0, rw, rh = rect
    x1, y1 = min(w, x0 + rw), min(h, y0 + rh)
    x0, y0 = max(0, x0), max(0, y0)
    for y in range(y0, y1):
        row = data[(y * w + x0) * 3:(y * w + x1) * 3]
        for i in range(0, len(row), 3):
            yield x0 + i // 3, y, (row[i], row[i + 1], row[i + 2])


def save_png(shot, path):
    """Writes a screenshot (width, height, RGB bytes) as a PNG."""
    w, h, data = shot
    rows = b"".join(b"\0" + data[y * w * 3:(y + 1) * w * 3] for y in range(h))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


class Session:
    def __init__(self, display, deadline, out=None):
        self.display = display
        self.deadline = deadline
        # Where a failure leaves the screen it saw last.
        self.out = out or os.environ.get("E2E_SHOTS", tempfile.gettempdir())
        self.env = dict(os.environ, DISPLAY=display)
        self.step = "start"
        self.last = None
        self.started = time.monotonic()

    def shot(self):
        """The screen as (width, height, RGB bytes)."""
        ppm = subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8", "ppm:-"],
                             env=self.env, capture_output=True, timeout=10).stdout
        # P6 header: magic, width, height, maxval, each followed by whitespace.
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6":
            raise Failure("no screenshot")
        self.last = (int(fields[1]), int(fields[2]), ppm[pos + 1:])
        return self.last

    @staticmethod
    def pixel(shot, x, y):
        w, _, data = shot
        i = (y * w + x) * 3
        return tuple(data[i:i + 3])

    @staticmethod
    def near(a, b, tolerance=10):
        # The game may draw in 16 bits: a channel can be off by up to 8.
        return all(abs(p - q) <= tolerance for p, q in zip(a, b))

    def wait(self, what, test, timeout, every=0.2, action=None):
        """Polls screenshots until test(shot) holds; action() runs between polls."""
        self.step = what
        end = min(time.monotonic() + timeout * SLOWDOWN, self.deadline)
        last = None
        while time.monotonic() < end:
            last = self.shot()
            if os.environ.get("E2E_TRACE"):
                print("    %.1f %s" % (time.monotonic(), self.pixel(last, 10, 10)), flush=True)
            if test(last):
                print("  ok at %5.1f s: %s" % (time.monotonic() - self.started, what), flush=True)
                return last
            if action:
                action()
            time.sleep(every)
        if last:
            save_png(last, os.path.join(self.out, "e2e_failed.png"))
        raise Failure("timed out waiting for " + what)

    def wait_colour(self, what, point, rgb, timeout=15):
        return self.wait(what, lambda s: self.near(self.pixel(s, *point), rgb), timeout)

    def click(self, x, y):
        # A control takes a click only under a hovering mouse: move onto it first.
        subprocess.run(["xdotool", "mousemove", "--sync", str(x - 3), str(y - 3)], env=self.env, check=True)
        time.sleep(0.05)
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y)], env=self.env, check=True)
        time.sleep(0.05)
        subprocess.run(["xdotool", "click", "1"], env=self.env, check=True)

    def move(self, x, y):
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y)], env=self.env, check=True)

    def keys(self, *args):
        subprocess.run(["xdotool"] + list(args), env=self.env, check=True)


def die_with_parent():
    """For a child process: ends it when the test that started it ends, however it ends."""
    import ctypes
    import signal
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)   # PR_SET_PDEATHSIG


def _display_in_use(n):
    """Whether anything holds display n: a lock file, a socket file (live or left behind) or an
    abstract socket."""
    if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
        return True
    try:
        with open("/proc/net/unix") as f:
            return any(line.rstrip().endswith("@/tmp/.X11-unix/X%d" % n) for line in f)
    except OSError:
        return False


def _write_cookie(path, display_number):
    """An authority file with one fresh cookie for the display, for any host (see Xsecurity)."""
    def field(b):
        return struct.pack(">H", len(b)) + b
    with open(path, "wb") as f:
        f.write(struct.pack(">H", 0xFFFF) + field(b"") + field(str(display_number).encode()) +
                field(b"MIT-MAGIC-COOKIE-1") + field(os.urandom(16)))


def start_x(tmp, screen="800x600x24", attempts=6):
    """Starts Xvfb on a display of its own; (process, ":N").

    Tests started together must not meet on one display, nor take a server whose files another
    left behind for their own: the number is drawn at random among those nothing holds, and the
    server gets a cookie of its own (exported as XAUTHORITY for every client started after), so a
    client that gets in has reached this server. A server that exits or takes no clients in time
    is given up for another number."""
    if not shutil.which("Xvfb"):
        skip("Xvfb is not installed (tools/install-deps.sh installs it)")
    for tool in ("xdotool", "import"):
        if not shutil.which(tool):
            skip(tool + " is not installed (tools/install-deps.sh installs it)")
    rng = random.Random(os.getpid() ^ time.time_ns())
    cookie = os.path.join(tmp, "xauthority")
    log_path = os.path.join(tmp, "xvfb.log")
    why = "no free display"
    for _ in range(attempts):
        free = [n for n in rng.sample(range(100, 1000), 50) if not _display_in_use(n)]
        if not free:
            continue
        n = free[0]
        display = ":%d" % n
        _write_cookie(cookie, n)
        env = dict(os.environ, DISPLAY=display, XAUTHORITY=cookie)
        try:
            with open(log_path, "a") as log:
                xvfb = subprocess.Popen(["Xvfb", display, "-auth", cookie, "-screen", "0", screen, "-nolisten", "tcp",
                                         "-noreset"],
                                        stdout=subprocess.DEVNULL, stderr=log, preexec_fn=die_with_parent)
        except OSError as e:
            skip("Xvfb cannot start: %s" % e)
        # A loaded machine can take seconds before the server listens.
        end = time.monotonic() + 10 * SLOWDOWN
        while xvfb.poll() is None and time.monotonic() < end:
            if subprocess.run(["xdotool", "getdisplaygeometry"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                os.environ["XAUTHORITY"] = cookie
                return xvfb, display
            time.sleep(0.2)
        why = "Xvfb on %s %s" % (display, "exited with %d" % xvfb.returncode if xvfb.poll() is not None
                                  else "took no clients")
        print("  %s; trying another display" % why, flush=True)
        xvfb.kill()
        xvfb.wait()
    skip("no X server could be started (%s; see %s)" % (why, log_path))


def write_pref(path, windowed=True, profile="Tester", boss="man"):
    """A pref.dat with one profile, current, and the window mode given (docs/pref-dat.md)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    header = b"PREF" + struct.pack("<IiiIiiBB2x", 1, 1, 0, 0, 100, 100, 1 if windowed else 0, 0)
    tables = bytes(2 * 10 * 524)
    name = profile.encode("utf-16-le")
    record = boss.encode().ljust(260, b"\0") + name.ljust(520, b"\0") + struct.pack("<i", 1)
    record += bytes(4 * 60) + struct.pack("<f", 0.0)
    with open(path, "wb") as f:
        f.write(header + tables + record)


def game_env(display, home, data):
    """The game's environment: the display, user folders under home, no browser, no sound device."""
    xdg = os.path.join(home, "xdg")
    os.makedirs(xdg, exist_ok=True)
    env = dict(os.environ, DISPLAY=display, XDG_DATA_HOME=xdg, XDG_CONFIG_HOME=os.path.join(home, "config"),
               HOME=home, PEMBERLY_DATA=data, PEMBERLY_NO_URL="1", SDL_VIDEODRIVER="x11",
               SDL_AUDIODRIVER="dummy")
    # Under X, SDL's desktop-bus library keeps memory to the end that the leak checker
    # reports without a usable stack; the unit tests check the game's own leaks.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    return env


def pref_path(home):
    return os.path.join(home, "xdg", "Corvane Games", "Pemberly", "pref.dat")


def settings_path(home):
    return os.path.join(home, "config", "Corvane Games", "Pemberly", "settings.ini")


def stop(game, xvfb):
    """Ends the game (when it still runs) and the X server."""
    if game and game.poll() is None:
        game.kill()
        game.wait()
    xvfb.terminate()
    try:
        xvfb.wait(timeout=5)
    except subprocess.TimeoutExpired:
        xvfb.kill()


def start_game(command, env, cwd, log_path, attempts=3):
    """Starts the game (a command line) and waits for its window. On a loaded machine the X server can
    turn a first client away; the game then only shows why: it is started again. Turned away every time,
    the run is skipped, as without an X server: only the game's own faults fail a play."""
    game = None
    for _ in range(attempts):
        with open(log_path, "w") as log:
            game = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT, cwd=cwd,
                                    preexec_fn=die_with_parent)
        end = time.monotonic() + 30
        while time.monotonic() < end and game.poll() is None:
            if subprocess.run(["xdotool", "search", "--name", "^Pemberly$"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return game
            with open(log_path, errors="replace") as log:
                if any(text in log.read() for text in X_UNREACHABLE):
                    break
            time.sleep(0.2)
        else:
            return game   # exited or slow: the caller's waits tell
        print("  the X server turned the game away; starting it again", flush=True)
        game.kill()
        game.wait()
    skip("the X server turned the game away %d times" % attempts)


def report_failure(s, error, game, log_path, kept):
    """What a failed play prints: the step, the game's end, its last output, where the files stay."""
    print("FAILED at '%s': %s" % (s.step, error))
    if game.poll() is not None:
        print("the game had exited with %d" % game.returncode)
    with open(log_path) as log:
        print(log.read()[-4000:])
    print("screens and logs kept in " + kept)
