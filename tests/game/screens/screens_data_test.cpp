#include <set>
#include "framework/graphics/memory_image.h"
#include "game/app/tables.h"
#include "game/screens/escape_menu.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/screens/menu_screens.h"
#include "game/screens/message_box2.h"
#include "tests/game/screens/screens_fixture.h"

namespace screenstest {
namespace {

// Every screen built from the sample layouts binds every child it names, and
// every texture, localised text, sound and music it asks for in code exists.
TEST_F(ScreensTest, SampleScreensBindAndResolveEverythingTheyName) {
    EXPECT_TRUE(app->Warnings().empty()) << app->Warnings()[0];
    EscapeMenu escape(app.get(), composition.GetUiRoot());
    std::vector<Screen*> screens;
    ForEachMenuScreen(*app, [&](Screen& s) { screens.push_back(&s); });
    screens.push_back(&escape);
    ASSERT_EQ(screens.size(), 11u);
    EXPECT_EQ(app->mMainMenu->mLink, "https://example.com/pemberly\n");
    EXPECT_TRUE(app->mMainMenu->mNameplate->mVisible);
    TextureTable* textures = app->GetTextureTable();
    for (Screen* screen : screens) {
        ScreenNames names;
        screen->ListNames(names);
        const std::string what = typeid(*screen).name();
        EXPECT_GT(screen->mWidth, 0) << what << ": no layout";
        for (const auto& [name, control] : names.members) EXPECT_NE(control, nullptr) << what << " binds " << name;
        for (const std::string& name : names.textures) {
            EXPECT_NE(textures->Acquire(name), nullptr) << what << ": " << name;
            textures->Release(name);
        }
        for (const std::string& key : names.locKeys) EXPECT_TRUE(app->GetLocTable()->Has(key)) << what << ": " << key;
        for (const std::string& sound : names.sounds) EXPECT_TRUE(app->GetSoundManager()->HasSound(sound)) << sound;
        for (const std::string& music : names.music) EXPECT_TRUE(app->GetMusicManager()->HasMusic(music)) << music;
    }
}

// Each full-screen backdrop is one flat colour of its own, so a screenshot
// tells the screens apart.
TEST_F(ScreensTest, FullScreenBackdropsHaveTheirOwnFlatColours) {
    std::set<uint32_t> colours;
    int backdrops = 0;
    for (pugi::xpath_node xn : composition.GetUiRoot().select_nodes("//element[@type='uxdialog']")) {
        XmlNode e = xn.node();
        XmlNode tex = UiControl::ChildById(e, "texture", "normal");
        if (e.attribute("width").as_int() != 800 || e.attribute("height").as_int() != 600 || !tex) continue;
        const std::string name = tex.attribute("texture").as_string();
        Zephra::MemoryImage* picture = app->GetTextureTable()->Acquire(name);
        ASSERT_NE(picture, nullptr) << name;
        const uint32_t* bits = picture->GetBits();
        const size_t count = static_cast<size_t>(picture->mWidth) * picture->mHeight;
        EXPECT_EQ(std::count(bits, bits + count, bits[0]), static_cast<long>(count)) << name << " is not flat";
        EXPECT_TRUE(colours.insert(bits[0]).second) << name << " shares its colour";
        app->GetTextureTable()->Release(name);
        ++backdrops;
    }
    EXPECT_EQ(backdrops, 8);
}

// The screens stand in the widget tree in their order, the splash on screen,
// everything else hidden until called; the menu background owns the menus.
TEST_F(ScreensTest, CompositionBuildsTheScreensInOrder) {
    EXPECT_TRUE(app->mSplash->mVisible);
    for (Screen* s : std::vector<Screen*>{app->mMenuBackground, app->mHelp, app->mOptions, app->mLoadScreen,
                                          GetMessageBox2()})
        EXPECT_FALSE(s->mVisible) << typeid(*s).name();
    EXPECT_EQ(app->mMenuBackground->FindChild("main_menu"), static_cast<UiControl*>(app->mMainMenu));
    EXPECT_EQ(app->mMenuBackground->FindChild("career"), static_cast<UiControl*>(app->mCareer));
    EXPECT_EQ(app->mMenuBackground->FindChild("survival"), static_cast<UiControl*>(app->mSurvival));
    EXPECT_EQ(app->mMenuBackground->FindChild("hiscores"), static_cast<UiControl*>(app->mHiscores));
    const std::vector<Zephra::Widget*>& top = wm()->mWidgets;
    auto at = [&](const UiControl* w) { return std::find(top.begin(), top.end(), w) - top.begin(); };
    EXPECT_LT(at(app->mMenuBackground), at(app->mHelp));
    EXPECT_LT(at(app->mHelp), at(app->mOptions));
    EXPECT_LT(at(app->mOptions), at(app->mLoadScreen));
    EXPECT_LT(at(app->mLoadScreen), at(app->mSplash));
    EXPECT_LT(at(app->mSplash), at(GetMessageBox2()));
    EXPECT_EQ(app->GetMusicManager()->Pending().empty() && app->GetMusicManager()->Current().empty(), true);
    SkipSplash();
    EXPECT_TRUE(app->mMenuBackground->mVisible);
    EXPECT_TRUE(app->mMainMenu->mVisible);
    EXPECT_FALSE(app->mSplash->mVisible);
    const std::string& music = app->GetMusicManager()->Pending().empty() ? app->GetMusicManager()->Current()
                                                                          : app->GetMusicManager()->Pending();
    EXPECT_EQ(music, "main_menu");
}

} // namespace
} // namespace screenstest
