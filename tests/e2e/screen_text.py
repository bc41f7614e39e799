"""Reads the game's texts off a screenshot.

A text is known by what it must look like: the expected text (cfg/loc.xml)
is laid out as the game lays it out (its font through FreeType with the same
load flags, the same greedy word wrap, centred or left lines) and its glyph
coverage is compared with the ink found in the control's rectangle on screen.
Reading tells which of a few expected texts is shown, not free text."""
import ctypes
import ctypes.util
import os
import re
import xml.etree.ElementTree as ET

from xsession import region


class _Generic(ctypes.Structure):
    _fields_ = [("data", ctypes.c_void_p), ("finalizer", ctypes.c_void_p)]


class _Bitmap(ctypes.Structure):
    _fields_ = [("rows", ctypes.c_uint), ("width", ctypes.c_uint), ("pitch", ctypes.c_int),
                ("buffer", ctypes.POINTER(ctypes.c_ubyte)), ("num_grays", ctypes.c_ushort),
                ("pixel_mode", ctypes.c_ubyte), ("palette_mode", ctypes.c_ubyte), ("palette", ctypes.c_void_p)]


class _GlyphSlot(ctypes.Structure):
    _fields_ = [("library", ctypes.c_void_p), ("face", ctypes.c_void_p), ("next", ctypes.c_void_p),
                ("glyph_index", ctypes.c_uint), ("generic", _Generic), ("metrics", ctypes.c_long * 8),
                ("linearHoriAdvance", ctypes.c_long), ("linearVertAdvance", ctypes.c_long),
                ("advance", ctypes.c_long * 2), ("format", ctypes.c_uint), ("bitmap", _Bitmap),
                ("bitmap_left", ctypes.c_int), ("bitmap_top", ctypes.c_int)]


class _SizeMetrics(ctypes.Structure):
    _fields_ = [("x_ppem", ctypes.c_ushort), ("y_ppem", ctypes.c_ushort), ("x_scale", ctypes.c_long),
                ("y_scale", ctypes.c_long), ("ascender", ctypes.c_long), ("descender", ctypes.c_long),
                ("height", ctypes.c_long), ("max_advance", ctypes.c_long)]


class _Size(ctypes.Structure):
    _fields_ = [("face", ctypes.c_void_p), ("generic", _Generic), ("metrics", _SizeMetrics)]


class _Face(ctypes.Structure):
    _fields_ = [("num_faces", ctypes.c_long), ("face_index", ctypes.c_long), ("face_flags", ctypes.c_long),
                ("style_flags", ctypes.c_long), ("num_glyphs", ctypes.c_long), ("family_name", ctypes.c_char_p),
                ("style_name", ctypes.c_char_p), ("num_fixed_sizes", ctypes.c_int),
                ("available_sizes", ctypes.c_void_p), ("num_charmaps", ctypes.c_int), ("charmaps", ctypes.c_void_p),
                ("generic", _Generic), ("bbox", ctypes.c_long * 4), ("units_per_EM", ctypes.c_ushort),
                ("metrics", ctypes.c_short * 7), ("glyph", ctypes.POINTER(_GlyphSlot)),
                ("size", ctypes.POINTER(_Size)), ("charmap", ctypes.c_void_p)]


_FT_LOAD_NO_BITMAP = 0x8
_FT_PIXEL_MODE_GRAY = 2
_ft = None


def _freetype():
    global _ft
    if _ft is None:
        _ft = ctypes.CDLL(ctypes.util.find_library("freetype") or "libfreetype.so.6")
        _ft.FT_New_Face.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_long,
                                    ctypes.POINTER(ctypes.POINTER(_Face))]
        _ft.FT_Set_Pixel_Sizes.argtypes = [ctypes.POINTER(_Face), ctypes.c_uint, ctypes.c_uint]
        _ft.FT_Get_Char_Index.argtypes = [ctypes.POINTER(_Face), ctypes.c_ulong]
        _ft.FT_Get_Char_Index.restype = ctypes.c_uint
        _ft.FT_Load_Glyph.argtypes = [ctypes.POINTER(_Face), ctypes.c_uint, ctypes.c_int32]
        _ft.FT_Render_Glyph.argtypes = [ctypes.POINTER(_GlyphSlot), ctypes.c_int]
    return _ft


