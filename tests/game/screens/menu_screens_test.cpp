#include <pugixml.hpp>
#include "framework/graphics/memory_image.h"
#include "game/app/prefs.h"
#include "game/ui/cursor_table.h"
#include "game/ui/ui_check_box.h"
#include "game/ui/ui_slider.h"
#include "game/ui/ui_text.h"
#include "tests/game/screens/screens_fixture.h"
#include "tests/support/fake_clock.h"

namespace screenstest {
namespace {

// The load screen stays up 1.5 s after its show however quick the load, and
// does not wait for a load that took longer or for a show that never came.
TEST_F(ScreensTest, LoadScreenStaysUpItsMinimumTime) {
    SkipSplash();
    testsupport::FakeClock clock;
    app->mUpdateInterval = 100;  // fewer frames drawn while waiting
    LoadScreen* load = app->mLoadScreen;
    struct Case {
        bool shown;
        uint64_t loadMs;
        uint64_t hiddenAfterMs;   // since the show
    } cases[] = {{true, 200, 1500}, {true, 3000, 3000}, {true, 1499, 1500}, {false, 200, 200}};
    for (const Case& c : cases) {
        const uint64_t start = clock.now;
        if (c.shown) load->Show();
        EXPECT_EQ(level.shown, !c.shown);
        EXPECT_EQ(app->GetCursorTable()->IsDrawing(), !c.shown);
        clock.now += c.loadMs;
        load->Hide();
        EXPECT_GE(clock.now - start, c.hiddenAfterMs) << c.loadMs;
        // The wait ends with the first step after the minimum: at most one
        // update interval later, which an idle step sleeps through.
        EXPECT_LE(clock.now - start, c.hiddenAfterMs + uint64_t(app->mUpdateInterval)) << c.loadMs;
        EXPECT_FALSE(load->mVisible);
        EXPECT_TRUE(level.shown);
        EXPECT_TRUE(app->GetCursorTable()->IsDrawing());
        EXPECT_FALSE(wm()->IsInputLocked());
    }
}

// Volume and mute follow the controls while the dialog is open and stay,
// whichever button closes it; the screen mode changes only on apply. Both
// buttons save.
TEST_F(ScreensTest, OptionsPreviewCancelAndApply) {
    SkipSplash();
    OptionsDialog* options = app->mOptions;
    struct Case {
        bool apply;
        int sound, music;
        bool mute, fullScreen;
        uint8_t windowed;       // stored afterwards
    } cases[] = {
        {false, 0, 40, false, true, 1},
        {true, 30, 70, true, false, 1},
        {true, 55, 20, false, true, 0},
    };
    for (const Case& c : cases) {
        const uint8_t windowedBefore = app->GetPrefsHeader().windowed;
        options->Show();
        EXPECT_EQ(options->mSoundVolume->GetValue(), app->GetPrefsHeader().sfxVolume);
        EXPECT_EQ(options->mFullScreen->IsChecked(), !app->mWindowed);
        options->mSoundVolume->SetValue(c.sound);
        options->mMusicVolume->SetValue(c.music);
        options->mMute->SetChecked(c.mute);
        options->mFullScreen->SetChecked(c.fullScreen);
        Step();
        EXPECT_EQ(app->GetSoundManager()->GetVolume(), c.mute ? 0 : c.sound) << c.sound;
        EXPECT_EQ(app->GetMusicManager()->GetVolume(), c.mute ? 0 : c.music) << c.sound;
        EXPECT_EQ(app->GetPrefsHeader().windowed, windowedBefore) << "not before apply";
        Click(c.apply ? options->mApply : options->mCancel);
        EXPECT_FALSE(options->mVisible);
        EXPECT_EQ(level.focus, true);
        PrefsFile saved(prefs.File("pref.dat"));
        ASSERT_TRUE(saved.Load());
        EXPECT_EQ(saved.Header().sfxVolume, c.sound);
        EXPECT_EQ(saved.Header().musicVolume, c.music);
        EXPECT_EQ(saved.Header().muted, c.mute ? 1 : 0);
        EXPECT_EQ(saved.Header().windowed, c.windowed) << c.sound;
    }
}

// Each page shows for 5 s of update time and fades out; a key ends a page at
// once; after the last page the menus come.
TEST_F(ScreensTest, SplashPagesAndSkipping) {
    SplashScreen* splash = app->mSplash;
    ASSERT_EQ(splash->mPages.size(), 2u);
    auto run = [&](bool skip) {
        int steps = 0;
        while (!app->mMenuBackground->mVisible && steps < 2000) {
            if (skip && splash->mPages[splash->mPage]->mVisible) wm()->KeyDown(platform::VK_SPACE);
            Step();
            ++steps;
            if (!skip && steps == 499) {
                EXPECT_TRUE(splash->mPages[0]->mVisible);
            }
        }
        return steps;
    };
    // 500 steps of 10 ms a page, each followed by a 0.3 s fade.
    const int steps = run(false);
    EXPECT_GE(steps, 1000);
    EXPECT_LE(steps, 1000 + 2 * 32);
    EXPECT_FALSE(splash->mVisible);
    EXPECT_TRUE(app->mMainMenu->mVisible);

    app->mMenuBackground->SetVisible(false);
    splash->mPage = 0;
    splash->mPageDone = false;
    splash->Show();
    EXPECT_FALSE(app->GetCursorTable()->IsDrawing());
    EXPECT_LE(run(true), 6);
    EXPECT_TRUE(app->GetCursorTable()->IsDrawing());

    // A splash without a page with a picture hands over at once.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<ui><element type="uxdialog" name="splash" width="800" height="600">
        <element type="uxdialog" name="blank" width="800" height="600"/>
        <element type="uxdialog" name="lost" width="800" height="600"><texture id="normal" texture="no_such"/></element>
        </element></ui>)"));
    app->mMenuBackground->SetVisible(false);
    auto* empty = new SplashScreen(app.get(), doc.document_element());
    wm()->AddWidget(empty);
    EXPECT_TRUE(empty->mPages.empty());
    empty->Show();
    EXPECT_TRUE(app->mMenuBackground->mVisible);
    EXPECT_FALSE(empty->mVisible);
    wm()->RemoveWidget(empty);
    delete empty;
}

// The arrows follow the page: none before the first or past the last.
TEST_F(ScreensTest, HelpPaging) {
    SkipSplash();
    HelpDialog* help = app->mHelp;
    ASSERT_EQ(help->mPages.size(), 3u);
    help->Show();
    EXPECT_FALSE(level.focus);
    struct Case {
        UiButton* HelpDialog::*press;   // none: as shown
        int page;
        bool prev, next;
    } cases[] = {
        {nullptr, 0, false, true},
        {&HelpDialog::mNext, 1, true, true},
        {&HelpDialog::mNext, 2, true, false},
        {&HelpDialog::mPrev, 1, true, true},
    };
    for (const Case& c : cases) {
        if (c.press) Click(help->*c.press);
        Step(40);
        EXPECT_EQ(help->mCurrent, c.page);
        for (size_t i = 0; i < help->mPages.size(); ++i)
            EXPECT_EQ(help->mPages[i]->mVisible, static_cast<int>(i) == c.page) << c.page << " " << i;
        EXPECT_EQ(help->mPrev->mDisabled, !c.prev) << c.page;
        EXPECT_EQ(help->mNext->mDisabled, !c.next) << c.page;
    }
    help->SetPage(-1);
    EXPECT_TRUE(help->mPrev->mDisabled && help->mNext->mDisabled);
    help->SetPage(0);
    Click(help->mClose);
    EXPECT_FALSE(help->mVisible);
    EXPECT_EQ(help->mCurrent, -1);
    EXPECT_TRUE(level.focus);
}

// Career on the first page, survival on the second; the current player's
// lines are lit, names show as typed, free lines stay empty.
TEST_F(ScreensTest, HiscoresShowBothTables) {
    SkipSplash();
    app->GetCurrentProfile().name = u"Ann";
    RecordTable& records = app->GetRecordTable();
    records.AddScore(false, u"Ann", 5000);
    records.AddScore(false, u"50% off %profilename%", 3000);
    records.AddScore(false, u"Ann", 100);
    records.AddScore(true, u"Bob", 7);
    HiscoresDialog* hiscores = app->mHiscores;
    hiscores->Show();
    Step();
    struct Case {
        int page, line;
        const char16_t* name;
        const char16_t* score;
        bool lit;
    } cases[] = {
        {0, 0, u"Ann", u"5000", true},
        {0, 1, u"50% off %profilename%", u"3000", false},
        {0, 2, u"Ann", u"100", true},
        {0, 3, u"", u"", false},
        {1, 0, u"Bob", u"7", false},
        {1, 9, u"", u"", false},
    };
    for (const Case& c : cases) {
        UiControl* line = hiscores->mPages[static_cast<size_t>(c.page)]->FindChild("line" + std::to_string(c.line));
        ASSERT_NE(line, nullptr);
        const std::string where = std::to_string(c.page) + "/" + std::to_string(c.line);
        EXPECT_EQ(static_cast<UiText*>(line->FindChild("text1"))->GetShownText(), c.name) << where;
        EXPECT_EQ(static_cast<UiText*>(line->FindChild("text2"))->GetShownText(), c.score) << where;
        EXPECT_EQ(line->FindChild("back")->mDisabled, !c.lit) << where;
    }
    EXPECT_TRUE(hiscores->mPages[0]->mVisible);
    EXPECT_FALSE(hiscores->mPages[1]->mVisible);
    EXPECT_TRUE(hiscores->mPrev->mDisabled);
    Click(hiscores->mNext);
    EXPECT_EQ(hiscores->mCurrent, 1);
    EXPECT_TRUE(hiscores->mNext->mDisabled);
    Click(hiscores->mClose);
    EXPECT_FALSE(hiscores->mVisible);
    EXPECT_EQ(hiscores->mCurrent, -1);
}

} // namespace
} // namespace screenstest
