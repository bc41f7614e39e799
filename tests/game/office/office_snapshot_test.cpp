#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include "framework/resources/image_lib.h"
#include "game/app/office_app.h"
#include "game/app/startup.h"
#include "tests/game/office/snapshot/office_snapshot.h"
#include "tests/support/temp_dirs.h"

namespace {

TEST(OfficeSnapshot, SampleOfficeDrawsBackToFront) {
    testsupport::TempUserDirs user;
    OfficeApp app;
    app.mNoWindow = true;
    Zephra::MemoryImage office;
    std::string error;
    ASSERT_TRUE(officesnap::DrawOffice(testsupport::SourceDir() + "/data", office, error)) << error;
    ASSERT_EQ(office.GetWidth(), officesnap::kWidth);
    ASSERT_EQ(office.GetHeight(), officesnap::kHeight);

    Zephra::MemoryImage floor;
    InstallGameFileAccess(true);
    ASSERT_TRUE(Zephra::ImageLib::LoadImage(officesnap::kGroundPath, floor, error));
    InstallGameFileAccess(false);

    auto at = [](Zephra::MemoryImage& image, int x, int y) { return image.GetBits()[y * image.GetWidth() + x]; };
    auto red = [](uint32_t c) { return int((c >> 16) & 0xFF); };
    auto green = [](uint32_t c) { return int((c >> 8) & 0xFF); };
    auto blue = [](uint32_t c) { return int(c & 0xFF); };
    struct Case {
        const char* what;
        int x, y;
        bool (*looks)(int r, int g, int b);
    };
    const Case cases[] = {
        {"the back wall is grey", 10, 100, [](int r, int g, int b) { return std::abs(r - b) < 40 && g > 150; }},
        {"the window shows the dawn's blue sky", 150, 72, [](int r, int, int b) { return b > r + 40; }},
        {"the plant is green", 545, 275, [](int r, int g, int) { return g > r + 40; }},
        {"the table stands in front of its worker", 190, 277, [](int r, int g, int) { return r > g; }},
        {"the bonus popups are hidden", 10, 8, [](int r, int g, int b) { return std::abs(r - b) < 40 && g > 150; }},
    };
    for (const Case& c : cases) {
        const uint32_t pixel = at(office, c.x, c.y);
        EXPECT_NE(pixel, at(floor, c.x, c.y)) << c.what;
        EXPECT_TRUE(c.looks(red(pixel), green(pixel), blue(pixel))) << c.what << std::hex << ": " << pixel;
    }
}

} // namespace
