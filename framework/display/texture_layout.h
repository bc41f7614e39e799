#pragma once
#include <cstdint>
#include <vector>

namespace Zephra {

// The device's texture size limits, as the 3D interface takes them from its caps.
struct TextureLimits {
    int minWidth = 64, minHeight = 64;
    int maxWidth = 64, maxHeight = 64;
    int maxAspect = 1;
};

// The reported limits made usable: a maximum width of 0 means 64 x 64 textures
// of aspect 1; maxima above 1024 become 1024, minima below 1 become 1, an
// aspect of 0 becomes 65536.
TextureLimits MakeTextureLimits(int minWidth, int minHeight, int maxWidth, int maxHeight, int maxAspect);

// Texture size for a piece of width x height image pixels (in/out). `remainder`
// marks the last column or row; `fit` shrinks sides below the maximum to the
// size table (first pieces) or the next power of two (remainders, or flag 1).
void GetTextureSize(const TextureLimits& limits, int& width, int& height, bool remainder, bool fit, uint32_t flags);

struct TexturePiece {
    int width = 0, height = 0;   // texture size
};

// How an image is cut into texture pieces: a grid of pieceWidth x pieceHeight
// cells, the last column and row holding the remainders.
struct PieceGrid {
    int imageWidth = 0, imageHeight = 0;
    int across = 0, down = 0;
    int pieceWidth = 64, pieceHeight = 64;
    float maxU = 0, maxV = 0;   // image size in pieces
    std::vector<TexturePiece> pieces;   // row by row
};

PieceGrid LayoutPieces(const TextureLimits& limits, int imageWidth, int imageHeight, uint32_t flags);

// The piece holding image position (x, y) of an area width x height (in/out:
// cut at the piece's texture). u and v of the area's corners are local
// coordinates over the piece's texture size. -1 when outside the grid.
struct PieceArea {
    int index = -1;
    int width = 0, height = 0;
    float left = 0, top = 0, right = 0, bottom = 0;
};
PieceArea LookupPiece(const PieceGrid& grid, int x, int y, int width, int height);

} // namespace Zephra
