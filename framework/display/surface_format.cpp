#include "framework/display/surface_format.h"
#include "framework/display/surface_kernels.h"
#include <algorithm>
#include <bit>
#include <vector>

namespace Zephra::surface {

PixelFormat MakePixelFormat(int bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
    PixelFormat f;
    f.bitCount = bitCount;
    const uint32_t masks[3] = {redMask, greenMask, blueMask};
    for (int c = 0; c < 3; ++c) {
        f.mask[c] = masks[c];
        f.bits[c] = std::min(std::popcount(masks[c]), 8);
        f.shift[c] = masks[c] == 0 ? 0 : std::countr_zero(masks[c]);
        const int max = (1 << f.bits[c]) - 1;
        for (int i = 0; i < kAddTableSize; ++i) f.add[c][i] = std::min(i, max);
    }
    f.rgbOrder = redMask > greenMask && greenMask > blueMask;
    if (bitCount == 32 && redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF)
        f.tag = kTag888;
    else if (bitCount == 16 && redMask == 0xF800 && greenMask == 0x07E0 && blueMask == 0x001F)
        f.tag = kTag565;
    else if (bitCount == 16 && redMask == 0x7C00 && greenMask == 0x03E0 && blueMask == 0x001F)
        f.tag = kTag555;
    return f;
}

uint32_t ToSurface(uint32_t p, const PixelFormat& f) {
    return (((p >> (8 - f.bits[2])) << f.shift[2]) & f.mask[2]) |
           (((p >> (16 - f.bits[1])) << f.shift[1]) & f.mask[1]) |
           (((p >> (24 - f.bits[0])) << f.shift[0]) & f.mask[0]);
}

uint32_t FromSurface(uint32_t v, const PixelFormat& f) {
    return 0xFF000000u | ((((v >> f.shift[0]) << (8 - f.bits[0])) & 0xFF) << 16) |
           ((((v >> f.shift[1]) << (8 - f.bits[1])) & 0xFF) << 8) |
           (((v >> f.shift[2]) << (8 - f.bits[2])) & 0xFF);
}

namespace {

template <typename T>
void Write(const SurfaceView& view, const PixelFormat& f, const uint32_t* argb, bool useKey, uint32_t key) {
    for (int y = 0; y < view.height; ++y) {
        T* row = view.Row<T>(y);
        const uint32_t* s = argb + size_t(y) * size_t(view.width);
        for (int x = 0; x < view.width; ++x)
            row[x] = T(useKey && (s[x] >> 24) != 255 ? key : ToSurface(s[x], f));
    }
}

template <typename T>
void Read(const SurfaceView& view, const PixelFormat& f, uint32_t* argb, bool hasKey, uint32_t key) {
    const uint32_t colours = f.ColourMask();
    for (int y = 0; y < view.height; ++y) {
        const T* row = view.Row<T>(y);
        uint32_t* d = argb + size_t(y) * size_t(view.width);
        for (int x = 0; x < view.width; ++x)
            d[x] = hasKey && ((row[x] ^ key) & colours) == 0 ? 0u : FromSurface(row[x], f);
    }
}

} // namespace

void WritePixels(const SurfaceView& view, const PixelFormat& f, const uint32_t* argb, bool useKey,
                 uint32_t key) {
    if (f.bitCount == 16)
        Write<uint16_t>(view, f, argb, useKey, key);
    else if (f.bitCount == 32)
        Write<uint32_t>(view, f, argb, useKey, key);
}

void ReadPixels(const SurfaceView& view, const PixelFormat& f, uint32_t* argb, bool hasKey, uint32_t key) {
    if (f.bitCount == 16)
        Read<uint16_t>(view, f, argb, hasKey, key);
    else if (f.bitCount == 32)
        Read<uint32_t>(view, f, argb, hasKey, key);
}

bool ChooseColourKey(const PixelFormat& f, const uint32_t* argb, int count, uint32_t& key) {
    const bool wide = f.bitCount == 32;
    auto value = [&](uint32_t p) { return wide ? p & 0xFFFFFF : ToSurface(p, f); };
    int first = -1;
    for (int i = 0; i < count && first < 0; ++i)
        if ((argb[i] >> 24) != 255) first = i;
    if (first < 0) return false;
    const uint32_t candidate = value(argb[first]);
    bool clash = false;
    for (int i = 0; i < count && !clash; ++i) clash = (argb[i] >> 24) == 255 && value(argb[i]) == candidate;
    if (!clash) {
        key = wide ? argb[first] : candidate;
        return true;
    }
    // Every value a visible pixel shows is taken; the lowest other one is the key.
    const size_t values = wide ? size_t(1) << 24 : size_t(1) << 16;
    std::vector<bool> used(values);
    for (int i = 0; i < count; ++i)
        if ((argb[i] >> 24) != 0) used[value(argb[i]) & (values - 1)] = true;
    for (size_t v = 0; v < values; ++v)
        if (!used[v]) {
            key = uint32_t(v);
            return true;
        }
    return false;
}

NativeSource NativeOf(MemoryImage& src, NativeDisplay* display, bool additive) {
    NativeSource s;
    s.native = src.GetNativeAlphaData(display);
    s.runs = additive ? src.GetRLAdditiveData(display) : src.GetRLAlphaData();
    s.indices = src.IsPalettized() ? src.mColorIndices.get() : nullptr;
    s.width = src.mWidth;
    s.height = src.mHeight;
    return s;
}

NativeSource CopyNativeOf(MemoryImage& src, NativeDisplay* display) {
    NativeSource s = NativeOf(src, display, false);
    s.native16 = src.GetNative16Data(display);
    static const int32_t kNoRuns[2] = {};
    if (!src.IsPalettized() && src.MakeShownRuns()) {
        s.shownRowStart = src.mShownRowStart.data();
        s.shownRuns = src.mShownRuns.empty() ? kNoRuns : src.mShownRuns.data();
        // Opaque images would only keep a second copy of themselves.
        if (src.mHasTrans) s.shownPack = src.GetShownNativePack(display);
    }
    return s;
}

ArgbSource ArgbOf(MemoryImage& src) {
    ArgbSource s;
    if (!src.mBits && src.IsPalettized()) {
        s.indices = src.mColorIndices.get();
        s.palette = src.mColorTable.get();
    } else {
        s.bits = src.GetBits();
    }
    s.width = src.mWidth;
    s.height = src.mHeight;
    return s;
}

} // namespace Zephra::surface