class Font:
    """A face at a pixel size, its glyphs rendered as the game renders them."""

    def __init__(self, path, size):
        ft = _freetype()
        self.library = ctypes.c_void_p()
        if ft.FT_Init_FreeType(ctypes.byref(self.library)) != 0:
            raise RuntimeError("FreeType does not start")
        self.face = ctypes.POINTER(_Face)()
        if ft.FT_New_Face(self.library, path.encode(), 0, ctypes.byref(self.face)) != 0:
            raise RuntimeError("FreeType cannot read " + path)
        ft.FT_Set_Pixel_Sizes(self.face, 0, size)
        m = self.face.contents.size.contents.metrics
        self.ascent = (m.ascender + 63) >> 6
        self.line_step = self.ascent + ((-m.descender + 63) >> 6)
        self.glyphs = {}

    def glyph(self, ch):
        """(advance, left, top, width, rows, coverage bytes)."""
        if ch not in self.glyphs:
            ft = _freetype()
            index = ft.FT_Get_Char_Index(self.face, ord(ch))
            g = (0, 0, 0, 0, 0, b"")
            if ft.FT_Load_Glyph(self.face, index, _FT_LOAD_NO_BITMAP) == 0:
                slot = self.face.contents.glyph.contents
                advance = (slot.advance[0] + 32) >> 6
                g = (advance, 0, 0, 0, 0, b"")
                if ft.FT_Render_Glyph(self.face.contents.glyph, 0) == 0:
                    slot = self.face.contents.glyph.contents
                    bm = slot.bitmap
                    if bm.pixel_mode == _FT_PIXEL_MODE_GRAY and bm.buffer:
                        rows = []
                        for r in range(bm.rows):
                            start = r * bm.pitch if bm.pitch >= 0 else (bm.rows - 1 - r) * -bm.pitch
                            rows.append(bytes(bm.buffer[start:start + bm.width]))
                        g = (advance, slot.bitmap_left, slot.bitmap_top, bm.width, bm.rows, b"".join(rows))
            self.glyphs[ch] = g
        return self.glyphs[ch]

    def width(self, text):
        return sum(self.glyph(c)[0] for c in text)

    def wrap(self, text, width):
        """The game's greedy word wrap: paragraphs at newlines, words at spaces."""
        lines = []
        for para in text.split("\n"):
            line, started = "", False
            for word in [w for w in re.split("[ \r]", para) if w]:
                if started and self.width(line + " " + word) <= width:
                    line += " " + word
                    continue
                if started:
                    lines.append(line)
                if self.width(word) <= width:
                    line, started = word, True
                    continue
                piece = ""
                for ch in word:
                    if piece and self.width(piece + ch) > width:
                        lines.append(piece)
                        piece = ch
                    else:
                        piece += ch
                line, started = piece, True
            lines.append(line)
        return lines

    def coverage(self, text, width, justify):
        """{(x, y): coverage} of the text laid out in a box `width` wide, from the block's top."""
        out = {}
        for row, line in enumerate(self.wrap(text, width)):
            w = self.width(line)
            pen = (width - w) // 2 if justify == 0 else width - w if justify == 1 else 0
            base = self.ascent + row * self.line_step
            for ch in line:
                advance, left, top, gw, gr, cov = self.glyph(ch)
                for y in range(gr):
                    for x in range(gw):
                        c = cov[y * gw + x]
                        if c:
                            key = (pen + left + x, base - top + y)
                            out[key] = min(255, out.get(key, 0) + c)
                pen += advance
        return out


class TextReader:
    """The sample's texts and fonts, and reading them off screenshots."""

    def __init__(self, data):
        root = ET.parse(os.path.join(data, "cfg", "loc.xml")).getroot()
        self.texts = {t.get("key"): t.get("value") for t in root.iter("text")}
        manifest = {}
        res = ET.parse(os.path.join(data, "properties", "resources.xml")).getroot()
        for f in res.iter("font"):
            manifest["FONT_" + f.get("id")] = (f.get("path"), int(f.get("size")))
        self.font_files = {}
        for f in ET.parse(os.path.join(data, "cfg", "fonts.xml")).getroot().iter("font"):
            path, size = manifest[f.get("res")]
            self.font_files[f.get("name")] = (os.path.join(data, "fonts", path), size)
        self.fonts = {}
        self.blocks = {}

    def font(self, name):
        if name not in self.fonts:
            self.fonts[name] = Font(*self.font_files[name])
        return self.fonts[name]

    def text(self, key, **variables):
        value = self.texts[key]
        for name, v in variables.items():
            value = value.replace("%" + name + "%", str(v))
        return value

    def block(self, text, font, width, justify):
        key = (text, font, width, justify)
        if key not in self.blocks:
            cov = self.font(font).coverage(text, width, justify)
            ink = {p for p, c in cov.items() if c >= 160}
            blank = {p for p, c in cov.items() if c >= 96}
            if not ink:
                self.blocks[key] = None
            else:
                x0 = min(p[0] for p in ink)
                y0 = min(p[1] for p in ink)
                want = {(x - x0, y - y0) for x, y in ink}
                self.blocks[key] = (want, {(x - x0, y - y0) for x, y in blank},
                                    max(p[0] for p in want), max(p[1] for p in want))
        return self.blocks[key]

    @staticmethod
    def ink(shot, rect):
        """The set of screen points in rect that differ from the rect's backdrop as text does."""
        counts = {}
        pixels = list(region(shot, rect))
        for _, _, p in pixels:
            counts[p] = counts.get(p, 0) + 1
        if not counts:
            return set()
        bg = max(counts, key=counts.get)
        dist = lambda p: abs(p[0] - bg[0]) + abs(p[1] - bg[1]) + abs(p[2] - bg[2])
        far = max(dist(p) for _, _, p in pixels)
        if far < 60:
            return set()
        return {(x, y) for x, y, p in pixels if dist(p) * 2 > far}

    def score(self, shot, rect, text, font, justify=0, seen=None):
        """How well the text matches the ink in rect: 1.0 is every pixel as expected."""
        block = self.block(text, font, rect[2], justify)
        if seen is None:
            seen = self.ink(shot, rect)
        if block is None or not seen:
            return 0.0
        want, allowed, w, h = block
        sx = min(p[0] for p in seen)
        sy = min(p[1] for p in seen)
        # Ink far wider or taller than the text is another text.
        if abs(max(p[0] for p in seen) - sx - w) > 3 or abs(max(p[1] for p in seen) - sy - h) > 3:
            return 0.0
        best = 0.0
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                ox, oy = sx + dx, sy + dy
                moved = {(x - ox, y - oy) for x, y in seen}
                missing = len(want - moved)
                extra = len(moved - allowed)
                best = max(best, 1.0 - (missing + extra) / len(want))
        return best

    def read(self, shot, rect, candidates, font, justify=0):
        """The candidate (name -> text) shown in rect and its score; (None, best score) when none fits."""
        seen = self.ink(shot, rect)
        scored = sorted(((self.score(shot, rect, text, font, justify, seen), name)
                         for name, text in candidates.items()), key=lambda t: t[0], reverse=True)
        if not scored:
            return None, 0.0
        best, name = scored[0]
        if best < 0.85:
            return None, best
        return name, best
