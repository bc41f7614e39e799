"""What the office shows on a screenshot, read as a person reads it.

Objects are found where cfg/office.xml puts them; pictures are known by the
colours of the sample's animation frames (tools/anm/<part>.txt names the
frames of data/images/office/<part>.png), so a bubble's order or a board's
symbol is the picture whose own colours show in its place."""
import os
import re
import struct
import xml.etree.ElementTree as ET
import zlib

from xsession import region


def read_png(path):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise ValueError(path + ": not an 8-bit RGB(A) picture")
            bpp = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) + ((line[x * bpp + 3],) if bpp == 4 else (255,))
                     for x in range(width)])
        prev = line
    return width, height, rows


def anim_frames(repo, part):
    """{animation name: [(x, y, w, h), ...]} and the picture of a part, from tools/anm/<part>.txt."""
    anims, image, name = {}, None, None
    for line in open(os.path.join(repo, "tools", "anm", part + ".txt")):
        words = line.split()
        if not words:
            continue
        if words[0] == "anim":
            name = words[1]
            anims[name] = []
        elif words[0] == "image":
            image = words[1].replace("\\", "/")
        elif words[0] == "frame" and name:
            anims[name].append(tuple(int(v) for v in words[1:5]))
    return anims, image


def opaque_colours(picture, rects):
    """{colour: pixel count} of the fully opaque pixels inside the rectangles."""
    _, _, rows = picture
    out = {}
    for x0, y0, w, h in rects:
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                p = rows[y][x]
                if p[3] == 255:
                    out[p[:3]] = out.get(p[:3], 0) + 1
    return out


class Pictures:
    """The colours that tell the looks of a part apart: each look's main colours (those that
    cover many of its pixels: `main` or more) that no other look, nor the parts it is shown with, has."""

    def __init__(self, repo, data, part, prefix, looks, also=(), main=30):
        self.least_main = main
        anims, image = anim_frames(repo, part)
        picture = read_png(os.path.join(data, image))
        main = {look: self.main(opaque_colours(picture, anims.get(prefix + look, [])[:1])) for look in looks}
        shared = set()
        for other_part in also:
            other_anims, other_image = anim_frames(repo, other_part)
            other = read_png(os.path.join(data, other_image))
            for rects in other_anims.values():
                shared |= self.main(opaque_colours(other, rects[:1]))
        self.own = {}
        for look, cs in main.items():
            others = set().union(*(c for k, c in main.items() if k != look)) | shared
            self.own[look] = {c for c in cs if not any(near(c, o, 12) for o in others)}

    def main(self, counts):
        return {c for c, n in counts.items() if n >= self.least_main}

    def seen(self, shot, rects, least=12):
        """{look: pixels} for every look whose own colours cover at least `least` pixels of the rects."""
        counts = {}
        for rect in rects:
            for c, n in colour_counts(shot, rect).items():
                counts[c] = counts.get(c, 0) + n
        found = {}
        for look, cs in self.own.items():
            n = sum(k for c, k in counts.items() if any(near(c, o, 6) for o in cs))
            if n >= least:
                found[look] = n
        return found


def near(a, b, tolerance=10):
    # The game may draw in 16 bits: a channel can be off by up to 8.
    return abs(a[0] - b[0]) <= tolerance and abs(a[1] - b[1]) <= tolerance and abs(a[2] - b[2]) <= tolerance


def colour_counts(shot, rect):
    out = {}
    for _, _, p in region(shot, rect):
        out[p] = out.get(p, 0) + 1
    return out


def find_colour(shot, rgb, top=0):
    """Bounding box (x0, y0, x1, y1) of the pixels of exactly this colour at or below row `top`, or None."""
    w, h, data = shot
    pattern = re.escape(bytes(rgb))
    x0 = y0 = 1 << 30
    x1 = y1 = -1
    for m in re.finditer(pattern, data[top * w * 3:]):
        i = m.start()
        if i % 3:
            continue
        y, x = divmod(i // 3, w)
        x0, x1 = min(x0, x), max(x1, x)
        y0, y1 = min(y0, y + top), max(y1, y + top)
    return None if x1 < 0 else (x0, y0, x1, y1)


class OfficeLayout:
    """Where cfg/office.xml puts the objects and their visual parts."""

    def __init__(self, path):
        self.pos, self.regions, self.parts = {}, {}, {}
        for obj in ET.parse(path).getroot().iter("object"):
            name = obj.get("name")
            if not name:
                continue
            key = (obj.get("class"), name)
            self.pos[key] = (int(obj.get("pos_x", 0)), int(obj.get("pos_y", 0)))
            self.parts[key] = [(p.get("name"), int(p.get("offs_x", 0)), int(p.get("offs_y", 0)))
                               for p in obj.findall("part")]
            if obj.get("rgn"):
                v = [int(n) for n in obj.get("rgn").split()]
                self.regions[name] = (min(v[0::2]), min(v[1::2]), max(v[0::2]), max(v[1::2]))

    def point(self, name, fx=0.5, fy=0.5):
        x0, y0, x1, y1 = self.regions[name]
        return int(x0 + (x1 - x0) * fx), int(y0 + (y1 - y0) * fy)

    def owner_pos(self, owner):
        return next(self.pos[(cls, owner)] for cls in ("client", "worker", "phone") if (cls, owner) in self.pos)

    def bubble_parts(self, owner, part, w, h, margin=4):
        """Screen rectangles of the named parts of the status bubble over `owner` (a client, worker or
        the phone): the bubble stands at its owner's position."""
        name = owner if owner.startswith("client") else owner + "_bubble"
        if ("status_bubble", name) not in self.parts:
            return []
        ox, oy = self.owner_pos(owner)
        return [(ox + dx - margin, oy + dy - margin, w + 2 * margin, h + 2 * margin)
                for p, dx, dy in self.parts[("status_bubble", name)] if p == part]

    def part_rect(self, cls, name, part, w, h, margin=2):
        if (cls, name) not in self.pos:
            return None
        x, y = self.pos[(cls, name)]
        for p, dx, dy in self.parts[(cls, name)]:
            if p == part:
                return (x + dx - margin, y + dy - margin, w + 2 * margin, h + 2 * margin)
        return None
