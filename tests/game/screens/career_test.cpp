#include "framework/graphics/memory_image.h"
#include "game/app/prefs.h"
#include "game/ui/ui_text.h"
#include "tests/game/screens/screens_fixture.h"

namespace screenstest {
namespace {

// One player; every day's expert goal is 1000 and the best money of day d is
// d * 100, so days 11 and later beat it and day 10 only equals it.
class Career : public ScreensTest {
protected:
    void BeforeStart() override {
        PrefsFile file(prefs.File("pref.dat"));
        ProfileRecord p;
        ASSERT_EQ(file.CreateProfile(u"Ann", "man", p), 0);
        for (int d = 1; d <= 60; ++d) p.bestMoney[d - 1] = d * 100;
        p.reachedDay = 30;
        ASSERT_TRUE(file.Save(&p));
    }
    void SetUp() override {
        ScreensTest::SetUp();
        for (int d = 1; d <= 60; ++d) app->mExpertGoals[static_cast<size_t>(d)] = 1000;
        SkipSplash();
        app->mMainMenu->Hide();
    }
    void Open(UiControl* screen, int reached) {
        app->GetCurrentProfile().reachedDay = reached;
        screen->Show();
        Step();
    }
};

// Played days show whether they beat the expert goal, the next day is the one
// to work on, the rest of its month waits and later months are locked.
TEST_F(Career, CalendarUnlocksByTheReachedDay) {
    CareerDialog* career = app->mCareer;
    enum Look { kWork, kNormal, kExpert };
    struct Case {
        int reached;
        int day;
        bool enabled;
        Look look;
    } cases[] = {
        {1, 1, true, kWork},     {1, 2, false, kWork},    {1, 20, false, kWork},   {1, 21, false, kNormal},
        {1, 60, false, kNormal}, {20, 10, true, kNormal}, {20, 11, true, kExpert}, {20, 20, true, kWork},
        {20, 21, false, kNormal}, {25, 24, true, kExpert}, {25, 25, true, kWork},  {25, 40, false, kWork},
        {25, 41, false, kNormal}, {61, 60, true, kExpert}, {0, 1, true, kWork},
    };
    for (const Case& c : cases) {
        Open(career, c.reached);
        UiButton* button = career->mDays.at(c.day);
        const HeldPicture* looks[] = {&career->mWork, &career->mNormal, &career->mExpert};
        EXPECT_EQ(button->mDisabled, !c.enabled) << c.reached << " day " << c.day;
        EXPECT_EQ(button->GetTexture(kButtonNormal), looks[c.look]->Image()) << c.reached << " day " << c.day;
        EXPECT_NE(button->GetTexture(kButtonNormal), nullptr);
        // The mark sits on the next day (the last one once the career is over).
        const int marked = c.reached < 1 ? 1 : c.reached > 60 ? 60 : c.reached;
        const Zephra::Rect& at = career->mDays.at(marked)->GetLayoutRect();
        EXPECT_EQ(career->mMark->GetLayoutRect().mX, at.mX - 16) << c.reached;
        EXPECT_EQ(career->mMark->GetLayoutRect().mY, at.mY - 14) << c.reached;
        EXPECT_EQ(career->mSelectedDay, marked);
        career->Hide();
    }

    struct Month {
        int reached;
        bool open[3];
    } months[] = {{1, {true, false, false}}, {19, {true, false, false}}, {20, {true, true, false}},
                  {40, {true, true, true}}, {61, {true, true, true}}};
    SurvivalMenu* survival = app->mSurvival;
    for (const Month& m : months) {
        Open(career, m.reached);
        Open(survival, m.reached);
        for (int k = 0; k < 3; ++k) {
            const std::string n = std::to_string(k + 1);
            EXPECT_EQ(career->FindChild("month" + n + "_pic")->mDisabled, !m.open[k]) << m.reached << " " << n;
            for (UiControl* episode : career->mEpisodes[k]) {
                EXPECT_EQ(episode->mDisabled, !m.open[k]) << m.reached << " " << n;
                EXPECT_EQ(static_cast<UiText*>(episode)->mFrames[0], career->mWeekend.Image());
                EXPECT_FALSE(static_cast<UiText*>(episode)->GetShownText().empty())
                    << "a weekend tile says what it is: " << n;
            }
            EXPECT_EQ(survival->mPictures[k]->mDisabled, !m.open[k]) << m.reached << " " << n;
            EXPECT_EQ(survival->mChecks[k]->mVisible, k == 0);
        }
        EXPECT_EQ(static_cast<UiText*>(career->mBossIcon)->mFrames[0], career->mMan.Image());
        career->Hide();
        survival->Hide();
    }
}

// A day button marks its day and start hands it to the level; restart asks,
// then keeps every best result and saves.
TEST_F(Career, DaysStartAndTheCareerRestarts) {
    CareerDialog* career = app->mCareer;
    Open(career, 30);
    Click(career->mDays.at(7));
    EXPECT_EQ(career->mSelectedDay, 7);
    Click(career->mDays.at(31));  // not played yet: disabled
    EXPECT_EQ(career->mSelectedDay, 7);

    PostClick(310, 360);
    Click(career->mRestart);
    EXPECT_EQ(app->GetCurrentProfile().reachedDay, 1);
    PrefsFile saved(prefs.File("pref.dat"));
    std::vector<ProfileRecord> list;
    saved.ReadAllProfiles(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].reachedDay, 1);
    EXPECT_EQ(list[0].bestMoney[59], 6000);
    EXPECT_TRUE(career->mDays.at(2)->mDisabled);  // shown again as a new career

    Click(career->mStart);
    EXPECT_EQ(level.calls, std::vector<std::string>{"start 1"});
    EXPECT_FALSE(career->mVisible);
    EXPECT_FALSE(app->mMenuBackground->mVisible);

    // Survival starts the month picked.
    level.calls.clear();
    app->mMenuBackground->Show();
    app->mMainMenu->Hide();
    SurvivalMenu* survival = app->mSurvival;
    Open(survival, 45);
    Click(survival->mPictures[2]);
    EXPECT_TRUE(survival->mChecks[2]->mVisible);
    EXPECT_FALSE(survival->mChecks[0]->mVisible);
    Click(survival->mStart);
    EXPECT_EQ(level.calls, std::vector<std::string>{"start 3"});

    // Without a level the menus stay.
    SetLevelLink(nullptr);
    app->mMenuBackground->Show();
    app->mMainMenu->Hide();
    Open(survival, 45);
    Click(survival->mStart);
    EXPECT_TRUE(survival->mVisible);
}

} // namespace
} // namespace screenstest
