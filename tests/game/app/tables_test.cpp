#include "game/app/tables.h"

#include <gtest/gtest.h>

#include <set>
#include "framework/graphics/memory_image.h"
#include "framework/resources/resource_manager.h"
#include "tests/game/app/game_folder.h"

using gametest::GameFolder;

namespace {

// Counts the images made for it and those destroyed.
class CountingHost : public Zephra::ImageHost {
public:
    void AddMemoryImage(Zephra::MemoryImage* image) override { live.insert(image); ++made; }
    void RemoveMemoryImage(Zephra::MemoryImage* image) override {
        EXPECT_EQ(live.erase(image), 1u) << "an image was destroyed twice or was never made";
        ++destroyed;
    }
    std::set<Zephra::MemoryImage*> live;
    int made = 0;
    int destroyed = 0;
};

class TextureTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("images/star.png", gametest::MakePng(4, 3, 0xFF102030));
        folder.Write("images/half.png", gametest::MakePng(2, 2, 0x80FFFFFF));
        folder.Write("images/broken.png", "not a picture");
    }
    GameFolder folder;
    CountingHost host;
};

TEST_F(TextureTableTest, CountsUsesAndDeletesOnceAtZero) {
    TextureTable table(&host);
    table.Define("star", "images\\star.png");
    Zephra::MemoryImage* a = table.Acquire("star");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->mWidth, 4);
    EXPECT_EQ(a->mHeight, 3);
    EXPECT_EQ(table.Acquire("star"), a);
    EXPECT_EQ(table.UseCount("star"), 2);
    EXPECT_EQ(host.made, 1);

    table.Release("star");
    EXPECT_EQ(host.destroyed, 0);
    table.Release("star");
    EXPECT_EQ(host.destroyed, 1);
    table.Release("star");  // below zero: ignored
    table.ReleaseImage(a);  // a stale pointer matches nothing
    EXPECT_EQ(host.destroyed, 1);
    EXPECT_EQ(table.UseCount("star"), 0);
    EXPECT_EQ(table.LoadedCount(), 0u);

    // Used again, it is loaded again.
    ASSERT_NE(table.Acquire("star"), nullptr);
    EXPECT_EQ(host.made, 2);
    EXPECT_EQ(table.UseCount("star"), 1);
}

TEST_F(TextureTableTest, ReleaseByImageAndDestructionFreeEverything) {
    {
        TextureTable table(&host);
        table.Define("star", "images\\star.png");
        Zephra::MemoryImage* star = table.Acquire("star");
        Zephra::MemoryImage* half = table.Acquire("images\\half.png");  // a plain game path
        ASSERT_NE(star, nullptr);
        ASSERT_NE(half, nullptr);
        EXPECT_TRUE(half->mHasAlpha);
        table.ReleaseImage(half);
        EXPECT_EQ(host.destroyed, 1);
        table.ReleaseImage(nullptr);
        EXPECT_EQ(table.LoadedCount(), 1u);
    }
    EXPECT_EQ(host.destroyed, 2);
    EXPECT_TRUE(host.live.empty());
}

TEST_F(TextureTableTest, UnknownOrUnloadableNamesGiveNothing) {
    TextureTable table(&host);
    table.Define("broken", "images\\broken.png");
    table.Define("gone", "images\\gone.png");
    EXPECT_EQ(table.Acquire("nothing"), nullptr);
    EXPECT_NE(table.LastError().find("nothing"), std::string::npos);
    EXPECT_EQ(table.Acquire("images\\missing.png"), nullptr);
    EXPECT_FALSE(table.IsDefined("images\\missing.png"));
    EXPECT_EQ(table.Acquire("broken"), nullptr);
    EXPECT_EQ(table.Acquire("gone"), nullptr);
    EXPECT_EQ(table.UseCount("broken"), 0);
    table.Release("nothing");
    table.Release("broken");
    EXPECT_EQ(host.made, host.destroyed);
}

