#include <gtest/gtest.h>

#include <pugixml.hpp>
#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/temp_dirs.h"

using officetest::FakeLevel;
using officetest::MakePicture;
using officetest::MakeRecord;

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kBlack = 0xFF000000;

// An object at (100, 50) with one part "desk" (offset 5, 7) whose records
// all show frames of the given picture.
struct Fixture {
    explicit Fixture(const char* partXml = R"(<part name="desk" offs_x="5" offs_y="7"/>)") {
        pugi::xml_document doc;
        doc.load_string(partXml);
        item.SetName("desk");
        item.SetPos(100, 50);
        item.SetVisibleFlag(true);
        skin = item.AddPart(doc.first_child());
    }
    // Records named for every orientation, each with one frame.
    void SetRecords(const std::vector<std::string>& names, AnimFrame frame, int boxWidth,
                    std::shared_ptr<Zephra::MemoryImage> picture) {
        AnimData data;
        for (const std::string& name : names) {
            AnimRecord record = MakeRecord(name, kAnimLoop, 10, 1, boxWidth);
            record.block.frames[0] = frame;
            data.records.push_back(record);
        }
        skin->GetPlayer()->SetData(std::move(data));
        for (int i = 0; i < skin->GetPlayer()->GetRecordCount(); ++i)
            skin->GetPlayer()->GetRecordAt(i)->image = Zephra::ImageRef(picture);
    }
    Item item;
    Skin* skin = nullptr;
};

std::shared_ptr<Zephra::MemoryImage> Canvas(uint32_t argb = 0, int width = 200) {
    return MakePicture(width, 120, argb);
}

uint32_t Pixel(Zephra::MemoryImage& image, int x, int y) { return image.GetBits()[y * image.mWidth + x]; }

// A 4 x 2 picture: red on the left half, blue on the right.
std::shared_ptr<Zephra::MemoryImage> RedBlue() {
    auto picture = MakePicture(4, 2, kRed);
    for (int y = 0; y < 2; ++y) {
        picture->GetBits()[y * 4 + 2] = kBlue;
        picture->GetBits()[y * 4 + 3] = kBlue;
    }
    picture->BitsChanged();
    return picture;
}

} // namespace

// Frames land at the object's point plus the part offset plus the frame's
// place in its box; a mirrored frame is flipped inside the box.
TEST(Skin, PlacesFramesMirroredAboutTheBoxWidth) {
    struct Case {
        const char* partXml;
        const char* orientation;
        int left;           // first column drawn
        uint32_t leftColor; // its colour
    };
    const Case cases[] = {
        {R"(<part name="desk" offs_x="5" offs_y="7"/>)", "tl", 106, kRed},
        {R"(<part name="desk" offs_x="5" offs_y="7"/>)", "mtl", 110, kBlue},
        {R"(<part name="desk" offs_x="5" offs_y="7" mirror="1"/>)", "", 110, kBlue},
        {R"(<part name="checkmark" offs_x="5" offs_y="7"/>)", "mtl", 106, kRed},
    };
    for (const Case& c : cases) {
        Fixture f(c.partXml);
        // The checkmark's lookup leaves the orientation out.
        f.SetRecords({"deskmantlidle", "deskmanidle", "checkmarkmanidle"}, {0, 0, 4, 2, 1, 3}, 10, RedBlue());
        f.skin->Select("man");
        f.skin->SetOrientation(c.orientation, false);
        ASSERT_TRUE(f.skin->PlayAnim("idle", false)) << c.orientation;
        auto canvas = Canvas();
        Zephra::Graphics g(canvas.get());
        f.skin->Draw(g);
        const uint32_t other = c.leftColor == kRed ? kBlue : kRed;
        for (int y : {60, 61}) {
            EXPECT_EQ(Pixel(*canvas, c.left - 1, y), 0u) << c.partXml << " " << c.orientation;
            EXPECT_EQ(Pixel(*canvas, c.left, y), c.leftColor) << c.partXml << " " << c.orientation;
            EXPECT_EQ(Pixel(*canvas, c.left + 1, y), c.leftColor) << c.partXml << " " << c.orientation;
            EXPECT_EQ(Pixel(*canvas, c.left + 3, y), other) << c.partXml << " " << c.orientation;
            EXPECT_EQ(Pixel(*canvas, c.left + 4, y), 0u) << c.partXml << " " << c.orientation;
        }
        EXPECT_EQ(Pixel(*canvas, c.left, 59), 0u) << c.partXml << " " << c.orientation;
        EXPECT_EQ(Pixel(*canvas, c.left, 62), 0u) << c.partXml << " " << c.orientation;
    }
}

