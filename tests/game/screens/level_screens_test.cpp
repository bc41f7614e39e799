#include <cmath>
#include <limits>
#include "framework/graphics/memory_image.h"
#include "game/app/tables.h"
#include "game/office/level_screen.h"
#include "game/office/item.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/rule_sequencer.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/comix_dialog.h"
#include "game/screens/debriefing_dialog.h"
#include "game/screens/escape_menu.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/hud.h"
#include "game/screens/upgrade_dialog.h"
#include "game/ui/ui_bar.h"
#include "game/ui/ui_text.h"
#include "tests/game/screens/screens_fixture.h"
#include "platform/text.h"
#include "tests/support/fake_clock.h"

namespace screenstest {
namespace {

// The real level with the panel and its dialogs over it, a profile "Ann"
// (the man) current and the menus up. Time is the fake clock's.
class LevelScreensTest : public ScreensTest {
protected:
    bool FakesTheLevel() override { return false; }
    void SetUp() override {
        ScreensTest::SetUp();
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
        level = app->GetLevelScreen();
        screens = composition.GetLevelScreens();
        ASSERT_NE(level, nullptr);
        ASSERT_NE(screens, nullptr);
        hud = screens->GetHud();
        SkipSplash();
    }
    // A career day or survival month started as the menus start it; the load
    // screen's wait runs in 100 ms steps.
    void Start(int number, bool survival = false) {
        const int interval = app->mUpdateInterval;
        app->mUpdateInterval = 100;
        GetLevelLink()->SetSurvival(survival);
        GetLevelLink()->StartLevel(number);
        app->mUpdateInterval = interval;
        Step();
    }
    static bool Shown(const UiControl* c) { return c != nullptr && (c->mVisible || c->mShowing) && !c->mHiding; }
    Zephra::Image* Frame(UiControl* c) { return static_cast<UiText*>(c)->mFrames[0]; }
    Zephra::Image* Texture(const std::string& name) {
        Zephra::Image* image = app->GetTextureTable()->Acquire(name);
        app->GetTextureTable()->Release(name);
        return image;
    }

