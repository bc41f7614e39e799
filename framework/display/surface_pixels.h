#pragma once
#include <cstdint>
#include "platform/directx/dx_types.h"

namespace Zephra {

// ARGB pixel p to a 16- or 32-bit surface value: per channel the top n bits
// (n = the mask's width) placed at the mask's shift; alpha is dropped.
struct SurfaceChannels {
    int redShift = 0, redBits = 0;
    int greenShift = 0, greenBits = 0;
    int blueShift = 0, blueBits = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    explicit SurfaceChannels(const platform::DDPIXELFORMAT& format);
    uint32_t FromARGB(uint32_t p) const;
    // Back to 0xFFRRGGBB, each channel widened by repeating its top bits.
    uint32_t ToARGB(uint32_t v) const;
};

// Copies width x height ARGB pixels (row stride srcStride pixels) into
// surface memory of the format. Other depths are left alone.
void ConvertToSurface(const uint32_t* src, int srcStride, int width, int height, uint8_t* dest, int destPitch,
                      const platform::DDPIXELFORMAT& format);
// The plain per-pixel form of ConvertToSurface that the fast rows are held to.
void ConvertToSurfaceReference(const uint32_t* src, int srcStride, int width, int height, uint8_t* dest,
                               int destPitch, const platform::DDPIXELFORMAT& format);

// Alpha-blends an ARGB image with its top-left at (x, y) onto surface memory
// of surfaceWidth x surfaceHeight, clipped to it.
void BlendOntoSurface(const uint32_t* src, int width, int height, int x, int y, uint8_t* dest, int surfaceWidth,
                      int surfaceHeight, int destPitch, const platform::DDPIXELFORMAT& format);

} // namespace Zephra