// Each picture that does not load is reported once, with its real reason.
TEST_F(TextureTableTest, FailuresAreReportedOnceWithTheirReason) {
    folder.Write("images/file", "a file, not a folder");
    TextureTable table(&host);
    std::vector<std::string> warnings;
    table.SetWarning([&](const std::string& text) { warnings.push_back(text); });
    table.Define("broken", "images\\broken.png");
    table.Define("gone", "images\\gone.png");
    table.Define("under a file", "images\\file\\star.png");
    struct Case {
        const char* name;
        const char* why;
    } cases[] = {
        {"nothing", "Unknown texture nothing"},
        {"gone", "Failed to load texture gone from images\\gone.png: cannot read file (no such file)"},
        {"broken", "Failed to load texture broken from images\\broken.png: "},
        {"under a file", "images/file is not a folder"},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 2; ++i) EXPECT_EQ(table.Acquire(c.name), nullptr) << c.name;
        EXPECT_NE(table.LastError().find(c.why), std::string::npos) << c.name << ": " << table.LastError();
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(warnings.back(), table.LastError()) << c.name;
    }
    EXPECT_EQ(warnings.size(), std::size(cases)) << "each name once";
    EXPECT_NE(warnings[2], "Failed to load texture broken from images\\broken.png: ") << "a reason follows";
}

TEST_F(TextureTableTest, TableFileKeepsFirstDefinition) {
    folder.Write("cfg/textures.xml",
                 "<textures><texture name=\"star\" path=\"images\\star.png\"/>"
                 "<texture name=\"star\" path=\"images\\half.png\"/>"
                 "<texture name=\"nopath\"/><texture path=\"images\\half.png\"/></textures>");
    TextureTable table(&host);
    std::vector<std::string> errors;
    ASSERT_TRUE(table.LoadTable(TextureTable::kTablePath, errors));
    EXPECT_EQ(errors.size(), 2u);
    Zephra::MemoryImage* star = table.Acquire("star");
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(star->mWidth, 4);
    EXPECT_FALSE(table.IsDefined("nopath"));
    EXPECT_FALSE(table.LoadTable("cfg\\missing.xml", errors));
}

TEST(TextTableTest, LocalisationFileAndLookup) {
    GameFolder folder;
    folder.Write("cfg/loc.xml",
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?><loc>"
                 "<text key=\"HELLO\" value=\"Gr\xC3\xBC\xC3\x9F" "e\"/>"
                 "<text key=\"HELLO\" value=\"second\"/>"
                 "<text key=\"EMPTY\" value=\"\"/>"
                 "<text value=\"no key\"/></loc>");
    TextTable loc;
    loc.Set("OLD", u"gone after a load");
    std::vector<std::string> errors;
    ASSERT_TRUE(loc.Load(TextTable::kLocPath, errors));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(loc.Lookup("HELLO"), u"Gr\u00FC\u00DFe");
    EXPECT_TRUE(loc.Has("EMPTY"));
    EXPECT_EQ(loc.Lookup("OLD"), u"");
    EXPECT_EQ(loc.Lookup("MISSING"), u"");
    EXPECT_FALSE(loc.Has("MISSING"));  // a lookup adds nothing
    EXPECT_EQ(loc.Size(), 2u);

    // A file that does not load leaves the table as it was.
    folder.Write("cfg/bad.xml", "<loc><text key=");
    EXPECT_FALSE(loc.Load("cfg\\bad.xml", errors));
    EXPECT_EQ(loc.Lookup("HELLO"), u"Gr\u00FC\u00DFe");
}

// A text past the limit (up to what a game file may hold) is left out by
// name; one at the limit is kept whole.
TEST(TextTableTest, TextsPastTheLimitAreLeftOutByName) {
    GameFolder folder;
    const size_t limit = TextTable::kMaxTextLength;
    folder.Write("cfg/loc.xml", "<loc><text key=\"AT_LIMIT\" value=\"" + std::string(limit, 'a') +
                                    "\"/><text key=\"PAST\" value=\"" + std::string(limit + 1, 'b') +
                                    "\"/><text key=\"MENU_TITLE\" value=\"" + std::string(30u << 20, 'c') +
                                    "\"/><text key=\"AFTER\" value=\"kept\"/></loc>");
    TextTable loc;
    std::vector<std::string> errors;
    ASSERT_TRUE(loc.Load(TextTable::kLocPath, errors));
    EXPECT_EQ(loc.Lookup("AT_LIMIT").size(), limit);
    EXPECT_EQ(loc.Lookup("AFTER"), u"kept");
    ASSERT_EQ(errors.size(), 2u);
    for (const char* key : {"PAST", "MENU_TITLE"}) {
        EXPECT_FALSE(loc.Has(key)) << key;
        const std::string& error = errors[std::string(key) == "PAST" ? 0 : 1];
        EXPECT_NE(error.find("cfg\\loc.xml: text " + std::string(key) + " is longer than 4096"), std::string::npos)
            << error;
    }
}

