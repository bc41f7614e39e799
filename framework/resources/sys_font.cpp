#include "framework/resources/sys_font.h"
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <vector>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_STROKER_H
#include "framework/graphics/graphics.h"
#include "framework/graphics/image.h"
#include "framework/resources/file_access.h"

namespace Zephra {

namespace {

struct Glyph {
    int advance = 0;
    int left = 0;       // bitmap origin relative to the pen and the baseline
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;
};

struct PlacedGlyph {
    const Glyph* glyph;
    int x;
    int y;
};

// Calls f for every code point; surrogate pairs are joined, lone halves skipped.
template <class F>
void ForEachCodePoint(const std::u16string& text, F f) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                f(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
                ++i;
            }
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) continue;
        f(char32_t(c));
    }
}

std::atomic<void (*)()> gBeforeDraw{nullptr};

std::string FtError(const char* what, FT_Error code) {
    return std::string(what) + " (FreeType error " + std::to_string(code) + ")";
}

} // namespace

struct SysFont::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FT_Stroker stroker = nullptr;
    std::string bytes;                    // the face reads from these for its lifetime
    bool synthBold = false;
    bool synthItalic = false;
    FT_Pos boldStrength = 0;              // 26.6, whole pixels
    std::unordered_map<FT_UInt, Glyph> glyphs;
    const Glyph* latinGlyph[256] = {};    // the glyph per code point below 256, once looked up
    // A string's coverage as DrawString made it for a place and clip. Every
    // frame draws every control again, and the glyphs never change, so a
    // string drawn again where it was takes what was made.
    struct Drawn {
        std::u16string text;
        int x = 0, y = 0;
        Rect area, box;
        std::vector<uint8_t> coverage;
        std::vector<Span> spans;
        uint64_t lastUse = 0;
    };
    static constexpr size_t kDrawnStrings = 48;
    static constexpr size_t kDrawnBytes = 32 * 1024;   // larger strings are made every time
    std::vector<Drawn> drawn;
    uint64_t uses = 0;
    // Scratch of DrawString, kept to spare allocations.
    std::vector<PlacedGlyph> placed;
    Drawn made;

    // The coverage and spans of a string drawn with its pen at (x, y) into
    // `area`; false when nothing of it shows there.
    bool Compose(long long x, long long y, const std::u16string& text, const Rect& area, Drawn& out);

    ~Impl() {
        if (stroker != nullptr) FT_Stroker_Done(stroker);
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }

    const Glyph& Get(char32_t cp) {
        if (cp < 256 && latinGlyph[cp] != nullptr) return *latinGlyph[cp];
        FT_UInt index = FT_Get_Char_Index(face, cp);
        auto [it, fresh] = glyphs.try_emplace(index);
        if (fresh) Render(index, it->second);
        if (cp < 256) latinGlyph[cp] = &it->second;   // the map's nodes stay where they are
        return it->second;
    }

    static void CopyBitmap(Glyph& g, const FT_Bitmap& bitmap, int left, int top) {
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.buffer == nullptr) return;
        g.width = static_cast<int>(bitmap.width);
        g.rows = static_cast<int>(bitmap.rows);
        g.left = left;
        g.top = top;
        g.coverage.resize(size_t(g.width) * g.rows);
        int pitch = bitmap.pitch;
        int maxGray = std::max(1, static_cast<int>(bitmap.num_grays) - 1);
        for (int r = 0; r < g.rows; ++r) {
            const unsigned char* src = pitch >= 0 ? bitmap.buffer + size_t(r) * pitch
                                                  : bitmap.buffer + size_t(g.rows - 1 - r) * size_t(-pitch);
            uint8_t* dst = g.coverage.data() + size_t(r) * g.width;
            for (int c = 0; c < g.width; ++c)
                dst[c] = maxGray == 255 ? src[c] : static_cast<uint8_t>(std::min(255, src[c] * 255 / maxGray));
        }
    }

    void Render(FT_UInt index, Glyph& g) {
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0) return;
        FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
        if (synthBold) {
            FT_Outline_Embolden(&slot->outline, boldStrength);
            g.advance += static_cast<int>(boldStrength >> 6);
        }
        if (synthItalic) {
            FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};   // about 12 degrees
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (stroker == nullptr) {
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0)
                CopyBitmap(g, slot->bitmap, slot->bitmap_left, slot->bitmap_top);
            return;
        }
        FT_Glyph glyph = nullptr;
        if (FT_Get_Glyph(slot, &glyph) != 0) return;
        // The outside border encloses the glyph grown by the stroke radius.
        if (FT_Glyph_StrokeBorder(&glyph, stroker, 0, 1) == 0 &&
            FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0) {
            FT_BitmapGlyph bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(glyph);
            CopyBitmap(g, bitmapGlyph->bitmap, bitmapGlyph->left, bitmapGlyph->top);
        }
        FT_Done_Glyph(glyph);
    }
};