// Scales within 0.01 of 1 draw unscaled; larger ones grow about the pivot.
TEST(Skin, ScalesOnlyBeyondOneHundredth) {
    struct Case {
        float scale;
        int width;
    };
    for (const Case& c : {Case{1.0f, 100}, Case{1.005f, 100}, Case{0.995f, 100}, Case{1.02f, 102}, Case{0.5f, 50}}) {
        Fixture f;
        f.SetRecords({"deskidle"}, {0, 0, 100, 2, 0, 0}, 100, MakePicture(100, 2, kRed));
        ASSERT_TRUE(f.skin->PlayAnim("idle", false));
        f.skin->SetScale(c.scale);
        auto canvas = Canvas(0, 300);
        Zephra::Graphics g(canvas.get());
        f.skin->Draw(g);
        int drawn = 0;
        for (int x = 0; x < canvas->mWidth; ++x) drawn += Pixel(*canvas, x, 57) != 0 ? 1 : 0;
        EXPECT_EQ(drawn, c.width) << c.scale;
        EXPECT_NE(Pixel(*canvas, 105, 57), 0u) << c.scale << ": the pivot (no scale point) stays put";
    }
}

// Tints and alphas colour the picture and leave the drawing state as found;
// computed alphas stay within 0..255.
TEST(Skin, TintsFadesAndRestoresTheDrawingState) {
    struct Case {
        uint32_t tint;
        float alpha;
        int red; // of a red picture over black
    };
    const Case cases[] = {
        {0, 1.0f, 255},       {0x80FFFFFF, 1.0f, 128}, {0, 0.5f, 127},
        {0, 2.0f, 255},       {0xFFFFFFFF, 3.0f, 255}, {0, -1.0f, 0},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.SetRecords({"deskidle"}, {0, 0, 4, 2, 0, 0}, 4, MakePicture(4, 2, kRed));
        ASSERT_TRUE(f.skin->PlayAnim("idle", false));
        f.skin->Tint() = c.tint;
        f.skin->Alpha() = c.alpha;
        auto canvas = Canvas(kBlack);
        Zephra::Graphics g(canvas.get());
        g.SetColor(Zephra::Color(1, 2, 3, 4));
        f.skin->Draw(g);
        EXPECT_NEAR(static_cast<int>((Pixel(*canvas, 105, 57) >> 16) & 0xFF), c.red, 2)
            << std::hex << c.tint << " " << c.alpha;
        EXPECT_EQ(g.GetColor(), Zephra::Color(1, 2, 3, 4));
        EXPECT_FALSE(g.GetColorizeImages());
        EXPECT_EQ(g.GetDrawMode(), Zephra::DRAWMODE_NORMAL);
    }
}

// The hovered object and its pair items are drawn a second time, additively;
// every later repeat and part is drawn as if no highlight had been.
TEST(Skin, HighlightLeavesTheDrawModeNormal) {
    FakeLevel level;
    Fixture hovered;
    Fixture pair;
    Fixture other;
    pugi::xml_document doc;
    doc.load_string(R"(<object><select_block pair_item="pair"/></object>)");
    hovered.item.AddSelectBlock(doc.first_child().first_child());
    pair.item.SetName("pair");
    hovered.item.SetActive(true);
    level.hovered = &hovered.item;
    const uint32_t grey = 0xFF808080;
    struct Case {
        Fixture* fixture;
        bool highlighted;
    };
    for (const Case& c : {Case{&hovered, true}, Case{&pair, true}, Case{&other, false}}) {
        c.fixture->SetRecords({"deskidle"}, {0, 0, 4, 2, 0, 0}, 4, MakePicture(4, 2, grey));
        ASSERT_TRUE(c.fixture->skin->PlayAnim("idle", false));
        c.fixture->skin->RepeatCount() = 2;
        c.fixture->skin->RepeatStep() = {20, 0};
        auto canvas = Canvas(kBlack);
        Zephra::Graphics g(canvas.get());
        c.fixture->skin->Draw(g);
        const uint32_t first = Pixel(*canvas, 105, 57);
        EXPECT_EQ(first != grey, c.highlighted) << std::hex << first;
        EXPECT_EQ(Pixel(*canvas, 125, 57), first) << "the second repeat draws like the first";
        EXPECT_EQ(g.GetDrawMode(), Zephra::DRAWMODE_NORMAL);
        EXPECT_FALSE(g.GetColorizeImages());
        EXPECT_EQ(g.GetColor(), Zephra::Color(255, 255, 255, 255));
    }
}

