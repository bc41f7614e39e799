#include "game/office/level_screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/prefs.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "game/office/bonus_chain.h"
#include "game/office/client.h"
#include "game/office/client_slots.h"
#include "game/office/office.h"
#include "game/office/office_globals.h"
#include "game/office/office_xml.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/rule_sequencer.h"
#include "game/office/worker.h"
#include "game/office/z_order.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/hud.h"
#include "platform/random.h"
#include "tests/support/fake_slot_client.h"
#include "tests/support/recording_level_screens.h"
#include "tests/support/sample_game.h"
#include "tests/support/temp_dirs.h"

namespace {

using testsupport::FakeSlotClient;
using testsupport::RecordingLevelScreens;

// The sample game with a profile "Ann" current and the level's screens
// recorded. Updates are 100 ms apart.
class LevelTest : public testsupport::SampleGame {
protected:
    void StartApp() override {
        SampleGame::StartApp();
        ASSERT_NE(app, nullptr);
        app->mUpdateInterval = 100;
        level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        level->SetScreens(&screens);
        // The level is tested with fake clients: the office's own leave their slots.
        ClientSlots::Clear();
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
    }
    // Loads and starts a day or survival level with the play given.
    void Start(int day, bool survival = false) {
        level->SetSurvival(survival);
        level->LoadLevel(day);
        level->StartLevel();
        level->SetInputEnabled(true);
    }
    // Updates until the debriefing shows (at most the given seconds); the seconds it took.
    float RunToDebriefing(float limit = 120.0f) {
        float t = 0;
        while (t < limit && screens.debriefings == 0) {
            level->Update();
            t += 0.1f;
        }
        return t;
    }
    void Run(float seconds) {
        for (float t = 0; t < seconds - 0.05f; t += 0.1f) level->Update();
    }
    int Text(const char* key) {
        const std::u16string& text = app->GetTextVars()->Get(key);
        return std::stoi(std::string(text.begin(), text.end()));
    }
    ProfileRecord SavedProfile() {
        PrefsFile file(prefs.File("pref.dat"));
        EXPECT_TRUE(file.Load()) << file.LastError();
        ProfileRecord out;
        EXPECT_TRUE(file.ReadProfileSlot(0, out));
        return out;
    }

