#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/app/widget_manager.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "tests/support/temp_dirs.h"

namespace {

using Zephra::Color;
using Zephra::Rect;

class Game3D : public OfficeApp {
public:
    void ShowError(const std::string& text, const std::string& title) override { errors.push_back(title + ": " + text); }
    Zephra::DDInterface& Display() { return static_cast<Zephra::DDInterface&>(*mDisplay); }
    std::vector<std::string> errors;
};

// Pictures of the kinds the game draws: a soft-edged sprite and an opaque
// picture wider than one texture.
std::unique_ptr<Zephra::MemoryImage> Sprite(Zephra::ImageHost* host) {
    auto img = std::make_unique<Zephra::MemoryImage>(host);
    img->Create(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            int d2 = (x - 32) * (x - 32) + (y - 32) * (y - 32);
            uint32_t a = d2 < 400 ? 255u : d2 >= 1000 ? 0u : uint32_t(255 - (d2 - 400) * 255 / 600);
            img->GetBits()[y * 64 + x] = a << 24 | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | 0x80;
        }
    img->BitsChanged();
    return img;
}

std::unique_ptr<Zephra::MemoryImage> Panorama(Zephra::ImageHost* host) {
    auto img = std::make_unique<Zephra::MemoryImage>(host);
    img->Create(300, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            img->GetBits()[y * 300 + x] = 0xFF000000u | uint32_t(x * 255 / 300) << 16 | uint32_t(y * 2) << 8 | 0x40;
    img->BitsChanged();
    return img;
}

// One frame of the sample game's application, with a scene of every kind of
// drawing over it, as the window shows it.
std::vector<uint32_t> Frame(platform::Device3DKind kind, bool& on3D) {
    std::vector<uint32_t> frame;
    platform::DirectXConfig::Get().Reset();
    platform::Direct3DConfig::Get().Reset();
    Game3D app;
    InstallGameDisplay(app);
    platform::DirectXConfig::Get().Reset();
    platform::Direct3DConfig::Get().mKind = kind;
    if (!app.Init()) {
        ADD_FAILURE() << (app.errors.empty() ? app.mDisplayError : app.errors[0]);
        return frame;
    }
    on3D = app.Is3DAccelerated();
    auto sprite = Sprite(&app);
    auto panorama = Panorama(&app);
    {
        Zephra::Graphics g(app.mScreenImage);
        g.SetColor(Color(40, 60, 90));
        g.FillRect(Rect(0, 0, 800, 600));
        g.DrawImage(sprite.get(), 50, 50);
        g.DrawImage(panorama.get(), 50, 300);
        g.SetColorizeImages(true);
        g.SetColor(Color(200, 150, 100, 180));
        g.DrawImage(sprite.get(), 150, 50);
        g.SetColorizeImages(false);
        g.SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
        g.DrawImage(sprite.get(), 250, 50);
        g.SetDrawMode(Zephra::DRAWMODE_NORMAL);
        g.SetFastStretch(true);
        g.DrawImageStretched(sprite.get(), 350, 50, 128, 128);
        g.DrawImageMirror(sprite.get(), Rect(500, 50, 64, 64), Rect(0, 0, 64, 64));
        g.DrawImageRotated(sprite.get(), 650, 200, 0.5, 32, 32);
        g.SetColor(Color(255, 0, 0, 128));
        g.FillRect(Rect(400, 300, 200, 100));
        g.SetColor(Color(255, 255, 0));
        g.DrawLine(50, 450, 350, 450);
    }
    app.PresentFrame();
    Zephra::DDInterface& dd = app.Display();
    platform::SurfaceMemory m;
    if (!platform::GetSurfaceMemory(dd.ShownSurface(), m)) return frame;
    for (int y = 0; y < 600 && y < m.height; ++y)
        for (int x = 0; x < 800 && x < m.width; ++x) {
            uint32_t v;
            std::memcpy(&v, m.bits + size_t(y) * m.pitch + size_t(x) * 4, 4);
            frame.push_back(v & 0xFFFFFF);
        }
    return frame;
}

// The game looks the same on the 3D road as on the software road: every
// pixel within a few levels in every channel, but for a rim of a rotated
// sprite.
TEST(Game3DRoad, AFrameLooksTheSameOnBothRoads) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testsupport::TempUserDirs user;
    PakSetGameDir(testsupport::SourceDir() + "/data");
    InstallGameFileAccess(true);
    bool soft3D = true, hard3D = false;
    const std::vector<uint32_t> software = Frame(platform::Device3DKind::None, soft3D);
    const std::vector<uint32_t> device = Frame(platform::Device3DKind::Software, hard3D);
    InstallGameFileAccess(false);
    platform::DirectXConfig::Get().Reset();
    platform::Direct3DConfig::Get().Reset();
    EXPECT_FALSE(soft3D);
    EXPECT_TRUE(hard3D);
    ASSERT_EQ(software.size(), 800u * 600u);
    ASSERT_EQ(device.size(), software.size());
    int far = 0, worst = 0;
    for (size_t i = 0; i < software.size(); ++i) {
        int d = 0;
        for (int s = 0; s < 24; s += 8)
            d = std::max(d, std::abs(int((software[i] >> s) & 0xFF) - int((device[i] >> s) & 0xFF)));
        worst = std::max(worst, d);
        far += d > 8;
    }
    EXPECT_EQ(software[550 * 800 + 700], 0x283C5Au) << "the scene was drawn";
    EXPECT_NE(software[100 * 800 + 82], 0x283C5Au) << "the sprite was drawn";
    // The rotated sprite's rim is sampled a little differently by the device.
    EXPECT_LE(far, 100) << "pixels more than 8 levels apart";
    EXPECT_LE(worst, 32);
}

} // namespace