TEST(Skin, HitTestsTheFramePixels) {
    // 4 x 2: the left column is clear, the rest opaque; the frame claims 6
    // columns, two more than the picture has.
    auto picture = MakePicture(4, 2, kRed);
    picture->GetBits()[0] = 0x0AFF0000; // alpha 10: not a hit
    picture->GetBits()[4] = 0;
    picture->BitsChanged();
    struct Case {
        const char* orientation;
        int x;
        int y;
        bool hit;
    };
    // Frame at offset (1, 3) in a box 12 wide; the object and part put its box
    // at (105, 57). Mirrored, columns 5 (outside the picture) to 0 lie at 110..115.
    const Case cases[] = {
        {"tl", 106, 60, false}, {"tl", 107, 60, true},  {"tl", 109, 61, true},  {"tl", 110, 60, false},
        {"tl", 111, 60, false}, {"tl", 107, 59, false}, {"tl", 107, 62, false}, {"mtl", 112, 60, true},
        {"mtl", 114, 61, true}, {"mtl", 115, 60, false}, {"mtl", 115, 61, false}, {"mtl", 110, 60, false},
        {"mtl", 111, 61, false}, {"mtl", 109, 60, false}, {"mtl", 116, 60, false},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.SetRecords({"desktlidle"}, {0, 0, 6, 2, 1, 3}, 12, picture);
        f.skin->SetOrientation(c.orientation, false);
        ASSERT_TRUE(f.skin->PlayAnim("idle", false));
        EXPECT_EQ(f.skin->HitTest({c.x, c.y}), c.hit) << c.orientation << " " << c.x << "," << c.y;
    }
    Fixture f;
    f.SetRecords({"deskidle"}, {0, 0, 4, 2, 0, 0}, 4, picture);
    ASSERT_TRUE(f.skin->PlayAnim("idle", false));
    EXPECT_TRUE(f.skin->HitTest({106, 57}));
    f.item.SetVisibleFlag(false);
    EXPECT_FALSE(f.skin->HitTest({106, 57})) << "hidden with its object";
    f.item.SetVisibleFlag(true);
    f.skin->SetText(u"label", 4, 2);
    EXPECT_FALSE(f.skin->HitTest({106, 57})) << "labels are not hit";
}

// Lookups: name + skin (through the exchange table) + orientation + animation;
// a failed lookup keeps what was shown.
TEST(Skin, LooksUpAnimationsBySkinAndOrientation) {
    Fixture f(R"(<part name="desk"><exchange_skin from="woman" to="man"/></part>)");
    f.SetRecords({"deskmanbridle", "deskmantridle", "deskmanbrwalk"}, {0, 0, 4, 2, 0, 0}, 4, RedBlue());
    f.skin->Select("woman");
    EXPECT_EQ(f.skin->GetSkinName(), "man");
    f.skin->SetOrientation("mtr", false);
    EXPECT_EQ(f.skin->GetOrientation(), "tr");
    EXPECT_TRUE(f.skin->IsMirrored());
    ASSERT_TRUE(f.skin->PlayAnim("idle", false));
    EXPECT_EQ(f.skin->GetPlayer()->GetCurrentIndex(), 1);
    EXPECT_FALSE(f.skin->PlayAnim("walk", false));
    EXPECT_EQ(f.skin->GetAnimName(), "idle");
    EXPECT_EQ(f.skin->GetPlayer()->GetCurrentIndex(), 1);
    f.skin->SetOrientation("br", true);
    EXPECT_FALSE(f.skin->IsMirrored());
    EXPECT_EQ(f.skin->GetPlayer()->GetCurrentIndex(), 0) << "replayed for the new orientation";
}

// A part of the sample office fetches its pictures through the application's
// shared images and draws the boss, mirrored for "mbr".
TEST(Skin, DrawsTheSamplePicturesThroughTheSharedImages) {
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(testsupport::SourceDir() + "/data");
    InstallGameFileAccess(true);
    {
        OfficeApp app(prefs.File("pref.dat"));
        app.mNoWindow = true;
        Item boss;
        pugi::xml_document doc;
        doc.load_string(R"(<object name="boss" pos_x="100" pos_y="10"><part name="boss"/></object>)");
        boss.LoadFromConfig(doc.first_child());
        boss.SetVisibleFlag(true);
        boss.SetActive(true);
        boss.SetSkinName("woman");
        struct Case {
            const char* orientation;
            bool mirrored;
        };
        uint32_t unmirrored[40] = {};
        for (const Case& c : {Case{"br", false}, Case{"mbr", true}}) {
            boss.SetOrientation(c.orientation, false);
            ASSERT_TRUE(boss.PlayAnim("boss_idle_empty")) << c.orientation;
            const AnimRecord* record = boss.GetParts()[0]->GetPlayer()->GetRecord();
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->animName, "bosswomanbrboss_idle_empty");
            ASSERT_NE(record->image.GetImage(), nullptr) << "acquired with the play";
            auto canvas = Canvas();
            Zephra::Graphics g(canvas.get());
            boss.GetParts()[0]->Draw(g);
            // A row through the body: the boss faces one way, mirrored the other.
            for (int x = 0; x < 40; ++x) {
                const uint32_t p = Pixel(*canvas, 100 + x, 10 + 14);
                if (!c.mirrored) {
                    unmirrored[x] = p;
                } else {
                    EXPECT_EQ(p, unmirrored[39 - x]) << "column " << x;
                }
            }
        }
        int drawn = 0;
        for (uint32_t p : unmirrored) drawn += p != 0 ? 1 : 0;
        EXPECT_GT(drawn, 5);
    }
    InstallGameFileAccess(false);
    PakSetGameDir(oldDir);
}

