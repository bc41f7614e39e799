// Texture piece sizes and the grid an image is cut into.
#include "framework/display/texture_layout.h"

#include <algorithm>
#include <array>

#include "framework/graphics/memory_image.h"

namespace Zephra {

namespace {

constexpr int kTableSize = 1024;

// For each side length the piece that covers most of it without wasting more
// than 64 texels, unless what is left over is a power of two or below 64.
const std::array<int, kTableSize>& SizeTable() {
    static const std::array<int, kTableSize> table = [] {
        std::array<int, kTableSize> t{};
        auto pow2 = [](int v) { return v > 0 && (v & (v - 1)) == 0; };
        for (int n = 0; n < kTableSize; ++n) {
            int p = 1;
            while (p < n) p <<= 1;
            if (p - n > 64) {
                p >>= 1;
                while (n % p >= 64 && !pow2(n % p)) p >>= 1;
            }
            t[size_t(n)] = p;
        }
        return t;
    }();
    return table;
}

int NextPow2(int v) {
    int p = 1;
    while (p < v) p <<= 1;
    return p;
}

} // namespace

TextureLimits MakeTextureLimits(int minWidth, int minHeight, int maxWidth, int maxHeight, int maxAspect) {
    TextureLimits l;
    if (maxWidth == 0) return l;   // 64 x 64, aspect 1
    l.minWidth = std::max(minWidth, 1);
    l.minHeight = std::max(minHeight, 1);
    l.maxWidth = std::min(maxWidth, 1024);
    l.maxHeight = std::min(maxHeight, 1024);
    l.maxAspect = maxAspect == 0 ? 65536 : maxAspect;
    return l;
}

void GetTextureSize(const TextureLimits& limits, int& width, int& height, bool remainder, bool fit, uint32_t flags) {
    if (flags & TEXFLAG_FIXED_64) {
        width = height = 64;
        return;
    }
    if (fit) {
        const bool table = !remainder && !(flags & TEXFLAG_POW2_PIECES);
        auto fitSide = [&](int side, int max) {
            if (side >= max) return max;
            return table ? SizeTable()[size_t(std::max(side, 0))] : NextPow2(side);
        };
        width = fitSide(width, limits.maxWidth);
        height = fitSide(height, limits.maxHeight);
    }
    width = std::max(width, limits.minWidth);
    height = std::max(height, limits.minHeight);
    // Sides stay within the limits, so doubling ends; the aspect is positive.
    const int64_t aspect = std::max(limits.maxAspect, 1);
    while (width > aspect * height) height *= 2;
    while (height > aspect * width) width *= 2;
}

PieceGrid LayoutPieces(const TextureLimits& limits, int imageWidth, int imageHeight, uint32_t flags) {
    PieceGrid g;
    g.imageWidth = imageWidth;
    g.imageHeight = imageHeight;
    if (imageWidth <= 0 || imageHeight <= 0) return g;
    int pw = imageWidth, ph = imageHeight;
    GetTextureSize(limits, pw, ph, false, true, flags);
    g.pieceWidth = pw;
    g.pieceHeight = ph;
    int rightW = imageWidth % pw == 0 ? pw : imageWidth % pw, rightH = ph;
    int bottomW = pw, bottomH = imageHeight % ph == 0 ? ph : imageHeight % ph;
    int cornerW = rightW, cornerH = bottomH;
    GetTextureSize(limits, rightW, rightH, true, true, flags);
    GetTextureSize(limits, bottomW, bottomH, true, true, flags);
    GetTextureSize(limits, cornerW, cornerH, true, true, flags);
    g.across = (imageWidth + pw - 1) / pw;
    g.down = (imageHeight + ph - 1) / ph;
    g.maxU = float(imageWidth) / float(pw);
    g.maxV = float(imageHeight) / float(ph);
    g.pieces.resize(size_t(g.across) * size_t(g.down));
    for (int r = 0; r < g.down; ++r)
        for (int c = 0; c < g.across; ++c) {
            bool lastCol = c == g.across - 1, lastRow = r == g.down - 1;
            TexturePiece& p = g.pieces[size_t(r) * size_t(g.across) + size_t(c)];
            if (lastCol && lastRow)
                p = {cornerW, cornerH};
            else if (lastCol)
                p = {rightW, rightH};
            else if (lastRow)
                p = {bottomW, bottomH};
            else
                p = {pw, ph};
        }
    return g;
}

PieceArea LookupPiece(const PieceGrid& g, int x, int y, int width, int height) {
    PieceArea a;
    if (x < 0 || y < 0 || x >= g.imageWidth || y >= g.imageHeight || g.pieceWidth <= 0 || g.pieceHeight <= 0)
        return a;
    int col = x / g.pieceWidth, row = y / g.pieceHeight;
    if (col >= g.across || row >= g.down) return a;
    int dx = x % g.pieceWidth, dy = y % g.pieceHeight;
    const TexturePiece& p = g.pieces[size_t(row) * size_t(g.across) + size_t(col)];
    if (dx >= p.width || dy >= p.height) return a;
    a.index = row * g.across + col;
    a.width = std::min(width, p.width - dx);
    a.height = std::min(height, p.height - dy);
    a.left = float(dx) / float(p.width);
    a.top = float(dy) / float(p.height);
    a.right = float(dx + a.width) / float(p.width);
    a.bottom = float(dy + a.height) / float(p.height);
    return a;
}

} // namespace Zephra