    testsupport::FakeClock clock;
    LevelScreen* level = nullptr;
    GameLevelScreens* screens = nullptr;
    Hud* hud = nullptr;
};

// Money that passes the goal and the expert goal in one frame shows the goal
// pop-up in that frame and the expert pop-up in the next; the bar then counts
// from the goal towards the expert goal, even below the goal again.
TEST_F(LevelScreensTest, GoalPopupFirstAndTheExpertPopupAFrameLater) {
    Start(2);
    ASSERT_TRUE(hud->mVisible);
    EXPECT_EQ(hud->mParent, level);
    EXPECT_EQ(Frame(hud->mBgHud), hud->mGoalBackground.Image());
    EXPECT_EQ(hud->mBar->mMax, 250);
    level->AddMoney(500);
    hud->Update();
    EXPECT_TRUE(Shown(hud->mGoalDialog));
    EXPECT_FALSE(Shown(hud->mExpertDialog));
    EXPECT_TRUE(Shown(hud->mExpert));
    EXPECT_FALSE(Shown(hud->mGoal));
    EXPECT_EQ(Frame(hud->mBgHud), hud->mExpertBackground.Image());
    EXPECT_EQ(hud->mBar->mMax, 200);
    EXPECT_EQ(hud->mBar->mValue, 250);
    EXPECT_EQ(hud->mBar->mFill, hud->mExpertBarTexture.Image());
    hud->Update();
    EXPECT_TRUE(Shown(hud->mExpertDialog));

    level->AddMoney(-400);
    hud->Update();
    EXPECT_EQ(hud->mBar->mValue, 100) << "below the goal the bar shows the money itself";
    EXPECT_EQ(hud->mBar->mFill, hud->mExpertBarTexture.Image());

    screens->SetupPanel();
    EXPECT_FALSE(Shown(hud->mGoalDialog) || Shown(hud->mExpertDialog) || Shown(hud->mExpert));
    EXPECT_TRUE(Shown(hud->mGoal));
    EXPECT_EQ(hud->mBar->mFill, hud->mBarTexture.Image());
}

// The clock shows its first frame at the start of the day and its last at
// the end; no frames or a ratio that is not a number leave it alone.
TEST_F(LevelScreensTest, ClockFrameFollowsTheTimelineRatio) {
    struct Case {
        int count;
        float ratio;
        int frame;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {{4, 1.0f, 0}, {4, 0.5f, 1}, {4, 0.0f, 3}, {8, 0.5f, 3}, {1, 0.3f, 0},
                          {4, 1.5f, 0}, {4, -1.0f, 3}, {4, nan, -1}, {4, inf, -1}, {0, 0.5f, -1}};
    for (const Case& c : cases) EXPECT_EQ(HudClockFrame(c.count, c.ratio), c.frame) << c.count << " at " << c.ratio;

    Start(2);
    ASSERT_EQ(hud->mClockFrames.size(), 4u);
    hud->Update();
    const int frame = HudClockFrame(4, level->GetTimelineRatio());
    EXPECT_EQ(Frame(hud->mHudClock), hud->mClockFrames[static_cast<size_t>(frame)].Image());
}

// Lives disable and enable their indicators; more than three is ignored and
// fewer than none counts as none. Tutorial pop-ups go by the number after
// "tutorial"; a panel without clock or bar still updates.
TEST_F(LevelScreensTest, LivesAndTutorialPopups) {
    struct Case {
        int lives;
        bool enabled[3];
    };
    const Case cases[] = {{3, {true, true, true}}, {1, {true, false, false}}, {4, {true, false, false}},
                          {2, {true, true, false}}, {-2, {false, false, false}}, {3, {true, true, true}}};
    for (const Case& c : cases) {
        hud->SetLives(c.lives);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(!hud->mLife[i]->mDisabled, c.enabled[i]) << c.lives << " life " << i + 1;
    }

    XmlDocument doc;
    ASSERT_TRUE(doc.load_string(R"(<ui><element type="uxdialog" name="hud" width="800" height="600">
        <element type="uxdialog" name="tutorial12" width="10" height="10"/>
        <element type="uxdialog" name="mytutorial3" width="10" height="10"/>
      </element></ui>)"));
    Hud bare(level, app.get(), doc.document_element());
    EXPECT_EQ(bare.mTutorials.size(), 2u);
    EXPECT_FALSE(bare.IsChildVisible(12));
    bare.ShowChild(12, true);
    bare.ShowChild(7, true);
    EXPECT_TRUE(bare.IsChildVisible(12));
    EXPECT_FALSE(bare.IsChildVisible(3));
    EXPECT_FALSE(bare.IsChildVisible(7));
    bare.SetupLevel();
    EXPECT_FALSE(bare.IsChildVisible(12));
    level->AddMoney(10000);
    bare.Update();
    EXPECT_TRUE(bare.mGoalReached);
}

// Day 1 opens with the comics: page 1 leads to page 2 and back, page 2 to the
// briefing, whose continue starts the play; the pages show the player's boss.
// The tutorial rules show the sample panel's pop-ups by number; a click
// closes one, which ends the wait its rule began.
TEST_F(LevelScreensTest, TutorialShowsThePanelsPopupsAndAClickClosesThem) {
    for (int day : {1, 2}) {
        for (const TutorialRule& rule : RuleSequencer::ScriptOfDay(day)) {
            for (int number : {rule.show, rule.hide})
                EXPECT_TRUE(number == 0 || hud->mTutorials.count(number)) << "day " << day << " pop-up " << number;
        }
    }
    ASSERT_EQ(gRuleSequencer, composition.GetTutorial());
    Start(1);
    Click(screens->GetComix()->mButtons[0]);
    Step();
    Click(screens->GetComix()->mButtons[1]);
    Step();
    Click(screens->GetBriefing()->mContinue);
    Step();
    ASSERT_TRUE(level->IsInPlay());
    EXPECT_TRUE(gRuleSequencer->IsRunning());

    gRuleSequencer->OnEvent(RuleSequencer::kEventVisit);
    EXPECT_TRUE(Shown(hud->mTutorials[1]));
    for (int e : {2, 3, 4}) gRuleSequencer->OnEvent(e);
    EXPECT_FALSE(Shown(hud->mTutorials[1]));
    EXPECT_FALSE(Shown(hud->mTutorials[2]));
    EXPECT_TRUE(Shown(hud->mTutorials[3]));
    Step(20);
    EXPECT_TRUE(gRuleSequencer->IsWaiting()) << "four seconds while the pop-up stays";
    Click(hud->mTutorials[3]);
    Step(5);
    EXPECT_FALSE(Shown(hud->mTutorials[3]));
    EXPECT_TRUE(Shown(hud->mTutorials[4])) << "the closed pop-up ended the wait";
    EXPECT_EQ(gRuleSequencer->GetNextRule(), 6);
}

TEST_F(LevelScreensTest, ComicsLeadToTheBriefingWhichStartsThePlay) {
    Start(1);
    ComixDialog* comix = screens->GetComix();
    BriefingDialog* briefing = screens->GetBriefing();
    ASSERT_TRUE(comix->mVisible);
    EXPECT_FALSE(level->IsInPlay());
    EXPECT_FALSE(level->HasOfficeFocus());
    EXPECT_EQ(comix->mPage, 0);
    EXPECT_TRUE(comix->mPages[0]->mVisible);
    EXPECT_EQ(comix->mPages[0]->GetBackgroundName(), "comix1_man");
    EXPECT_EQ(comix->mPages[0]->mBackground, Texture("comix1_man"));
    comix->SetPage(0);
    comix->SetPage(6);
    EXPECT_EQ(comix->mPage, 0);

    Click(comix->mButtons[0]);
    Step();
    EXPECT_EQ(comix->mPage, 1);
    EXPECT_FALSE(comix->mPages[0]->mVisible);
    Click(comix->mPrevBtn);
    Step();
    EXPECT_EQ(comix->mPage, 0);
    Click(comix->mButtons[0]);
    Step();
    Click(comix->mButtons[1]);
    Step();
    EXPECT_FALSE(comix->mVisible);
    EXPECT_TRUE(briefing->mVisible);
    EXPECT_FALSE(level->IsInPlay()) << "the briefing still covers the office";
    EXPECT_EQ(briefing->mBriefingText->mVisible, true);
    Click(briefing->mContinue);
    Step();
    EXPECT_FALSE(briefing->mVisible);
    EXPECT_TRUE(level->IsInPlay());
    EXPECT_TRUE(level->HasOfficeFocus());
    EXPECT_EQ(wm()->GetFocus(), level);
}

// After the last day the comics' page 5 ends the career in the menus, the
// office silent; the pages follow the current player's boss at each show.
TEST_F(LevelScreensTest, LastComicsPageLeavesForTheMenus) {
    Start(60);
    ComixDialog* comix = screens->GetComix();
    screens->ShowDialog(LevelScreens::kBriefing, false);
    app->GetCurrentProfile().bossKind = "woman";
    app->mUpdateInterval = 100;
    level->NextDay();
    app->mUpdateInterval = 10;
    Step();
    ASSERT_TRUE(comix->mVisible);
    EXPECT_EQ(comix->mPage, 4);
    EXPECT_TRUE(comix->mPages[4]->mVisible);
    EXPECT_EQ(comix->mPages[4]->mBackground, Texture("comix5_woman"));
    if (SoundManager* sounds = app->GetSoundManager()) sounds->Play("phone_ring");
    Click(comix->mButtons[4]);
    EXPECT_FALSE(comix->mVisible);
    EXPECT_EQ(level->mParent, nullptr);
    EXPECT_TRUE(app->mMenuBackground->mVisible);
    if (SoundManager* sounds = app->GetSoundManager()) {
        EXPECT_EQ(sounds->ActiveChannels("game"), 0);
    }
}

// The day's cell on the month page: the briefing's cells are 25 by 38 from
// (42, 32) of the page, the debriefing's 18 by 29 from its calendar; a day
// with its own picture shows that instead, and a lost day marks nothing.
TEST_F(LevelScreensTest, BriefingAndDebriefingMarkTheDayOnTheMonthPage) {
    struct Case {
        int day;
        int row, column;
        const char* briefingPicture;    // empty: the day's own
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {{2, 1, 0, "brief_calendar1", LevelScreens::kGoal},
                          {20, 4, 4, "brief_calendar1", LevelScreens::kExpert},
                          {21, 0, 0, "brief_calendar2", LevelScreens::kFailure},
                          {3, 1, 1, "", LevelScreens::kGoal}};
    BriefingDialog* briefing = screens->GetBriefing();
    DebriefingDialog* debriefing = screens->GetDebriefing();
    for (const Case& c : cases) {
        Start(c.day);
        if (screens->GetComix()->mVisible) {
            Click(screens->GetComix()->mButtons[LevelScreen::ComixPageOfDay(c.day) - 1]);
            Step();
        }
        ASSERT_TRUE(briefing->mVisible) << c.day;
        const Zephra::Rect help = briefing->mContextHelp->GetLayoutRect();
        const Zephra::Rect mark = briefing->mCallendarMark->GetLayoutRect();
        if (*c.briefingPicture) {
            EXPECT_EQ(Frame(briefing->mContextHelp), Texture(c.briefingPicture)) << c.day;
            EXPECT_TRUE(briefing->mCallendarMark->mVisible) << c.day;
            EXPECT_FALSE(briefing->mNewflash->mVisible) << c.day;
            EXPECT_EQ(mark.mX, c.column * 25 + 42 + help.mX - 8) << c.day;
            EXPECT_EQ(mark.mY, c.row * 38 + 32 + help.mY - 2) << c.day;
        } else {
            EXPECT_EQ(Frame(briefing->mContextHelp), Texture("brief_l" + std::to_string(c.day))) << c.day;
            EXPECT_FALSE(briefing->mCallendarMark->mVisible) << c.day;
            EXPECT_TRUE(briefing->mNewflash->mVisible) << c.day;
        }
        EXPECT_EQ(Frame(briefing->FindChild("boss")), Texture("db06_bossman"));

        screens->SetDebriefing("debrief_good_day1", false, c.outcome);
        screens->ShowDialog(LevelScreens::kDebriefing, true);
        const Zephra::Rect calendar = debriefing->mCalendarPicture->GetLayoutRect();
        const Zephra::Rect dmark = debriefing->mCalendarMark->GetLayoutRect();
        EXPECT_EQ(Frame(debriefing->mCalendarPicture),
                  Texture("db07_calendar" + std::to_string((c.day - 1) / 20 + 1))) << c.day;
        EXPECT_EQ(Frame(debriefing->mBossPicture), Texture("db07_bossman_" + debriefing->mOutcome)) << c.day;
        if (c.outcome == LevelScreens::kFailure) {
            EXPECT_FALSE(debriefing->mCalendarMark->mVisible) << c.day;
        } else {
            EXPECT_TRUE(debriefing->mCalendarMark->mVisible) << c.day;
            EXPECT_EQ(dmark.mX, c.column * 18 + calendar.mX - 2) << c.day;
            EXPECT_EQ(dmark.mY, c.row * 29 + calendar.mY - 2) << c.day;
        }
        screens->ShowDialog(LevelScreens::kDebriefing, false);
        EXPECT_FALSE(debriefing->mCalendarMark->mVisible) << c.day;
        screens->ShowDialog(LevelScreens::kBriefing, false);
    }
}

// The earnings count up from 0 over 1.5 s of updates and stop at the money.
TEST_F(LevelScreensTest, DebriefingCountsTheEarningsUp) {
    Start(2);
    DebriefingDialog* debriefing = screens->GetDebriefing();
    app->mUpdateInterval = 10;
    struct Case {
        int money;
        int updates;
        int shown;
    };
    const Case cases[] = {{900, 1, 6}, {900, 150, 899}, {900, 151, 900}, {900, 400, 900}, {0, 200, 0}};
    for (const Case& c : cases) {
        level->AddMoney(c.money - level->GetMoney());
        screens->ShowDialog(LevelScreens::kDebriefing, true);
        EXPECT_EQ(Var("earnings"), u"0");
        for (int i = 0; i < c.updates; ++i) debriefing->Update();
        EXPECT_EQ(platform::Utf16ToUtf8(Var("earnings")), std::to_string(c.shown)) << c.money << " after " << c.updates;
        screens->ShowDialog(LevelScreens::kDebriefing, false);
    }
}

// The debriefing's continue ends the day: the next one loads behind its
// briefing. Leaving a survival level returns to the menus in silence.
TEST_F(LevelScreensTest, DebriefingContinueEndsTheDayAndSurvivalLeaveTheLevel) {
    Start(2);
    DebriefingDialog* debriefing = screens->GetDebriefing();
    screens->SetDebriefing("debrief_good_day2", false, LevelScreens::kGoal);
    screens->ShowDialog(LevelScreens::kDebriefing, true);
    Step();
    EXPECT_FALSE(level->HasOfficeFocus());
    EXPECT_TRUE(debriefing->mContinue->mVisible);
    EXPECT_FALSE(debriefing->mSurvivalLeave->mVisible);
    EXPECT_EQ(debriefing->mDebriefingText->mVisible, true);
    app->mUpdateInterval = 100;
    Click(debriefing->mContinue);
    app->mUpdateInterval = 10;
    Step();
    EXPECT_FALSE(debriefing->mVisible);
    EXPECT_EQ(level->GetDay(), 3);
    EXPECT_TRUE(screens->GetBriefing()->mVisible);

    screens->ShowDialog(LevelScreens::kBriefing, false);
    Start(testsupport::kBusySurvivalLevel, true);
    EXPECT_TRUE(level->IsInPlay());
    EXPECT_FALSE(hud->mHudClock->mVisible);
    EXPECT_TRUE(hud->mSurvivalLives->mVisible);
    screens->SetDebriefing("debreif_endlessb", false, LevelScreens::kFailure);
    screens->ShowDialog(LevelScreens::kDebriefing, true);
    Step();
    EXPECT_FALSE(debriefing->mContinue->mVisible);
    EXPECT_TRUE(debriefing->mSurvivalLeave->mVisible);
    if (SoundManager* sounds = app->GetSoundManager()) sounds->Play("phone_ring");
    Click(debriefing->mSurvivalLeave);
    EXPECT_EQ(level->mParent, nullptr);
    EXPECT_TRUE(app->mMenuBackground->mVisible);
    if (SoundManager* sounds = app->GetSoundManager()) {
        EXPECT_EQ(sounds->ActiveChannels("game"), 0);
    }
}

// Hides a control at its next update: the dialog goes while it waits.
class Hider : public Zephra::Widget {
public:
    UiControl* target = nullptr;
    void Update() override {
        if (target) target->Hide();
        target = nullptr;
    }
};

// The player's choice among up to three upgrades: the first unless another
// picture was clicked, a choice without a picture cannot be ticked, a tick on
// its way out no longer counts, and nothing is chosen when the dialog goes
// without an answer or the game stops. The play comes back as it was.
TEST_F(LevelScreensTest, UpgradeChoices) {
    Start(testsupport::kBusySurvivalLevel, true);
    UpgradeDialog* upgrade = screens->GetUpgrade();
    // Centres on the screen from the layouts (the dialog does not move).
    auto centre = [upgrade](const UiControl* container, const UiControl* c) {
        Zephra::Rect r = c->GetLayoutRect();
        const Zephra::Rect d = upgrade->GetLayoutRect();
        const Zephra::Rect o = container ? container->GetLayoutRect() : Zephra::Rect();
        return Zephra::Point{d.mX + o.mX + r.mX + r.mWidth / 2, d.mY + o.mY + r.mY + r.mHeight / 2};
    };
    const Zephra::Point pic2 = centre(upgrade->mChoices[1].container, upgrade->mChoices[1].button);
    const Zephra::Point pic3 = centre(upgrade->mChoices[2].container, upgrade->mChoices[2].button);
    const Zephra::Point confirm = centre(nullptr, upgrade->mUpgrade);
    Hider hider;
    wm()->AddWidget(&hider);

    enum Stop { kAnswer, kHidden, kQuit };
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::vector<Zephra::Point> clicks;
        Stop stop;
        std::string chosen;
    };
    const Case cases[] = {
        {"untouched", {"upgrade_table", "upgrade_presentation"}, {confirm}, kAnswer, "upgrade_table"},
        {"second picture", {"upgrade_table", "upgrade_presentation"}, {pic2, confirm}, kAnswer, "upgrade_presentation"},
        {"empty third", {"upgrade_table", "upgrade_presentation"}, {pic3, confirm}, kAnswer, "upgrade_table"},
        {"hidden", {"upgrade_table", "upgrade_plant"}, {}, kHidden, ""},
        {"stopped", {"upgrade_table", "upgrade_plant", "upgrade_presentation"}, {}, kQuit, ""},
    };
    for (const Case& c : cases) {
        for (Zephra::Point p : c.clicks) PostClick(p.mX, p.mY);
        if (c.stop == kHidden) hider.target = upgrade;
        if (c.stop == kQuit) app->PostEvent({platform::EventKind::Quit});
        const bool inPlay = level->IsInPlay();
        EXPECT_EQ(screens->ChooseUpgrade(c.names), c.chosen) << c.what;
        if (c.stop == kQuit) break;
        EXPECT_FALSE(upgrade->mVisible) << c.what;
        EXPECT_EQ(upgrade->mBlocker->mParent, nullptr) << c.what;
        EXPECT_EQ(level->IsInPlay(), inPlay) << c.what;
        EXPECT_TRUE(level->HasOfficeFocus()) << c.what;
    }
    wm()->RemoveWidget(&hider);
}

// A new survival stage pops the goal up (never the expert goal) and its
// upgrade button offers the stage's upgrades; the level applies the one chosen.
TEST_F(LevelScreensTest, SurvivalStagePopupAndUpgradeButton) {
    Start(testsupport::kBusySurvivalLevel, true);
    EXPECT_TRUE(hud->mUpgradeBtn->mDisabled);
    EXPECT_FALSE(Shown(hud->mGoalDialog));
    level->AddMoney(100);
    Step(2);
    EXPECT_TRUE(Shown(hud->mGoalDialog));
    EXPECT_FALSE(Shown(hud->mExpertDialog));
    EXPECT_EQ(hud->mShownStage, 1);
    EXPECT_EQ(hud->mBar->mValue, level->GetMoney() - level->GetStageMoneyThreshold());
    ASSERT_FALSE(hud->mUpgradeBtn->mDisabled);
    UpgradeDialog* upgrade = screens->GetUpgrade();
    const Zephra::Rect d = upgrade->GetLayoutRect(), b = upgrade->mUpgrade->GetLayoutRect();
    PostClick(d.mX + b.mX + b.mWidth / 2, d.mY + b.mY + b.mHeight / 2);
    Click(hud->mUpgradeBtn);
    EXPECT_TRUE(FindObject("table01a")->IsVisible());
    EXPECT_TRUE(hud->mUpgradeBtn->mDisabled);
    EXPECT_TRUE(level->IsInPlay());
}

} // namespace
} // namespace screenstest