TEST(TextTableTest, Utf16LocalisationFile) {
    GameFolder folder;
    std::u16string text = u"\uFEFF<loc><text key=\"K\" value=\"\u00E9t\u00E9\"/></loc>";
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    folder.Write("cfg/loc.xml", bytes);
    TextTable loc;
    std::vector<std::string> errors;
    ASSERT_TRUE(loc.Load(TextTable::kLocPath, errors));
    EXPECT_EQ(loc.Lookup("K"), u"\u00E9t\u00E9");
}

TEST(TextTableTest, Variables) {
    TextTable vars;
    EXPECT_FALSE(vars.Has("money"));
    EXPECT_EQ(vars.Get("money"), u"");
    EXPECT_TRUE(vars.Has("money"));  // Get adds the key
    vars.SetNumber("money", 1250);
    EXPECT_EQ(vars.Get("money"), u"1250");
    vars.SetNumber("money", -7);
    EXPECT_EQ(vars.Lookup("money"), u"-7");
    vars.SetNumber("big", -2147483647 - 1);
    EXPECT_EQ(vars.Get("big"), u"-2147483648");
    vars.Set("name", u"Ann");
    EXPECT_EQ(vars.Get("name"), u"Ann");
    // Wide keys reach the same entries.
    EXPECT_EQ(vars.Lookup(u"name"), u"Ann");
    vars.Set("caf\u00E9", u"open");
    EXPECT_EQ(vars.Get(u"caf\u00E9"), u"open");
    EXPECT_EQ(vars.Lookup(u"absent"), u"");
    EXPECT_FALSE(vars.Has("absent"));
    EXPECT_EQ(vars.Get(u"added"), u"");
    EXPECT_TRUE(vars.Has("added"));
}

TEST(FontTableTest, NamesResolveThroughTheManifest) {
    GameFolder folder;
    std::string font = testsupport::ReadFile(testsupport::SourceDir() + "/data/fonts/DejaVuSans.ttf");
    ASSERT_FALSE(font.empty());
    folder.Write("fonts/f.ttf", font);
    folder.Write("properties/resources.xml",
                 "<resources><group id=\"Init\">"
                 "<font id=\"FONT_A\" path=\"fonts\\f.ttf\" size=\"12\"/>"
                 "<font id=\"FONT_A_STROKE\" path=\"fonts\\f.ttf\" size=\"12\" stroke=\"2\"/>"
                 "</group><group id=\"Later\"><font id=\"FONT_B\" path=\"fonts\\f.ttf\" size=\"9\"/></group></resources>");
    folder.Write("cfg/fonts.xml",
                 "<fonts><font name=\"text\" res=\"FONT_A\"/><font name=\"text_stroke\" res=\"FONT_A_STROKE\"/>"
                 "<font name=\"later\" res=\"FONT_B\"/><font name=\"ghost\" res=\"FONT_NONE\"/></fonts>");
    Zephra::ResourceManager resources;
    ASSERT_TRUE(resources.ParseResourcesFile());
    ASSERT_TRUE(resources.LoadResourceGroup("Init"));
    FontTable fonts(&resources);
    std::vector<std::string> errors;
    ASSERT_TRUE(fonts.LoadTable(FontTable::kTablePath, errors));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(fonts.Get("text"), resources.GetFont("FONT_A"));
    ASSERT_NE(fonts.Get("text_stroke"), nullptr);
    EXPECT_NE(fonts.Get("text_stroke"), fonts.Get("text"));
    EXPECT_EQ(fonts.Get("FONT_A"), fonts.Get("text"));  // a manifest id works as a name
    EXPECT_EQ(fonts.Get("later"), nullptr);              // its group is not loaded
    EXPECT_EQ(fonts.Get("ghost"), nullptr);
    EXPECT_EQ(fonts.Get("unknown"), nullptr);
    ASSERT_TRUE(resources.LoadResourceGroup("Later"));
    EXPECT_NE(fonts.Get("later"), nullptr);
    EXPECT_EQ(FontTable(nullptr).Get("text"), nullptr);
}

} // namespace
