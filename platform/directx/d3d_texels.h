#pragma once
#include <cstdint>

// The texel formats of the 3D device's texture surfaces, and their decoding
// into the one ARGB form the rasteriser reads.
namespace platform::d3d {

// Texel formats a texture surface may hold, decoded into ARGB when unlocked.
enum class TexelFormat : uint8_t { A8R8G8B8, A4R4G4B4, R5G6B5, PAL8 };

int TexelBytes(TexelFormat format);

// Decodes width x height texels (rows `pitch` bytes apart) into packed ARGB.
// PAL8 reads `palette` (256 ARGB entries; null reads as opaque black).
void DecodeTexels(TexelFormat format, const void* src, int pitch, int width, int height,
                  const uint32_t* palette, uint32_t* out);

} // namespace platform::d3d
