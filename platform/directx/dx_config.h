#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>
#include "platform/directx/dx_types.h"

namespace platform {

// A stand-in method's name as the failure table knows it ("Interface::Method"),
// hashed when the program is compiled: the check every call makes compares no
// text. Names are told apart by their 64-bit hash.
class DxMethod {
public:
    template <size_t N>
    consteval DxMethod(const char (&name)[N]) : mHash(Hash(std::string_view(name, N - 1))) {}

    static constexpr uint64_t Hash(std::string_view name) {
        uint64_t h = 14695981039346656037ull;   // FNV-1a
        for (char c : name) h = (h ^ uint8_t(c)) * 1099511628211ull;
        return h | 1;   // never 0, the empty slot
    }
    uint64_t mHash;
};

// Surface layouts the stand-in makes. 24- and 8-bit exist so that callers
// reach their error paths; the alpha layouts are texture formats.
enum class PixelLayout {
    RGB565,     // R 0xF800 G 0x07E0 B 0x001F
    BGR565,     // B 0xF800 G 0x07E0 R 0x001F
    RGB555,     // R 0x7C00 G 0x03E0 B 0x001F
    BGR555,     // B 0x7C00 G 0x03E0 R 0x001F
    XRGB8888,   // R 0x00FF0000 G 0x0000FF00 B 0x000000FF
    XBGR8888,   // B 0x00FF0000 G 0x0000FF00 R 0x000000FF
    RGB888,     // 24-bit
    PAL8,       // 8-bit palette indices
    ARGB4444,
    ARGB1555,
    ARGB8888,
};

// The pixel format of a layout; bit count 0 for an unknown one.
DDPIXELFORMAT PixelFormatOf(PixelLayout layout);
// The layout of a format (exact masks only); false when none matches.
bool LayoutOf(const DDPIXELFORMAT& format, PixelLayout& layout);
// "565", "bgr565", "555", "bgr555", "888", "bgr888", "24", "8".
bool ParsePixelLayout(const std::string& text, PixelLayout& layout);
int BytesPerPixel(const DDPIXELFORMAT& format);

struct DisplayModeInfo {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bits = 0;
};

// The machine the stand-in pretends to be, and the failures it injects. One
// process-wide object; every stand-in object reads it when it acts.
class DirectXConfig {
public:
    static DirectXConfig& Get();

    // Built-in defaults: a 1024 x 768 32-bit desktop at 60 Hz, the common
    // modes at 16 and 32 bits, 64 MB of video memory, no padding, no failure.
    void Reset();
    // Takes the real desktop's size, depth and refresh from the window layer.
    void FromDesktop();
    // Applies the PEMBERLY_DX_* variables (docs/display.md); false and a text
    // when one does not parse (the others still apply).
    bool ApplyEnvironment(std::string* error = nullptr);

    PixelLayout mDesktopFormat = PixelLayout::XRGB8888;
    int mDesktopWidth = 1024;
    int mDesktopHeight = 768;
    // What the monitor reports; mRefreshFails makes the query fail instead.
    DWORD mRefreshRate = 60;
    bool mRefreshFails = false;
    // Full-screen modes SetDisplayMode accepts.
    std::vector<DisplayModeInfo> mModes;
    // Bytes of video memory that video-memory surfaces draw from.
    uint64_t mVideoMemory = 64ull << 20;
    // Extra bytes at the end of every surface row (rounded up to 4).
    int mPitchPadding = 0;
    // The layouts of full-screen modes of 16 and 32 bits.
    PixelLayout mMode16Format = PixelLayout::RGB565;
    PixelLayout mMode32Format = PixelLayout::XRGB8888;
    // The adapter.
    std::string mDriver = "swdd.drv";
    std::string mDescription = "Software DirectDraw";
    GUID mDeviceGuid{0x5A6E7000, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

    // Makes the method fail with hr: after `skip` successful calls, for
    // `count` calls (-1: every call). Names are "Interface::Method", e.g.
    // "IDirectDraw7::CreateSurface", "IDirectDrawSurface::Lock",
    // "DirectDrawCreateEx".
    void InjectFailure(const std::string& method, HRESULT hr, int skip = 0, int count = -1);
    void ClearFailures();
    // The injected result for one call of the method (S_OK when none).
    HRESULT Check(DxMethod method);
    // Calls of a method so far (counted since the last Reset).
    int CallCount(const std::string& method);

private:
    struct Failure {
        HRESULT hr = S_OK;
        int skip = 0;
        int count = -1;
    };
    // Call counts by name hash, open addressing; found without a lock.
    struct CallSlot {
        std::atomic<uint64_t> hash{0};
        std::atomic<int> calls{0};
    };
    static constexpr size_t kCallSlots = 1024;
    CallSlot* SlotOf(uint64_t hash, bool add);

    std::mutex mMutex;   // guards mFailures
    std::map<uint64_t, Failure> mFailures;
    std::atomic<size_t> mFailureCount{0};
    std::array<CallSlot, kCallSlots> mCalls;
};

// Bytes of video memory in use by live video-memory surfaces.
uint64_t VideoMemoryInUse();

} // namespace platform
