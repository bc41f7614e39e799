#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Zephra {

class MemoryImage;

// Image file readers and writers. Readers take PNG and JPEG (GIF, TGA and
// JPEG 2000 are not read); every failure, hostile sizes included, comes back
// as false with an error text.
namespace ImageLib {

// Larger pictures are refused before any pixel memory is taken.
constexpr int kMaxSide = 16384;
constexpr size_t kMaxPixelBytes = size_t(256) << 20;
// JPEG files of several scans: at most kMaxJpegScans, and at most
// kMaxJpegScanBlocks 8x8 blocks decoded over all scans, but never fewer than
// kMinJpegScans (a full progressive colour file has 10).
constexpr int kMaxJpegScans = 100;
constexpr int kMinJpegScans = 12;
constexpr unsigned long long kMaxJpegScanBlocks = 40'000'000;

// Decoded pixels, 0xAARRGGBB, rows top to bottom.
struct Picture {
    int mWidth = 0;
    int mHeight = 0;
    std::vector<uint32_t> mBits;
};

// True when a width x height picture of 32-bit pixels is within the limits;
// maxPixelBytes may only lower kMaxPixelBytes (what a caller has left to spend).
bool SizeAllowed(long long width, long long height, size_t maxPixelBytes = kMaxPixelBytes);

// maxPixelBytes as for SizeAllowed: a larger picture is refused from its
// header, before its pixels take memory.
bool DecodePng(const void* data, size_t size, Picture& out, std::string& error,
               size_t maxPixelBytes = kMaxPixelBytes);
bool DecodeJpeg(const void* data, size_t size, Picture& out, std::string& error,
                size_t maxPixelBytes = kMaxPixelBytes);
// Decides the format by content (PNG signature, JPEG start marker), falling
// back to the extension of name.
bool DecodeImage(const void* data, size_t size, const std::string& name, Picture& out,
                 std::string& error, size_t maxPixelBytes = kMaxPixelBytes);

// Reads the file at path through the file access hook into image (its bits set,
// its file path recorded).
bool LoadImage(const std::string& path, MemoryImage& image, std::string& error,
               size_t maxPixelBytes = kMaxPixelBytes);

// PNG with alpha from 0xAARRGGBB pixels.
bool EncodePng(const uint32_t* bits, int width, int height, std::string& bytes, std::string& error);
// Writes image as a PNG file at the file-system path (screenshots).
bool WritePngImage(const std::string& path, MemoryImage& image, std::string& error);

} // namespace ImageLib
} // namespace Zephra
