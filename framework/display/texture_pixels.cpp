// Per-format loops between image pixels and locked texture pieces.
#include "framework/display/texture_pixels.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/graphics/memory_image.h"

namespace Zephra {

namespace {

template <typename T>
inline T Get(const uint8_t* row, int x) {
    T v;
    std::memcpy(&v, row + size_t(x) * sizeof(T), sizeof(T));
    return v;
}

// Writes `w` texels of each of `h` rows, texel x of a row from `row(y)[x]`
// through `convert`; with `edge` one more texel after each row repeats its last one.
template <typename T, typename Row, typename Convert>
void UploadRows(uint8_t* dst, int pitch, int w, int h, bool edge, Row row, Convert convert) {
    std::vector<T> line(size_t(w) + 1);
    for (int y = 0; y < h; ++y, dst += pitch) {
        const auto src = row(y);
        for (int x = 0; x < w; ++x) line[size_t(x)] = convert(src[x]);
        if (edge) line[size_t(w)] = line[size_t(w) - 1];
        std::memcpy(dst, line.data(), (size_t(w) + (edge ? 1 : 0)) * sizeof(T));
    }
}

// Source rows read through the palette.
struct PaletteRow {
    const uint8_t* idx;
    const uint32_t* pal;
    uint32_t operator[](int i) const { return pal[idx[i]]; }
};

template <typename T, typename Convert>
void UploadConverted(uint8_t* dst, int pitch, int w, int h, bool edge, MemoryImage& img, int sx, int sy,
                     Convert convert) {
    const size_t stride = size_t(img.mWidth);
    if (img.IsPalettized()) {
        const uint8_t* idx = img.mColorIndices.get() + size_t(sy) * stride + size_t(sx);
        const uint32_t* pal = img.mColorTable.get();
        UploadRows<T>(dst, pitch, w, h, edge, [&](int y) { return PaletteRow{idx + size_t(y) * stride, pal}; }, convert);
    } else {
        const uint32_t* bits = img.GetBits() + size_t(sy) * stride + size_t(sx);
        UploadRows<T>(dst, pitch, w, h, edge, [&](int y) { return bits + size_t(y) * stride; }, convert);
    }
}

} // namespace

int TextureFormatBytes(int format) {
    switch (format) {
    case TEXFMT_A8R8G8B8: return 4;
    case TEXFMT_A4R4G4B4:
    case TEXFMT_R5G6B5: return 2;
    case TEXFMT_PAL8: return 1;
    default: return 0;
    }
}

bool UploadTexturePiece(int format, void* texels, int pitch, int texWidth, int texHeight, MemoryImage& image,
                        int srcX, int srcY) {
    if (!texels || texWidth <= 0 || texHeight <= 0 || srcX < 0 || srcY < 0) return false;
    const int w = std::min(texWidth, image.mWidth - srcX), h = std::min(texHeight, image.mHeight - srcY);
    if (w <= 0 || h <= 0) return false;
    if (!image.IsPalettized() && !image.GetBits()) return false;
    const bool edge = w < texWidth;
    uint8_t* dst = static_cast<uint8_t*>(texels);
    switch (format) {
    case TEXFMT_A8R8G8B8:
        UploadConverted<uint32_t>(dst, pitch, w, h, edge, image, srcX, srcY, [](uint32_t p) { return p; });
        break;
    case TEXFMT_A4R4G4B4:
        UploadConverted<uint16_t>(dst, pitch, w, h, edge, image, srcX, srcY, [](uint32_t p) { return ToA4R4G4B4(p); });
        break;
    case TEXFMT_R5G6B5:
        UploadConverted<uint16_t>(dst, pitch, w, h, edge, image, srcX, srcY, [](uint32_t p) { return ToR5G6B5(p); });
        break;
    case TEXFMT_PAL8: {
        if (!image.IsPalettized()) return false;
        const size_t stride = size_t(image.mWidth);
        const uint8_t* idx = image.mColorIndices.get() + size_t(srcY) * stride + size_t(srcX);
        UploadRows<uint8_t>(dst, pitch, w, h, edge, [&](int y) { return idx + size_t(y) * stride; },
                            [](uint8_t i) { return i; });
        break;
    }
    default:
        return false;
    }
    // The row below the image repeats its last row, edge texel included.
    if (h < texHeight) {
        const size_t rowBytes = size_t(std::min(w + (edge ? 1 : 0), texWidth)) * size_t(TextureFormatBytes(format));
        std::memcpy(dst + size_t(h) * size_t(pitch), dst + size_t(h - 1) * size_t(pitch), rowBytes);
    }
    return true;
}

void ReadTexturePiece(int format, const void* texels, int pitch, int texWidth, int texHeight,
                      const uint32_t* palette, uint32_t* dest, int destWidth, int destHeight, int x, int y) {
    if (!texels || !dest || x < 0 || y < 0) return;
    const int w = std::min(texWidth, destWidth - x), h = std::min(texHeight, destHeight - y);
    if (w <= 0 || h <= 0) return;
    const uint8_t* src = static_cast<const uint8_t*>(texels);
    for (int r = 0; r < h; ++r, src += pitch) {
        uint32_t* d = dest + size_t(y + r) * size_t(destWidth) + size_t(x);
        switch (format) {
        case TEXFMT_A8R8G8B8: std::memcpy(d, src, size_t(w) * 4); break;
        case TEXFMT_A4R4G4B4: for (int i = 0; i < w; ++i) d[i] = FromA4R4G4B4(Get<uint16_t>(src, i)); break;
        case TEXFMT_R5G6B5: for (int i = 0; i < w; ++i) d[i] = FromR5G6B5(Get<uint16_t>(src, i)); break;
        case TEXFMT_PAL8: for (int i = 0; i < w; ++i) d[i] = palette ? palette[src[i]] : 0; break;
        default: return;
        }
    }
}

} // namespace Zephra