// A hidden part runs neither its script nor its animation.
TEST(Skin, HiddenPartsStandStill) {
    officetest::FrameTime step(0.1f);
    Fixture f;
    AnimData data;
    data.records.push_back(MakeRecord("deskidle", kAnimLoop, 10, 8));
    f.skin->GetPlayer()->SetData(std::move(data));
    ASSERT_TRUE(f.skin->PlayAnim("idle", false));
    struct Case {
        bool visible;
        double time;
    };
    for (const Case& c : {Case{false, 0.0}, Case{true, 0.1}, Case{false, 0.1}, Case{true, 0.2}}) {
        f.skin->SetVisibleFlag(c.visible);
        f.skin->Update();
        EXPECT_NEAR(f.skin->GetPlayer()->GetTime(), c.time, 1e-6) << c.visible;
    }
}

// Places at the ends of the integers are kept within the largest picture
// side when read: placing, scaling and drawing the part stays defined.
TEST(Skin, ExtremePlacesAreKeptWithinAPictureSide) {
    struct Case {
        const char* partXml;
        int effectX;  // the effect's point: object 100 + part offset + box place + scale point
    } cases[] = {
        {R"(<part name="desk" scale_point_x="2147483647" scale_point_y="2147483647"/>)", 100 + kMaxCoordinate},
        {R"(<part name="desk" offs_x="2147483647" scale_point_x="2147483647"/>)", 100 + 2 * kMaxCoordinate},
        {R"(<part name="desk" offs_x="-2147483648" scale_point_x="-2147483648" order0_x="2147483647"/>)",
         100 - 2 * kMaxCoordinate},
    };
    for (const Case& c : cases) {
        Fixture f(c.partXml);
        f.SetRecords({"deskidle"}, {0, 0, 4, 2, 0, 0}, 4, RedBlue());
        ASSERT_TRUE(f.skin->PlayAnim("idle", false)) << c.partXml;
        EXPECT_EQ(f.skin->GetEffectPosition().x, c.effectX) << c.partXml;
        for (float scale : {1.0f, 2.0f}) {
            f.skin->SetScale(scale);
            auto canvas = Canvas();
            Zephra::Graphics g(canvas.get());
            f.skin->Draw(g);
        }
    }
}

// A part whose animation file is refused says so, as every other loader does.
TEST(Skin, RefusedAnimationFilesAreReported) {
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    testsupport::TempDir game;
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(game.Path());
    const std::string good = WriteAnmFile(AnimData{{MakeRecord("deskidle", kAnimLoop, 10, 2)}}, 0x400000);
    testsupport::WriteFile(game.File("anm/desk.anm"), good);
    testsupport::WriteFile(game.File("anm/cut.anm"), good.substr(0, 40));
    {
        OfficeApp app(prefs.File("pref.dat"));
        app.mNoWindow = true;
        struct Case {
            const char* part;
            const char* warning;  // empty: none
        } cases[] = {
            {"desk", ""},
            {"cut", "skin \"cut\" has no animations: anm\\cut.anm: truncated image: 28 of 220 bytes"},
            {"gone", "skin \"gone\" has no animations: anm\\gone.anm: cannot be opened (no such file)"},
        };
        for (const Case& c : cases) {
            const size_t before = app.Warnings().size();
            pugi::xml_document doc;
            doc.append_child("part").append_attribute("name") = c.part;
            Item item;
            item.AddPart(doc.first_child());
            const std::vector<std::string> said(app.Warnings().begin() + static_cast<long>(before), app.Warnings().end());
            EXPECT_EQ(said, *c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{}) << c.part;
        }
    }
    PakSetGameDir(oldDir);
}
