#include "platform/directx/dx_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include "platform/window.h"

namespace platform {

namespace {

struct LayoutInfo {
    PixelLayout layout;
    DWORD bits;
    DWORD r, g, b, a;
};

constexpr LayoutInfo kLayouts[] = {
    {PixelLayout::RGB565, 16, 0xF800, 0x07E0, 0x001F, 0},
    {PixelLayout::BGR565, 16, 0x001F, 0x07E0, 0xF800, 0},
    {PixelLayout::RGB555, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {PixelLayout::BGR555, 16, 0x001F, 0x03E0, 0x7C00, 0},
    {PixelLayout::XRGB8888, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {PixelLayout::XBGR8888, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
    {PixelLayout::RGB888, 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {PixelLayout::PAL8, 8, 0, 0, 0, 0},
    {PixelLayout::ARGB4444, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {PixelLayout::ARGB1555, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {PixelLayout::ARGB8888, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "WxH" with both above 0.
bool ParseSize(const std::string& text, int& w, int& h) {
    const size_t x = Lower(text).find('x');
    if (x == std::string::npos) return false;
    char* end = nullptr;
    const long a = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x) return false;
    const char* rest = text.c_str() + x + 1;
    const long b = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || a <= 0 || b <= 0 || a > 16384 || b > 16384) return false;
    w = static_cast<int>(a);
    h = static_cast<int>(b);
    return true;
}

bool ParseUnsigned(const std::string& text, unsigned long long& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, 10);
    return *end == '\0';
}

} // namespace

DDPIXELFORMAT PixelFormatOf(PixelLayout layout) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    for (const LayoutInfo& info : kLayouts) {
        if (info.layout != layout) continue;
        f.dwFlags = info.bits == 8 ? DDPF_PALETTEINDEXED8 : DDPF_RGB;
        if (info.a) f.dwFlags |= DDPF_ALPHAPIXELS;
        f.dwRGBBitCount = info.bits;
        f.dwRBitMask = info.r;
        f.dwGBitMask = info.g;
        f.dwBBitMask = info.b;
        f.dwRGBAlphaBitMask = info.a;
    }
    return f;
}

bool LayoutOf(const DDPIXELFORMAT& format, PixelLayout& layout) {
    const DWORD alpha = (format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0;
    for (const LayoutInfo& info : kLayouts) {
        if (info.bits != format.dwRGBBitCount) continue;
        if (info.bits == 8) {
            if (!(format.dwFlags & DDPF_PALETTEINDEXED8)) continue;
        } else if (info.r != format.dwRBitMask || info.g != format.dwGBitMask ||
                   info.b != format.dwBBitMask || info.a != alpha) {
            continue;
        }
        layout = info.layout;
        return true;
    }
    return false;
}

bool ParsePixelLayout(const std::string& text, PixelLayout& layout) {
    static const struct {
        const char* name;
        PixelLayout layout;
    } kNames[] = {
        {"565", PixelLayout::RGB565}, {"bgr565", PixelLayout::BGR565},
        {"555", PixelLayout::RGB555}, {"bgr555", PixelLayout::BGR555},
        {"888", PixelLayout::XRGB8888}, {"32", PixelLayout::XRGB8888},
        {"bgr888", PixelLayout::XBGR8888}, {"24", PixelLayout::RGB888},
        {"8", PixelLayout::PAL8}, {"16", PixelLayout::RGB565},
    };
    const std::string t = Lower(text);
    for (const auto& n : kNames) {
        if (t == n.name) {
            layout = n.layout;
            return true;
        }
    }
    return false;
}

int BytesPerPixel(const DDPIXELFORMAT& format) { return static_cast<int>((format.dwRGBBitCount + 7) / 8); }

DirectXConfig& DirectXConfig::Get() {
    static DirectXConfig* config = [] {
        auto* c = new DirectXConfig();
        c->Reset();
        return c;
    }();
    return *config;
}

void DirectXConfig::Reset() {
    mDesktopFormat = PixelLayout::XRGB8888;
    mDesktopWidth = 1024;
    mDesktopHeight = 768;
    mRefreshRate = 60;
    mRefreshFails = false;
    mModes.clear();
    static const int kSizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 800},
                                    {1280, 1024}, {1366, 768}, {1440, 900}, {1600, 900},
                                    {1680, 1050}, {1920, 1080}, {1920, 1200}};
    for (DWORD bits : {16u, 32u})
        for (const auto& s : kSizes)
            mModes.push_back({static_cast<DWORD>(s[0]), static_cast<DWORD>(s[1]), bits});
    // Modes callers cannot draw on, so that they meet their error paths.
    for (DWORD bits : {8u, 24u}) mModes.push_back({800, 600, bits});
    mVideoMemory = 64ull << 20;
    mPitchPadding = 0;
    mMode16Format = PixelLayout::RGB565;
    mMode32Format = PixelLayout::XRGB8888;
    mDriver = "swdd.drv";
    mDescription = "Software DirectDraw";
    ClearFailures();
    for (CallSlot& slot : mCalls) slot.calls.store(0, std::memory_order_relaxed);
}

void DirectXConfig::FromDesktop() {
    int w = 0, h = 0, bits = 0, hz = 0;
    if (!GetDesktopMode(w, h, bits, hz)) return;
    mDesktopWidth = w;
    mDesktopHeight = h;
    mDesktopFormat = bits == 16 ? PixelLayout::RGB565 : PixelLayout::XRGB8888;
    mRefreshRate = static_cast<DWORD>(std::max(hz, 0));
    const auto known = [&](DWORD b) {
        return std::any_of(mModes.begin(), mModes.end(), [&](const DisplayModeInfo& m) {
            return m.width == static_cast<DWORD>(w) && m.height == static_cast<DWORD>(h) && m.bits == b;
        });
    };
    for (DWORD b : {16u, 32u})
        if (!known(b)) mModes.push_back({static_cast<DWORD>(w), static_cast<DWORD>(h), b});
}

bool DirectXConfig::ApplyEnvironment(std::string* error) {
    bool ok = true;
    auto bad = [&](const char* name, const char* value) {
        ok = false;
        if (error) *error += std::string(error->empty() ? "" : "; ") + name + ": cannot read \"" + value + "\"";
    };
    if (const char* v = std::getenv("PEMBERLY_DX_FORMAT")) {
        if (!ParsePixelLayout(v, mDesktopFormat)) bad("PEMBERLY_DX_FORMAT", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_DESKTOP")) {
        int w = 0, h = 0;
        if (ParseSize(v, w, h)) {
            mDesktopWidth = w;
            mDesktopHeight = h;
            for (DWORD b : {16u, 32u}) mModes.push_back({static_cast<DWORD>(w), static_cast<DWORD>(h), b});
        } else {
            bad("PEMBERLY_DX_DESKTOP", v);
        }
    }
    if (const char* v = std::getenv("PEMBERLY_DX_REFRESH")) {
        unsigned long long hz = 0;
        if (std::string(v) == "fail")
            mRefreshFails = true;
        else if (ParseUnsigned(v, hz) && hz <= 1000)
            mRefreshRate = static_cast<DWORD>(hz);
        else
            bad("PEMBERLY_DX_REFRESH", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_VIDMEM")) {
        unsigned long long mb = 0;
        if (ParseUnsigned(v, mb) && mb <= (1ull << 20))
            mVideoMemory = mb << 20;
        else
            bad("PEMBERLY_DX_VIDMEM", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_PITCH_PAD")) {
        unsigned long long pad = 0;
        if (ParseUnsigned(v, pad) && pad <= 4096)
            mPitchPadding = static_cast<int>(pad);
        else
            bad("PEMBERLY_DX_PITCH_PAD", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_MODE16")) {
        PixelLayout l;
        if (ParsePixelLayout(v, l) && PixelFormatOf(l).dwRGBBitCount == 16)
            mMode16Format = l;
        else
            bad("PEMBERLY_DX_MODE16", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_FAIL")) {
        // "Interface::Method[=hex result]" entries separated by commas.
        std::string all = v;
        size_t start = 0;
        while (start <= all.size()) {
            size_t comma = all.find(',', start);
            if (comma == std::string::npos) comma = all.size();
            std::string entry = all.substr(start, comma - start);
            start = comma + 1;
            if (entry.empty()) continue;
            HRESULT hr = E_FAIL;
            const size_t eq = entry.find('=');
            if (eq != std::string::npos) {
                char* end = nullptr;
                const std::string code = entry.substr(eq + 1);
                hr = static_cast<HRESULT>(std::strtoul(code.c_str(), &end, 16));
                if (code.empty() || *end != '\0' || SUCCEEDED(hr)) {
                    bad("PEMBERLY_DX_FAIL", entry.c_str());
                    continue;
                }
                entry.resize(eq);
            }
            InjectFailure(entry, hr);
        }
    }
    return ok;
}

void DirectXConfig::InjectFailure(const std::string& method, HRESULT hr, int skip, int count) {
    std::lock_guard<std::mutex> hold(mMutex);
    mFailures[DxMethod::Hash(method)] = Failure{hr, skip, count};
    mFailureCount.store(mFailures.size(), std::memory_order_release);
}

void DirectXConfig::ClearFailures() {
    std::lock_guard<std::mutex> hold(mMutex);
    mFailures.clear();
    mFailureCount.store(0, std::memory_order_release);
}

DirectXConfig::CallSlot* DirectXConfig::SlotOf(uint64_t hash, bool add) {
    for (size_t i = 0; i < kCallSlots; ++i) {
        CallSlot& slot = mCalls[(hash + i) & (kCallSlots - 1)];
        uint64_t held = slot.hash.load(std::memory_order_acquire);
        if (held == 0) {
            if (!add) return nullptr;
            if (slot.hash.compare_exchange_strong(held, hash, std::memory_order_acq_rel) || held == hash)
                return &slot;
        }
        if (held == hash) return &slot;
    }
    return nullptr;   // every slot taken: the method goes uncounted
}

HRESULT DirectXConfig::Check(DxMethod method) {
    // Every draw call comes here: no lock and no allocation unless a failure
    // was asked for.
    if (CallSlot* slot = SlotOf(method.mHash, true)) slot->calls.fetch_add(1, std::memory_order_relaxed);
    if (mFailureCount.load(std::memory_order_acquire) == 0) return S_OK;
    std::lock_guard<std::mutex> hold(mMutex);
    auto it = mFailures.find(method.mHash);
    if (it == mFailures.end()) return S_OK;
    Failure& f = it->second;
    if (f.skip > 0) {
        --f.skip;
        return S_OK;
    }
    if (f.count == 0) return S_OK;
    if (f.count > 0) --f.count;
    return f.hr;
}

int DirectXConfig::CallCount(const std::string& method) {
    const CallSlot* slot = SlotOf(DxMethod::Hash(method), false);
    return slot ? slot->calls.load(std::memory_order_relaxed) : 0;
}

} // namespace platform
