#pragma once
#include <cstdint>

namespace Zephra {

class MemoryImage;

// Texture formats of the 3D road; the ids are bits of the supported-format mask.
enum TextureFormatId : int {
    TEXFMT_NONE = 0,
    TEXFMT_A8R8G8B8 = 1,
    TEXFMT_A4R4G4B4 = 2,
    TEXFMT_R5G6B5 = 4,
    TEXFMT_PAL8 = 8,
};

int TextureFormatBytes(int format);

// One ARGB pixel in a 16-bit texel format, and back.
inline uint16_t ToA4R4G4B4(uint32_t p) {
    return uint16_t(((p >> 16) & 0xF000) | ((p >> 12) & 0x0F00) | ((p >> 8) & 0x00F0) | ((p >> 4) & 0x000F));
}
inline uint16_t ToR5G6B5(uint32_t p) {
    return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
}
// Alpha reads back opaque; the nibbles come back in the top bits.
inline uint32_t FromA4R4G4B4(uint16_t t) {
    return 0xFF000000u | uint32_t((t >> 8) & 0xF) << 20 | uint32_t((t >> 4) & 0xF) << 12 | uint32_t(t & 0xF) << 4;
}
inline uint32_t FromR5G6B5(uint16_t t) {
    return 0xFF000000u | uint32_t(t >> 11) << 19 | uint32_t((t >> 5) & 0x3F) << 10 | uint32_t(t & 0x1F) << 3;
}

// Fills a locked texture piece of texWidth x texHeight texels (rows `pitch`
// bytes apart) from the image's pixels starting at (srcX, srcY). The piece
// covers what is left of the image there, up to its size. When the image ends
// inside the piece, the last column and row are repeated once beyond it, so
// filtering at the edge repeats the edge; nothing is written outside the piece.
// A palettized image supplies palette colours, or its indices for TEXFMT_PAL8.
// False when the image cannot supply what the format needs.
bool UploadTexturePiece(int format, void* texels, int pitch, int texWidth, int texHeight, MemoryImage& image,
                        int srcX, int srcY);

// Copies the covered part of a piece back into `dest` (image pixels, rows
// destWidth apart): the piece's size cut at destWidth x destHeight from (x, y).
// TEXFMT_PAL8 reads `palette` (256 entries of flags << 24 | R << 16 | G << 8 | B).
void ReadTexturePiece(int format, const void* texels, int pitch, int texWidth, int texHeight,
                      const uint32_t* palette, uint32_t* dest, int destWidth, int destHeight, int x, int y);

} // namespace Zephra