    RecordingLevelScreens screens;
    LevelScreen* level = nullptr;
};

// Every sample day and survival level loads, names only objects of the office
// and loc keys that exist, and has what its mode needs.
TEST_F(LevelTest, SampleLevelsLoadAndNameWhatExists) {
    struct Case {
        int number;
        bool survival;
    };
    const Case cases[] = {{1, false}, {2, false}, {3, false}, {60, false}, {1, true}, {2, true}, {3, true}};
    TextTable* loc = app->GetLocTable();
    // Objects of classes not built yet are in the office file, not in the registry.
    std::set<std::string> officeNames;
    ASSERT_NE(gOfficeDoc, nullptr);
    for (pugi::xpath_node xn : gOfficeDoc->select_nodes("/office/objects/object"))
        officeNames.insert(OfficeText(xn.node(), "name"));
    for (const Case& c : cases) {
        const std::string what = (c.survival ? "endless" : "day ") + std::to_string(c.number);
        level->SetSurvival(c.survival);
        ASSERT_TRUE(level->LoadLevel(c.number)) << what;
        ASSERT_NE(gLevelDoc, nullptr) << what;
        XmlNode root = gLevelDoc->child("level");
        for (pugi::xpath_node xn : root.select_nodes(".//object | .//object_list")) {
            const std::string name = OfficeText(xn.node(), "name");
            EXPECT_TRUE(officeNames.count(name)) << what << ": " << name;
        }
        for (int outcome = 0; outcome < 3; ++outcome)
            EXPECT_TRUE(loc->Has(level->GetDebriefingKey(outcome))) << what << ": " << level->GetDebriefingKey(outcome);
        EXPECT_GT(gGameParams.moneyGoal, 0) << what;
        EXPECT_LT(gGameParams.moneyGoal, gGameParams.expertGoal) << what;
        if (!c.survival) {
            EXPECT_TRUE(loc->Has(screens.briefing)) << what;
            EXPECT_FALSE(gLevelTimelines.clients.empty()) << what;
            bool later = false;
            for (const TimePoint& p : gLevelTimelines.clients) {
                later = later || p.time > 0;
                EXPECT_NE(FindDef(gClientDefs, p.event), nullptr) << what << ": " << p.event;
            }
            EXPECT_TRUE(later) << what << ": a time point after 0";
            for (const char* name : {"shelving01", "phone", "client_place03", "table02a", "trash_bin"})
                EXPECT_TRUE(FindObject(name)->IsVisible()) << what << ": " << name;
            continue;
        }
        const SurvivalModel& model = level->GetSurvivalModel();
        ASSERT_GE(model.stages.size(), 2u) << what;
        for (size_t i = 1; i < model.stages.size(); ++i)
            EXPECT_GT(model.stages[i].money, model.stages[i - 1].money) << what << " stage " << i;
        bool twoLists = false;
        for (const OrderTemplate& t : model.orderTemplates) twoLists = twoLists || t.lists.size() >= 2;
        EXPECT_TRUE(twoLists) << what;
        for (const StageRecord& stage : model.stages) {
            for (const ClientTemplate& client : stage.clients) {
                EXPECT_GT(client.spawnMin, 0.0f) << what << ": " << client.name;
                EXPECT_NE(FindDef(gClientDefs, client.name), nullptr) << what << ": " << client.name;
                bool found = false;
                for (const OrderTemplate& t : model.orderTemplates) found = found || t.name == client.orderTemplate;
                EXPECT_TRUE(found) << what << ": " << client.orderTemplate;
            }
        }
    }
    if (SoundManager* sounds = app->GetSoundManager()) {
        for (const char* name : {"click", "phone_ring", "make_trash", "coffeemashine", "conditioner_broke"})
            EXPECT_TRUE(sounds->HasSound(name)) << name;
    }
    EXPECT_TRUE(app->Warnings().empty()) << app->Warnings()[0];
}

TEST_F(LevelTest, ClicksQueueOncePerRepeatAndOnlyInPlay) {
    struct Case {
        const char* what;
        std::vector<Zephra::Point> clicks;
        bool inPlay;
        std::vector<std::string> queued;
    };
    const Zephra::Point shelf(60, 120), bin(760, 550), wall(400, 20);
    const Case cases[] = {
        {"A, A", {shelf, shelf}, true, {"shelving01"}},
        {"A, B, A", {shelf, bin, shelf}, true, {"shelving01", "trash_bin", "shelving01"}},
        {"nothing clickable", {wall}, true, {}},
        {"not in play", {shelf, bin}, false, {}},
    };
    Start(1);
    for (const Case& c : cases) {
        level->SetInputEnabled(c.inPlay);
        for (Zephra::Point p : c.clicks) level->MouseDown(p.mX, p.mY, 0, 1);
        std::vector<std::string> queued;
        for (Item* item : level->GetClickQueue()) queued.push_back(item->GetName());
        EXPECT_EQ(queued, c.queued) << c.what;
        level->SetInputEnabled(true);
        level->Update();
        EXPECT_TRUE(level->GetClickQueue().empty()) << c.what << ": handed on";
    }
    level->MouseDown(60, 120, 1, 1);
    EXPECT_TRUE(level->GetClickQueue().empty()) << "right button";

    // The objects handed to the secretary and the engineer.
    Start(testsupport::kBusySurvivalLevel, true);
    for (Zephra::Point p : {Zephra::Point(600, 90), Zephra::Point(730, 100), Zephra::Point(525, 140),
                            Zephra::Point(630, 150), Zephra::Point(90, 440)})
        level->MouseDown(p.mX, p.mY, 0, 1);
    EXPECT_EQ(level->GetClickQueue().size(), 5u);
    level->Update();
    EXPECT_TRUE(level->GetClickQueue().empty());
    EXPECT_EQ(FindObject("door03")->GetAnimName(), "open") << "opened for the idle engineer";

    // Hovering picks the clickable object under the mouse.
    level->MouseMove(760, 550);
    ASSERT_NE(level->GetHoveredObject(), nullptr);
    EXPECT_EQ(level->GetHoveredObject()->GetName(), "trash_bin");
    level->MouseMove(400, 20);
    EXPECT_EQ(level->GetHoveredObject(), nullptr);
}

TEST_F(LevelTest, ClientsEnterAlongTheTimelineAndTheDayEndsAfterTheLast) {
    FakeSlotClient first("client03", 0), second("client04", 1);
    Start(1);
    level->Update();
    ASSERT_EQ(first.spawns.size(), 1u);
    EXPECT_EQ(first.spawns[0].defName, "student");
    EXPECT_EQ(first.spawns[0].orders, std::vector<std::string>{"0401"});
    Run(2.5f);
    ASSERT_EQ(second.spawns.size(), 1u) << "the second point at 0 s, after the delay";
    EXPECT_EQ(second.spawns[0].defName, "tycoon");
    EXPECT_TRUE(second.spawns[0].byPhone);
    Run(45);
    EXPECT_EQ(first.spawns.size() + second.spawns.size(), 2u) << "the point at 40 s waits for a free slot";
    first.Leave();
    Run(1.5f);
    EXPECT_EQ(first.spawns.size(), 1u) << "the delay after a spawn runs only while a slot is free";
    Run(0.7f);
    ASSERT_EQ(first.spawns.size(), 2u);
    EXPECT_EQ(first.spawns[1].defName, "lady");
    EXPECT_FALSE(first.spawns[1].byPhone);
    EXPECT_EQ(first.spawns[1].orders, (std::vector<std::string>{"0201", "0401"}));
    first.Leave();
    second.Leave();
    const float took = RunToDebriefing();
    EXPECT_NEAR(took, 2.1f, 0.15f) << "2 s after the last client left";
    EXPECT_EQ(screens.outcome, LevelScreens::kFailure);
}

// Without clients the sample day still runs to its end, as a failed day.
TEST_F(LevelTest, SampleDayWithoutPeopleRunsToAFailedEnd) {
    Start(1);
    EXPECT_EQ(screens.comixPage, 1);
    EXPECT_LT(RunToDebriefing(), 60.0f);
    EXPECT_TRUE(level->IsLevelStopped());
    EXPECT_EQ(screens.outcome, LevelScreens::kFailure);
    EXPECT_TRUE(screens.continueDisabled);
    EXPECT_EQ(screens.debriefing, "debrief_bad_day1");
    EXPECT_TRUE(screens.dialogShown[LevelScreens::kDebriefing]);
    const ProfileRecord saved = SavedProfile();
    EXPECT_EQ(saved.reachedDay, 1);
    EXPECT_EQ(saved.bestMoney[0], 0);
}

TEST_F(LevelTest, DayEndJudgesTheMoneyAndKeepsTheProfile) {
    struct Case {
        const char* what;
        int money;             // relative to: 0 as is, -1 goal - 1, -2 goal, -3 expert
        int reachedBefore;
        int bestBefore;
        LevelScreens::Outcome outcome;
        int reachedAfter;
        int bestAfter;
    };
    const Case cases[] = {
        {"below the goal", -1, 1, 0, LevelScreens::kFailure, 1, 0},
        {"the goal", -2, 1, 0, LevelScreens::kGoal, 2, 150},
        {"the expert goal", -3, 1, 0, LevelScreens::kExpert, 2, 400},
        {"a day already passed", -3, 5, 0, LevelScreens::kExpert, 5, 400},
        {"a better day before", -2, 1, 1000, LevelScreens::kGoal, 2, 1000},
    };
    for (const Case& c : cases) {
        ProfileRecord& profile = app->GetCurrentProfile();
        profile.reachedDay = c.reachedBefore;
        profile.bestMoney[0] = c.bestBefore;
        screens.debriefings = 0;
        Start(1);
        const int money = c.money == -1   ? gGameParams.moneyGoal - 1
                          : c.money == -2 ? gGameParams.moneyGoal
                                          : gGameParams.expertGoal;
        level->AddMoney(money);
        RunToDebriefing();
        EXPECT_EQ(screens.outcome, c.outcome) << c.what;
        EXPECT_EQ(screens.continueDisabled, c.outcome == LevelScreens::kFailure) << c.what;
        const ProfileRecord saved = SavedProfile();
        EXPECT_EQ(saved.reachedDay, c.reachedAfter) << c.what;
        EXPECT_EQ(saved.bestMoney[0], c.bestAfter) << c.what;
    }
    EXPECT_EQ(app->GetRecordTable().GetTable(false)[0].score, 400) << "the career hiscores";
}

TEST_F(LevelTest, FailedLoadNeitherCrashesNorAdvancesTheProfile) {
    level->SetSurvival(false);
    EXPECT_FALSE(level->LoadLevel(61));
    EXPECT_FALSE(app->Warnings().empty());
    level->StartLevel();
    level->SetInputEnabled(true);
    level->AddMoney(5000);
    RunToDebriefing();
    EXPECT_EQ(screens.outcome, LevelScreens::kFailure);
    EXPECT_EQ(SavedProfile().reachedDay, 1);
    EXPECT_EQ(level->GetTimelineRatio(), 0.0f);
}

TEST_F(LevelTest, SurvivalEndsFiveSecondsAfterTheLastLifeWithTheRank) {
    struct Case {
        const char* what;
        int better;        // hiscore entries above the player's money
        int money;
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {
        {"first place", 0, 500, LevelScreens::kExpert},
        {"fourth place", 3, 500, LevelScreens::kGoal},
        {"not in the table", 10, 500, LevelScreens::kFailure},
        {"no money", 0, 0, LevelScreens::kFailure},
    };
    for (const Case& c : cases) {
        RecordTable& records = app->GetRecordTable();
        records.GetTable(true) = RecordTable::Table{};
        for (int i = 0; i < c.better; ++i) records.AddScore(true, u"Bea", 10000 + i);
        screens.debriefings = 0;
        Start(testsupport::kBusySurvivalLevel, true);
        EXPECT_EQ(screens.lives, 3) << c.what;
        level->AddMoney(c.money);
        level->LoseLife();
        level->LoseLife();
        EXPECT_EQ(screens.lives, 1) << c.what;
        Run(1);
        EXPECT_FALSE(level->IsDayOver()) << c.what;
        level->LoseLife();
        EXPECT_EQ(screens.lives, 0) << c.what;
        const float took = RunToDebriefing();
        EXPECT_NEAR(took, 5.1f, 0.15f) << c.what;
        EXPECT_EQ(screens.outcome, c.outcome) << c.what;
        Run(1);
        EXPECT_EQ(screens.debriefings, 1) << c.what << ": the end runs once";
        PrefsFile file(prefs.File("pref.dat"));
        ASSERT_TRUE(file.Load());
        bool entered = false;
        for (const HiscoreEntry& entry : file.Records().GetTable(true)) entered = entered || entry.name == u"Ann";
        EXPECT_EQ(entered, c.outcome != LevelScreens::kFailure) << c.what << ": saved at once";
    }
}

TEST_F(LevelTest, SurvivalStagesOpenWithTheMoneyAndOfferUpgrades) {
    Start(testsupport::kBusySurvivalLevel, true);
    EXPECT_EQ(level->GetSurvivalModel().stageIndex, 0);
    EXPECT_EQ(level->GetNextStageMoneyThreshold(), 100);
    EXPECT_TRUE(screens.upgradeDisabled);
    level->AddMoney(260);
    level->Update();
    EXPECT_EQ(level->GetSurvivalModel().stageIndex, 2) << "two stages in one update";
    EXPECT_EQ(level->GetStageMoneyThreshold(), 250);
    EXPECT_EQ(level->GetNextStageMoneyThreshold(), 400);
    EXPECT_EQ(Text("currentday"), 3);
    EXPECT_EQ(level->GetUpgradeOffers(), (std::deque<int>{0, 1}));
    EXPECT_FALSE(screens.upgradeDisabled);
    EXPECT_TRUE(FindObject("safe")->IsVisible()) << "the stage's object";

    EXPECT_FALSE(FindObject("table01a")->IsVisible());
    screens.choice = "upgrade_table";
    level->OfferUpgrade();
    EXPECT_TRUE(FindObject("table01a")->IsVisible());
    EXPECT_FALSE(FindObject("table01a")->IsActive()) << "its add_object blink runs first";
    for (int i = 0; i < 120; ++i) level->Update();
    EXPECT_TRUE(FindObject("table01a")->IsActive()) << "the blink ran to its end";
    EXPECT_TRUE(FindObject("worker01a")->IsActive() && FindObject("worker01a_spec")->IsVisible());
    EXPECT_FALSE(screens.upgradeDisabled) << "one offer left";
    EXPECT_TRUE(level->IsInPlay());
    screens.choice = "";
    level->OfferUpgrade();
    EXPECT_TRUE(screens.upgradeDisabled);
    ASSERT_EQ(screens.offered.size(), 2u);
    EXPECT_EQ(screens.offered[0], (std::vector<std::string>{"upgrade_table", "upgrade_presentation"}));
    EXPECT_EQ(screens.offered[1], std::vector<std::string>{"upgrade_plant"});
    EXPECT_EQ(level->GetSurvivalModel().addList.size(), 1u) << "the chosen entry is used up";
    EXPECT_EQ(level->GetSurvivalModel().skinList.size(), 1u) << "nothing chosen, nothing used";
    level->AddMoney(1000);
    level->Update();
    EXPECT_EQ(level->GetNextStageMoneyThreshold(), 1300) << "stages carried on past the list";
}

// The stage number that money has reached in a survival level: the listed
// stages in turn, then the last step carried on.
int64_t StageNumberFor(const std::vector<StageRecord>& stages, int64_t money) {
    size_t listed = 1;
    while (listed < stages.size() && stages[listed].money <= money) ++listed;
    if (listed < stages.size() || stages.size() < 2) return static_cast<int64_t>(listed);
    const int64_t last = stages.back().money, step = last - stages[stages.size() - 2].money;
    return static_cast<int64_t>(listed) + (money - last) / step;
}

// A bonus chain with a huge bonus drives the money to its limit: every update
// returns, the money holds at the largest amount or at 0, and once it holds no
// further stage begins.
TEST_F(LevelTest, HugeBonusesHoldTheMoneyAndTheStages) {
    struct Case {
        const char* what;
        const char* bonus;     // the office's "bonus" of a one-action stage
        int awardsPerUpdate;
        int updates;
        int32_t money;
    };
    const Case cases[] = {
        {"one award is held to the bound", "99999999999", 1, 1, BonusChain::kMaxBonus},
        {"awards up to the largest money", "99999999999", 100, 30, INT32_MAX},
        {"a huge loss stops at nothing", "-99999999999", 10, 3, 0},
    };
    BonusChain* chain = level->GetBonusChain();
    ASSERT_NE(chain, nullptr);
    for (const Case& c : cases) {
        pugi::xml_document office;
        ASSERT_TRUE(office.load_string(
            (std::string(R"(<office><bonus_config><bonus_stages action="1" bonus=")") + c.bonus +
             R"("/></bonus_config></office>)").c_str()));
        chain->Load(office.child("office"));
        Start(1, true);
        for (int u = 0; u < c.updates; ++u) {
            for (int a = 0; a < c.awardsPerUpdate; ++a) chain->Step(BonusChain::kAdvance, nullptr);
            level->Update();
        }
        EXPECT_EQ(level->GetMoney(), c.money) << c.what;
        EXPECT_EQ(Text("money"), c.money) << c.what;
        const int64_t stage = StageNumberFor(level->GetSurvivalModel().stages, c.money);
        EXPECT_EQ(Text("currentday"), stage) << c.what;
        if (c.money != INT32_MAX && c.money != 0) continue;
        if (c.money == INT32_MAX) {
            EXPECT_EQ(level->GetNextStageMoneyThreshold(), INT32_MAX) << c.what << ": no further stage";
        }
        for (int u = 0; u < 5; ++u) {
            chain->Step(BonusChain::kAdvance, nullptr);
            level->Update();
        }
        EXPECT_EQ(level->GetMoney(), c.money) << c.what;
        EXPECT_EQ(Text("currentday"), stage) << c.what << ": held money begins nothing more";
    }
}

TEST_F(LevelTest, SkinUpgradeAlternatesTheLooksForTwoSeconds) {
    Start(testsupport::kBusySurvivalLevel, true);
    level->AddMoney(260);
    level->Update();
    ASSERT_EQ(level->GetUpgradeOffers().size(), 2u);
    screens.choice = "";
    level->OfferUpgrade();
    EXPECT_EQ(level->GetSurvivalModel().addList.size(), 2u) << "nothing chosen, nothing used";
    screens.choice = "upgrade_plant";
    level->OfferUpgrade();
    Item* plant = FindObject("plant1");
    const std::string oldSkin = plant->GetSkinName();
    std::string looks;
    for (int i = 0; i < 24; ++i) {
        level->Update();
        looks += plant->GetSkinName() == "modern" ? 'n' : 'o';
    }
    // 2 s of a change every 0.1 s (the last step lies on the float boundary),
    // then the new look for good.
    EXPECT_EQ(looks.substr(0, 19), "nononononononononon") << looks;
    EXPECT_EQ(looks.substr(20), "nnnn") << looks;
    EXPECT_NE(oldSkin, "modern");
    EXPECT_TRUE(plant->IsActive());
    EXPECT_TRUE(plant->IsVisible());
    level->OfferUpgrade();
    EXPECT_EQ(screens.offered.size(), 2u) << "no offer left";
}

TEST_F(LevelTest, SurvivalSpawnsDrawnClientsAfterTheirDelay) {
    FakeSlotClient client("client03", 0);
    platform::SeedRand(21);
    Start(testsupport::kBusySurvivalLevel, true);
    float t = 0;
    while (client.spawns.empty() && t < 20) {
        level->Update();
        t += 0.1f;
    }
    ASSERT_EQ(client.spawns.size(), 1u);
    EXPECT_EQ(client.spawns[0].defName, "student") << "the first stage's only template";
    EXPECT_EQ(client.spawns[0].slot, 0);
    ASSERT_EQ(client.spawns[0].orders.size(), 1u);
    EXPECT_TRUE(client.spawns[0].orders[0] == "0201" || client.spawns[0].orders[0] == "0401");
    EXPECT_GE(t, 3.5f) << "client_time_spawn_min";
    EXPECT_LE(t, 7.3f) << "client_time_spawn_max";
}

TEST_F(LevelTest, DaysStartWithComicsOrBriefingAndTheirCalendar) {
    struct Case {
        int day;
        int dayOfMonth;
        int month;
        int comix;
    };
    const Case cases[] = {{1, 1, 1, 1}, {2, 4, 1, 0}, {3, 5, 1, 0}, {21, 1, 2, 3}, {41, 1, 3, 4}, {60, 31, 3, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(LevelScreen::DayOfMonth(c.day), c.dayOfMonth) << c.day;
        EXPECT_EQ(LevelScreen::MonthOfDay(c.day), c.month) << c.day;
        EXPECT_EQ(LevelScreen::ComixPageOfDay(c.day), c.comix) << c.day;
    }
    EXPECT_EQ(LevelScreen::DayOfMonth(0), 0);
    EXPECT_EQ(LevelScreen::DayOfMonth(61), 0);

    Start(2);
    EXPECT_TRUE(screens.dialogShown[LevelScreens::kBriefing]);
    EXPECT_EQ(screens.briefing, "brief_day2");
    EXPECT_EQ(Text("currentday"), 4);
    EXPECT_EQ(Text("currentmonth"), 1);
    EXPECT_EQ(Text("normal"), 250);
    EXPECT_EQ(Text("expert"), 450);
    level->SetInputEnabled(false);
    level->SetSurvival(false);
    level->LoadLevel(60);
    level->NextDay();
    EXPECT_EQ(screens.comixPage, 5) << "the end of the career";
    EXPECT_TRUE(screens.dialogShown[LevelScreens::kComix]);
}

TEST_F(LevelTest, EscapeFocusPauseAndLeaving) {
    Start(1);
    EXPECT_TRUE(level->HasOfficeFocus()) << "without a load screen the level shows itself";
    level->Hide();
    level->KeyDown(LevelScreen::kKeyEscape);
    EXPECT_FALSE(screens.dialogShown[LevelScreens::kEscapeMenu]) << "no focus while not shown";
    level->Show();
    EXPECT_TRUE(level->HasOfficeFocus());
    level->KeyDown(LevelScreen::kKeyEscape);
    EXPECT_TRUE(screens.dialogShown[LevelScreens::kEscapeMenu]);
    level->KeyDown(LevelScreen::kKeyEscape);
    EXPECT_FALSE(screens.dialogShown[LevelScreens::kEscapeMenu]);
    level->SetOfficeFocus(false);
    level->KeyDown(LevelScreen::kKeyEscape);
    EXPECT_FALSE(screens.dialogShown[LevelScreens::kEscapeMenu]) << "a dialog covers the office";

    level->SetInputEnabled(true);
    composition.FocusChanged(*app, false);
    EXPECT_TRUE(level->IsPaused());
    const float elapsed = level->GetElapsed();
    Run(1);
    EXPECT_EQ(level->GetElapsed(), elapsed) << "paused";
    composition.FocusChanged(*app, true);
    Run(1);
    EXPECT_NEAR(level->GetElapsed(), elapsed + 1.0f, 0.01f);
    level->SetInputEnabled(false);
    level->Update();
    EXPECT_EQ(gFrameTime, 0.0f) << "not in play";

    if (SoundManager* sounds = app->GetSoundManager()) {
        gPhone->Ring(nullptr);
        EXPECT_GT(sounds->ActiveChannels("game"), 0);
        level->Hide();
        EXPECT_EQ(sounds->ActiveChannels("game"), 0) << "leaving silences the office";
    } else {
        level->Hide();
    }
    EXPECT_FALSE(level->IsInPlay());
    EXPECT_FALSE(level->HasOfficeFocus());
}

TEST_F(LevelTest, DrawsTheOfficeOverTheGround) {
    Start(1);
    auto pixel = [&](int x, int y) {
        level->UpdateMotion(1.0f);  // asks for a full redraw
        app->DrawFrame();
        return app->mScreenImage->GetBits()[y * 800 + x];
    };
    const uint32_t without = pixel(60, 120);
    app->mWidgetManager->AddWidget(level);
    const uint32_t floor = pixel(300, 380);
    EXPECT_NE(pixel(60, 120), floor) << "the shelving stands on the floor";
    EXPECT_NE(pixel(60, 120), without);
    FindObject("shelving01")->SetVisibleFlag(false);
    EXPECT_EQ(pixel(60, 120), pixel(10, 120)) << "a hidden object leaves the wall behind it";
    app->mWidgetManager->RemoveWidget(level);
}

// A point that a click would hand to the named object.
Zephra::Point PointOn(const std::string& name) {
    for (int y = 0; y < 600; y += 4) {
        for (int x = 0; x < 800; x += 4) {
            for (Pickable* p : gPickables) {
                if (!p->IsVisible() || !p->HitTest(x, y) || !p->IsActive()) continue;
                if (p->GetName() == name) return {x, y};
                break;
            }
        }
    }
    ADD_FAILURE() << name << " has no free point";
    return {0, 0};
}

// The tutorial on the sample office: the composition installs it on the
// level, which sends it the clicks and asks it what runs.
TEST_F(LevelTest, TutorialOfDayOneBlocksAndHearsTheLevel) {
    ASSERT_NE(gRuleSequencer, nullptr);
    // The office's own clients take their slots back: the script is played by clicks alone.
    for (Item* item : gObjects) {
        auto* client = dynamic_cast<Client*>(item);
        if (client && item->GetName().starts_with("client0")) ClientSlots::Add(client, item->GetName()[7] - '1');
    }
    app->mUpdateInterval = 10;
    auto click = [&](const std::string& name) {
        const Zephra::Point p = PointOn(name);
        level->MouseDown(p.mX, p.mY, 0, 1);
    };
    auto hovers = [&](const std::string& name) {
        const Zephra::Point p = PointOn(name);
        level->MouseMove(p.mX, p.mY);
        return level->GetHoveredObject() != nullptr && level->GetHoveredObject()->GetName() == name;
    };
    // Updates until the script reaches the rule (at most the given seconds).
    auto runTo = [&](int rule, float limit) {
        for (float t = 0; t < limit && gRuleSequencer->GetNextRule() < rule; t += 0.01f) {
            level->Update();
            level->UpdateMotion(1.0f);
        }
        return gRuleSequencer->GetNextRule();
    };
    auto* second = dynamic_cast<SlotClient*>(FindObject("client04"));
    ASSERT_NE(second, nullptr);
    Start(1);
    EXPECT_TRUE(gRuleSequencer->IsRunning());
    EXPECT_FALSE(hovers("trash_bin")) << "blocked names are not clickable";
    ASSERT_EQ(runTo(2, 30), 2) << "the first client entered";
    EXPECT_FALSE(gRuleSequencer->IsEventAllowed(RuleSequencer::kEventClientPlace));
    for (int i = 0; i < 2500; ++i) level->Update();
    EXPECT_EQ(second->GetClientState(), SlotClient::kStateIdle) << "no arrival while event 2 is blocked";

    click("client_place03");
    level->Update();
    EXPECT_EQ(gRuleSequencer->GetNextRule(), 3) << "the shown client's place sent event 2";
    click("shelving01");
    click("client_place03");
    level->Update();
    EXPECT_EQ(level->GetClickQueue().size(), 2u) << "held while event 3 is blocked";
    EXPECT_GE(runTo(6, 30), 6) << "the order was taken";
    EXPECT_TRUE(level->GetClickQueue().empty()) << "handed on once allowed";

    // The held shelving click fetched the paper; the worker makes the product.
    EXPECT_EQ(runTo(7, 30), 7);
    click("table04a");
    EXPECT_EQ(runTo(9, 60), 9) << "the worker started and finished";
    click("table04a");
    level->Update();
    EXPECT_EQ(gRuleSequencer->GetNextRule(), 10) << "a table click sent event 8";
    EXPECT_EQ(level->GetMoney(), 0);
    runTo(10, 1);
    click("client_place03");
    EXPECT_EQ(runTo(11, 5), 11);
    for (float t = 0; t < 30 && level->GetMoney() == 0; t += 0.01f) {
        level->Update();
        level->UpdateMotion(1.0f);
    }
    EXPECT_GT(level->GetMoney(), 0) << "the first client was served";

    // Survival runs no script.
    Start(testsupport::kBusySurvivalLevel, true);
    EXPECT_FALSE(gRuleSequencer->IsRunning());
    EXPECT_TRUE(hovers("trash_bin"));
    app.reset();
    EXPECT_EQ(gRuleSequencer, nullptr);
}

// The natural clicks of a newcomer reach the tutorial: the client clicked in
// place of its place, and the errand's two clicks made at once.
TEST_F(LevelTest, TutorialTakesTheNaturalClicks) {
    struct Click {
        int popup;          // shown when the click is made
        const char* name;
        float after;        // seconds after the previous click
    };
    struct Case {
        const char* what;
        int day;
        std::vector<Click> clicks;
        int popup;          // shows next
        const char* works;  // the worker that has started, or none
    };
    const Case cases[] = {
        {"day 1: the client, not the place", 1, {{1, "client03", 0}}, 2, nullptr},
        {"day 2: the client, not the place", 2, {{16, "client03", 0}}, 2, nullptr},
        {"day 2: shelving, then the table 0.3 s later", 2,
         {{16, "client_place03", 0}, {13, "shelving01", 0}, {13, "table04a", 0.3f}}, 6, "worker04a"},
    };
    for (Item* item : gObjects) {
        auto* client = dynamic_cast<Client*>(item);
        if (client && item->GetName().starts_with("client0")) ClientSlots::Add(client, item->GetName()[7] - '1');
    }
    app->mUpdateInterval = 10;
    Hud* hud = composition.GetLevelScreens()->GetHud();
    auto run = [&](float seconds, const std::function<bool()>& done) {
        for (float t = 0; t < seconds && !done(); t += 0.01f) {
            level->Update();
            level->UpdateMotion(1.0f);
        }
    };
    for (const Case& c : cases) {
        Start(c.day);
        for (const Click& click : c.clicks) {
            run(60, [&] { return hud->IsChildVisible(click.popup); });
            ASSERT_TRUE(hud->IsChildVisible(click.popup)) << c.what << ": pop-up " << click.popup;
            run(click.after, [] { return false; });
            const Zephra::Point p = PointOn(click.name);
            level->MouseDown(p.mX, p.mY, 0, 1);
        }
        run(60, [&] { return hud->IsChildVisible(c.popup); });
        EXPECT_TRUE(hud->IsChildVisible(c.popup)) << c.what << ": pop-up " << c.popup;
        if (c.works) {
            auto* worker = dynamic_cast<Worker*>(FindObject(c.works));
            ASSERT_NE(worker, nullptr);
            EXPECT_EQ(worker->GetState(), Worker::kWorking) << c.what;
        }
    }
}

TEST_F(LevelTest, DestructionClearsTheOfficeSoASecondLevelStartsClean) {
    Start(1);
    const size_t objects = gObjects.size();
    ASSERT_GT(objects, 0u);
    FakeSlotClient* client = new FakeSlotClient("visitor", 9);  // outside 0..7: ignored
    EXPECT_EQ(gClientSlotCount, 0);
    delete client;
    {
        FakeSlotClient slotted("client03", 2);
        EXPECT_EQ(gClientSlotCount, 1);
    }
    app.reset();
    EXPECT_EQ(gLevelScreen, nullptr);
    EXPECT_TRUE(gObjects.empty());
    EXPECT_TRUE(gPickables.empty());
    EXPECT_EQ(gPhone, nullptr);
    EXPECT_EQ(gSafe, nullptr);
    EXPECT_EQ(gZOrder, nullptr);
    EXPECT_EQ(gOfficeDoc, nullptr);
    EXPECT_EQ(gLevelDoc, nullptr);
    EXPECT_EQ(gClientSlotCount, 0);
    EXPECT_TRUE(gLevelTimelines.clients.empty());
    EXPECT_TRUE(gClientDefs.empty());
    EXPECT_EQ(GetOfficeLevel(), nullptr);

    StartApp();
    Start(1);
    EXPECT_EQ(gObjects.size(), objects);
    EXPECT_EQ(level->GetMoney(), 0);
    EXPECT_EQ(level->AddMoney(-50), 0) << "money never goes below 0";
}

} // namespace