void SysFont::SetBeforeDrawHook(void (*hook)()) { gBeforeDraw.store(hook, std::memory_order_release); }

SysFont::SysFont() = default;
SysFont::~SysFont() = default;

bool SysFont::Open(const std::string& path, const SysFontDesc& desc, std::string& error) {
    std::string bytes;
    if (!GetFileAccess().ReadFile(path, bytes)) {
        error = "cannot read font file " + path + ReadFailureReason();
        return false;
    }
    return OpenMemory(std::move(bytes), desc, error);
}

bool SysFont::OpenMemory(std::string bytes, const SysFontDesc& desc, std::string& error) {
    mImpl.reset();
    mAscent = mHeight = mLineSpacingOffset = 0;
    if (desc.mSize < 1 || desc.mSize > SysFontDesc::kMaxSize) {
        error = "font size " + std::to_string(desc.mSize) + " out of range";
        return false;
    }
    if (desc.mStroke < 0 || desc.mStroke > SysFontDesc::kMaxStroke) {
        error = "font stroke " + std::to_string(desc.mStroke) + " out of range";
        return false;
    }
    if (std::abs(desc.mOffsetX) > SysFontDesc::kMaxOffset || std::abs(desc.mOffsetY) > SysFontDesc::kMaxOffset) {
        error = "font offset out of range";
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->bytes = std::move(bytes);
    FT_Error err = FT_Init_FreeType(&impl->library);
    if (err != 0) {
        impl->library = nullptr;
        error = FtError("cannot start the font renderer", err);
        return false;
    }
    err = FT_New_Memory_Face(impl->library, reinterpret_cast<const FT_Byte*>(impl->bytes.data()),
                             static_cast<FT_Long>(impl->bytes.size()), 0, &impl->face);
    if (err != 0) {
        impl->face = nullptr;
        error = FtError("not a usable font file", err);
        return false;
    }
    if (!FT_IS_SCALABLE(impl->face)) {
        error = "not a scalable font";
        return false;
    }
    err = FT_Set_Pixel_Sizes(impl->face, 0, static_cast<FT_UInt>(desc.mSize));
    if (err != 0) {
        error = FtError("cannot set the font size", err);
        return false;
    }
    impl->synthBold = desc.mBold && (impl->face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    impl->synthItalic = desc.mItalic && (impl->face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    impl->boldStrength = std::max<FT_Pos>(64, ((desc.mSize * 64 / 24) + 32) & ~FT_Pos(63));
    if (desc.mStroke > 0) {
        err = FT_Stroker_New(impl->library, &impl->stroker);
        if (err != 0) {
            impl->stroker = nullptr;
            error = FtError("cannot make the font stroker", err);
            return false;
        }
        FT_Stroker_Set(impl->stroker, FT_Fixed(desc.mStroke) * 64, FT_STROKER_LINECAP_ROUND,
                       FT_STROKER_LINEJOIN_ROUND, 0);
    }
    const FT_Size_Metrics& metrics = impl->face->size->metrics;
    int ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    int descent = static_cast<int>((-metrics.descender + 63) >> 6);
    mAscent = ascent;
    mHeight = ascent + descent;
    mDesc = desc;
    mImpl = std::move(impl);
    return true;
}

int SysFont::StringWidth(const std::u16string& text) {
    if (!mImpl) return 0;
    long long width = 0;
    ForEachCodePoint(text, [&](char32_t cp) { width += mImpl->Get(cp).advance; });
    return static_cast<int>(std::clamp<long long>(width, INT_MIN, INT_MAX));
}

int SysFont::CharWidth(char16_t ch) {
    if (!mImpl || (ch >= 0xD800 && ch <= 0xDFFF)) return 0;
    return mImpl->Get(ch).advance;
}

void SysFont::DrawString(Graphics* g, int x, int y, const std::u16string& text, const Color& color,
                         const Rect& clip) {
    if (!mImpl || g == nullptr || g->mDestImage == nullptr || text.empty() || color.mAlpha <= 0) return;
    if (void (*hook)() = gBeforeDraw.load(std::memory_order_acquire)) hook();
    Image* dest = g->mDestImage;
    Rect area = clip.Intersection(Rect(0, 0, dest->mWidth, dest->mHeight));
    if (area.IsEmpty()) return;

    Impl::Drawn* d = nullptr;
    for (Impl::Drawn& kept : mImpl->drawn)
        if (kept.x == x && kept.y == y && kept.area == area && kept.text == text) {
            d = &kept;
            break;
        }
    if (d == nullptr) {
        d = &mImpl->made;
        if (!mImpl->Compose((long long)x + mDesc.mOffsetX, (long long)y + mDesc.mOffsetY, text, area, *d)) return;
        if (d->coverage.size() <= Impl::kDrawnBytes) {
            std::vector<Impl::Drawn>& drawn = mImpl->drawn;
            Impl::Drawn* slot = drawn.size() < Impl::kDrawnStrings
                                    ? &drawn.emplace_back()
                                    : &*std::min_element(drawn.begin(), drawn.end(), [](const auto& a, const auto& b) {
                                          return a.lastUse < b.lastUse;
                                      });
            std::swap(*slot, *d);   // the slot's old buffers become the next scratch
            slot->text = text;
            slot->x = x;
            slot->y = y;
            slot->area = area;
            d = slot;
        }
    }
    d->lastUse = ++mImpl->uses;
    const Rect& box = d->box;
    dest->FillSpansCoverage(d->spans.data(), static_cast<int>(d->spans.size()), color, g->GetDrawMode(),
                            d->coverage.data(), box.mX, box.mY, box.mWidth, box.mHeight);
}

bool SysFont::Impl::Compose(long long x, long long y, const std::u16string& text, const Rect& area, Drawn& out) {
    const long long areaRight = (long long)area.mX + area.mWidth;
    const long long areaBottom = (long long)area.mY + area.mHeight;
    // Place the glyphs that reach into the area and find their bounds.
    placed.clear();
    long long pen = x;
    const long long baseline = y;
    long long minX = LLONG_MAX, minY = LLONG_MAX, maxX = LLONG_MIN, maxY = LLONG_MIN;
    ForEachCodePoint(text, [&](char32_t cp) {
        const Glyph& glyph = Get(cp);
        long long gx = pen + glyph.left;
        long long gy = baseline - glyph.top;
        pen += glyph.advance;
        if (glyph.width <= 0 || glyph.rows <= 0) return;
        if (gx + glyph.width <= area.mX || gx >= areaRight || gy + glyph.rows <= area.mY || gy >= areaBottom)
            return;
        placed.push_back({&glyph, static_cast<int>(gx), static_cast<int>(gy)});
        minX = std::min(minX, gx);
        minY = std::min(minY, gy);
        maxX = std::max(maxX, gx + glyph.width);
        maxY = std::max(maxY, gy + glyph.rows);
    });
    if (placed.empty()) return false;
    // Every placed glyph meets the area, so the bounds are near it and fit an int.
    Rect box = Rect(static_cast<int>(minX), static_cast<int>(minY), static_cast<int>(maxX - minX),
                    static_cast<int>(maxY - minY)).Intersection(area);
    if (box.IsEmpty()) return false;

    // One coverage mask for the whole string, so overlapping glyphs (strokes)
    // blend once.
    std::vector<uint8_t>& coverage = out.coverage;
    coverage.assign(size_t(box.mWidth) * box.mHeight, 0);
    for (const PlacedGlyph& p : placed) {
        const Glyph& glyph = *p.glyph;
        int x0 = std::max(p.x, box.mX), x1 = std::min(p.x + glyph.width, box.mX + box.mWidth);
        int y0 = std::max(p.y, box.mY), y1 = std::min(p.y + glyph.rows, box.mY + box.mHeight);
        for (int row = y0; row < y1; ++row) {
            const uint8_t* src = glyph.coverage.data() + size_t(row - p.y) * glyph.width + (x0 - p.x);
            uint8_t* dst = coverage.data() + size_t(row - box.mY) * box.mWidth + (x0 - box.mX);
            for (int col = x0; col < x1; ++col, ++src, ++dst) {
                unsigned sum = unsigned(*dst) + *src;
                *dst = static_cast<uint8_t>(sum > 255 ? 255 : sum);
            }
        }
    }

    // A span per row, trimmed to its covered pixels.
    std::vector<Span>& spans = out.spans;
    spans.clear();
    for (int row = 0; row < box.mHeight; ++row) {
        const uint8_t* line = coverage.data() + size_t(row) * box.mWidth;
        int first = 0, last = box.mWidth - 1;
        while (first <= last && line[first] == 0) ++first;
        while (last >= first && line[last] == 0) --last;
        if (first > last) continue;
        Span span;
        span.mY = box.mY + row;
        span.mX = box.mX + first;
        span.mWidth = last - first + 1;
        spans.push_back(span);
    }
    if (spans.empty()) return false;
    out.box = box;
    return true;
}

} // namespace Zephra
