// Whole days on the sample data, played as a player would: clicks on the
// objects' regions and updates of 10 ms, with a seeded generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "game/app/prefs.h"
#include "game/office/anim_file.h"
#include "game/office/boss.h"
#include "game/office/client.h"
#include "game/office/door.h"
#include "game/office/engineer.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/secretary.h"
#include "game/office/worker.h"
#include "game/office/skin.h"
#include "game/office/z_order.h"
#include "game/office/rule_sequencer.h"
#include "platform/random.h"
#include "tests/support/fake_tutorial_owner.h"
#include "tests/support/office_player.h"
#include "tests/support/recording_level_screens.h"
#include "tests/game/office/people_test_util.h"
#include "tests/support/recording_sounds.h"

namespace {

using testsupport::Player;
using testsupport::TutorialFollower;
using testsupport::RecordingLevelScreens;

class OfficePlay : public peopletest::OfficeGame {
protected:
    void StartApp() override {
        OfficeGame::StartApp();
        if (level) level->SetScreens(&screens);
    }
    void Start(int day, bool survival) {
        platform::SeedRand(7);
        screens.debriefings = 0;
        level->SetSurvival(survival);
        ASSERT_TRUE(level->LoadLevel(day));
        level->StartLevel();
        // The briefing (or the comics) closes and gives the play back.
        level->SetInputEnabled(true);
    }
    // Ticks of 10 ms, the player acting before each, until done or the limit.
    void Play(Player* player, float limit, const std::function<bool()>& done) {
        Play([&] { if (player) player->Act(); }, limit, done);
    }
    void Play(const std::function<void()>& act, float limit, const std::function<bool()>& done) {
        for (int i = 0; i < static_cast<int>(limit / kStep) && !done(); ++i) {
            act();
            level->Update();
            level->UpdateMotion(1.0f);
        }
    }
    bool Debriefed() const { return screens.debriefings > 0; }

    RecordingLevelScreens screens;
};

TEST_F(OfficePlay, CareerDayOne) {
    struct Case {
        const char* what;
        bool plays;
        bool phone;
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {
        {"every client served", true, true, LevelScreens::kExpert},
        {"the caller left ringing", true, false, LevelScreens::kGoal},
        {"no one served", false, false, LevelScreens::kFailure},
    };
    std::vector<int> earned;
    for (const Case& c : cases) {
        Start(1, false);
        Player player(level);
        player.answersPhone = c.phone;
        Play(c.plays ? &player : nullptr, 400.0f, [&] { return Debriefed(); });
        ASSERT_TRUE(Debriefed()) << c.what << ": the day ends";
        const int money = level->GetMoney();
        EXPECT_EQ(screens.outcome, c.outcome) << c.what << ", money " << money << ", clicks " << player.clicks;
        EXPECT_EQ(screens.debriefing, level->GetDebriefingKey(c.outcome)) << c.what;
        earned.push_back(money);
    }
    ASSERT_GT(earned[0], earned[1]);

    // What the days left in pref.dat, as the next start of the game reads it.
    level->SetScreens(nullptr);
    app.reset();
    app = std::make_unique<testsupport::TestApp>(prefs.File("pref.dat"));
    ASSERT_TRUE(app->Init());
    app->LoadingThreadCompleted();
    ASSERT_TRUE(app->ReadProfileSlot(0));
    const ProfileRecord& profile = app->GetCurrentProfile();
    EXPECT_EQ(profile.name, u"Ann");
    EXPECT_EQ(profile.bossKind, "man");
    EXPECT_EQ(profile.reachedDay, 2) << "day one passed (once)";
    EXPECT_EQ(profile.bestMoney[0], earned[0]) << "the best of the day's runs";
    EXPECT_EQ(profile.bestMoney[1], 0);
    const RecordTable::Table& career = app->GetRecordTable().GetTable(false);
    EXPECT_EQ(career[0].name, u"Ann");
    EXPECT_EQ(career[0].score, earned[0]);
    EXPECT_EQ(career[1].name, u"Ann");
    EXPECT_EQ(career[1].score, earned[1]);
    EXPECT_EQ(career[2].score, 0) << "a failed day enters no score";
}

// The first career days played by a person who does what the tutorial's
// pop-ups say and then serves the office on their own: the goal without the
// phone, the expert goal when the calls are answered too.
TEST_F(OfficePlay, FirstDaysFollowingTheTutorial) {
    struct Case {
        int day;
        bool phone;
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {
        {1, false, LevelScreens::kGoal}, {1, true, LevelScreens::kExpert},
        {2, false, LevelScreens::kGoal}, {2, true, LevelScreens::kExpert},
        {3, false, LevelScreens::kGoal}, {3, true, LevelScreens::kExpert},
    };
    for (const Case& c : cases) {
        const std::string what = "day " + std::to_string(c.day) + (c.phone ? " with" : " without") + " the phone";
        testsupport::FakeTutorialOwner popups;
        RuleSequencer tutorial(&popups);
        level->SetTutorial(&tutorial);
        Start(c.day, false);
        TutorialFollower follower(level, [&](int n) { return popups.shown.contains(n); });
        follower.player.answersPhone = c.phone;
        Play([&] { follower.Act(); }, 600.0f, [&] { return Debriefed(); });
        level->SetTutorial(nullptr);
        ASSERT_TRUE(Debriefed()) << what << ": the day ends";
        EXPECT_EQ(screens.outcome, c.outcome) << what << ", money " << level->GetMoney();
        EXPECT_TRUE(popups.shown.empty()) << what << ": pop-up " << *popups.shown.begin() << " left on screen";
        EXPECT_TRUE(follower.unknown.empty()) << what << ": pop-up " << *follower.unknown.begin();
        for (const TutorialRule& rule : RuleSequencer::ScriptOfDay(c.day)) {
            if (rule.show != 0) {
                EXPECT_TRUE(follower.seen.contains(rule.show)) << what << ": pop-up " << rule.show;
            }
        }
    }
}

// Wherever the persons walk they stand on their feet: each one's order line is
// the bottom of his picture, and nothing whose line lies above his, in the
// columns he covers, is drawn over him (the phone, a chair, a seated client).
TEST_F(OfficePlay, NothingBehindAPersonIsDrawnOverHim) {
    // Survival level 2: clients close together from the start, so that the
    // secretary is sent with coffee within the minute and a half.
    Start(2, true);
    Player player(level);
    player.answersPhone = true;
    struct Seen {
        const char* part;
        Person* person;
        int frames = 0;
        int moves = 0;
        int lastX = 0, lastY = 0;
    } persons[] = {{"boss", gBoss}, {"secretary", gSecretary}, {"engineer", gEngineer}};
    int tick = 0;
    Play(&player, 90.0f, [&]() -> bool {
        if (tick++ % 5 != 0) return false;
        const std::vector<Skin*>& order = gZOrder->GetDrawOrder();
        for (Seen& seen : persons) {
            if (seen.person == nullptr || !seen.person->IsVisible()) continue;
            Skin* part = seen.person->FindPartByName(seen.part);
            const AnimFrame* frame = part ? part->GetPlayer()->GetFrame() : nullptr;
            const AnimRecord* record = part ? part->GetPlayer()->GetRecord() : nullptr;
            if (frame == nullptr || record == nullptr) continue;
            ++seen.frames;
            const Zephra::Point feet = part->GetOrderPoint(1);
            if (feet.mX != seen.lastX || feet.mY != seen.lastY) ++seen.moves;
            seen.lastX = feet.mX;
            seen.lastY = feet.mY;
            const Zephra::Point origin = seen.person->OffsetPoint(part->GetOffset());
            const int bottom = origin.mY + part->EffectOffset().y + frame->offsY + frame->height;
            EXPECT_LE(std::abs(bottom - feet.mY), 6) << seen.part << " at " << feet.mX << "," << feet.mY;
            EXPECT_GE(feet.mX, origin.mX) << seen.part;
            EXPECT_LE(feet.mX, origin.mX + record->boxWidth) << seen.part;
            const auto self = std::find(order.begin(), order.end(), part);
            if (self == order.end()) {
                ADD_FAILURE() << seen.part << " is not drawn";
                continue;
            }
            for (int x = part->GetOrderPoint(0).mX; x < part->GetOrderPoint(2).mX; ++x) {
                Skin* behind = gZOrder->CellAt(x, feet.mY).skin;
                if (behind == nullptr) continue;
                EXPECT_LT(std::find(order.begin(), order.end(), behind), self)
                    << behind->GetOwner()->GetName() << " over the " << seen.part << " at " << feet.mX << ","
                    << feet.mY;
            }
        }
        return ::testing::Test::HasFailure();
    });
    EXPECT_GT(persons[0].moves, 50) << "the boss walked";
    EXPECT_GT(persons[1].moves, 10) << "the secretary walked";
}

TEST_F(OfficePlay, BusySurvivalLevel) {
    struct Case {
        const char* what;
        int better;        // hiscore entries of other players above any score of the run
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {
        {"first place", 0, LevelScreens::kExpert},
        {"among the ten", 3, LevelScreens::kGoal},
        {"below the ten", 10, LevelScreens::kFailure},
    };
    testsupport::RecordingSounds sounds;
    int coffees = 0, repairs = 0;
    bool sawRepair = false;
    for (const Case& c : cases) {
        RecordTable& records = app->GetRecordTable();
        records.GetTable(true) = RecordTable::Table{};
        for (int i = 0; i < c.better; ++i) records.AddScore(true, u"Bea", 100000 + i);
        Start(testsupport::kBusySurvivalLevel, true);
        Player player(level);
        auto visibleWorkers = [] {
            int n = 0;
            for (Worker* worker : gWorkers) n += worker->IsVisible() && worker->IsActive();
            return n;
        };
        EXPECT_EQ(visibleWorkers(), 2) << c.what;

        // Served until the second stage opens and offers an upgrade.
        Play(&player, 300.0f, [&] { return !level->GetUpgradeOffers().empty(); });
        ASSERT_FALSE(level->GetUpgradeOffers().empty()) << c.what << ", money " << level->GetMoney();
        EXPECT_EQ(level->GetSurvivalModel().stageIndex, 1) << c.what;
        EXPECT_GE(level->GetMoney(), 100) << c.what;
        EXPECT_FALSE(screens.upgradeDisabled) << c.what;
        screens.choice = "upgrade_table";
        level->OfferUpgrade();
        ASSERT_FALSE(screens.offered.empty());
        EXPECT_EQ(screens.offered.back(), (std::vector<std::string>{"upgrade_table", "upgrade_presentation"}));
        Play(nullptr, 3.0f, [] { return false; });
        EXPECT_EQ(visibleWorkers(), 3) << c.what << ": the upgrade adds a worker";
        // Served on to keep money through the losses to come.
        Play(&player, 300.0f, [&] { return level->GetMoney() >= 200; });
        ASSERT_GE(level->GetMoney(), 200) << c.what;
        const int money = level->GetMoney();
        coffees += player.coffees;
        repairs += player.repairs;
        sawRepair = sawRepair || player.sawRepair;

        // Left alone, the clients run out of patience one after another; a
        // full office may lose more of them in the last five seconds, which
        // the panel shows as the same empty lives.
        screens.log.clear();
        Play(nullptr, 600.0f, [&] { return Debriefed(); });
        ASSERT_TRUE(Debriefed()) << c.what;
        std::vector<std::string> lives;
        for (const std::string& entry : screens.log) {
            if (entry.rfind("lives ", 0) == 0 && (lives.empty() || lives.back() != entry)) lives.push_back(entry);
        }
        EXPECT_EQ(lives, (std::vector<std::string>{"lives 2", "lives 1", "lives 0"})) << c.what;
        EXPECT_LE(level->GetMoney(), money) << c.what << ": losses only";
        EXPECT_EQ(screens.outcome, c.outcome) << c.what;

        PrefsFile file(prefs.File("pref.dat"));
        ASSERT_TRUE(file.Load()) << file.LastError();
        int place = -1;
        const RecordTable::Table& table = file.Records().GetTable(true);
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i].name == u"Ann" && place < 0) place = static_cast<int>(i);
        }
        EXPECT_EQ(place, c.outcome == LevelScreens::kFailure ? -1 : c.better) << c.what;
        if (place >= 0) {
            EXPECT_EQ(table[place].score, level->GetMoney()) << c.what;
        }
    }
    // The assistants were sent by clicks too: cups reached clients, repairs were made.
    EXPECT_GT(coffees, 0);
    EXPECT_GT(sounds.Count("hp_up_coffee"), 0);
    EXPECT_GT(repairs, 0);
    EXPECT_TRUE(sawRepair);
}

// The player's next click, chosen from what the office shows: the busy
// level loaded, quiet (nothing spawns, nothing runs between the cases), each
// case arranging the clients, the workers and what the boss holds.
TEST_F(OfficePlay, PlayerChoosesFromWhatTheOfficeShows) {
    Start(testsupport::kBusySurvivalLevel, true);
    auto* student = dynamic_cast<Client*>(FindObject("client03"));
    auto* lady = dynamic_cast<Client*>(FindObject("client04"));
    auto* makes02 = dynamic_cast<Worker*>(FindObject("worker02a"));
    auto* makes04 = dynamic_cast<Worker*>(FindObject("worker04a"));
    ASSERT_TRUE(student && lady && makes02 && makes04 && gBoss && gCoffeeMachine);
    // A client at her place, waiting to order (state 1) or for her order (4).
    auto seat = [](Client* client, const char* kind, const std::string& order, int state, float patience) {
        client->Spawn(kind, false, 0, {order});
        gFrameTime = 0.0f;
        client->Update();
        if (state == 4) {
            int value = 0;
            client->Interact(gBoss, 0, value);
            gFrameTime = 10.0f;  // past the decision
            client->Update();
            client->Update();
        }
        client->AddPatience(patience - client->GetPatience());
    };
    auto ring = [](Client* client) { client->Spawn("tycoon", true, 0, {"0401"}); };
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* clicked;
    };
    const Case cases[] = {
        {"the phone rings", [&] { ring(lady); }, "phone"},
        {"a client waits to order", [&] { seat(student, "student", "0201", 1, 100); }, "client_place03"},
        {"a worker has nothing to do", [] {}, "shelving01"},
        {"a worker holds the order",
         [&] {
             seat(student, "student", "0201", 4, 100);
             makes02->SetStateKey("0201");
         },
         "table02a"},
        {"the least patient first",
         [&] {
             seat(student, "student", "0201", 4, 90);
             seat(lady, "lady", "0401", 4, 40);
             makes02->SetStateKey("0201");
             makes04->SetStateKey("0401");
         },
         "table04a"},
        {"the boss holds the order",
         [&] {
             seat(lady, "lady", "0401", 4, 100);
             gBoss->SetStateKey("0401");
         },
         "client_place04"},
        {"paper for the worker whose product is awaited",
         [&] {
             seat(lady, "lady", "0401", 4, 100);
             gBoss->SetStateKey("0001");
         },
         "table04a"},
        {"a product nobody awaits, hands wanted",
         [&] { gBoss->SetStateKey("0201"); },
         "trash_bin"},
        {"money for the most tired",
         [&] {
             makes04->SetStamina(30.0f);
             gBoss->SetStateKey("money");
         },
         "table04a"},
        {"a sleeper is woken",
         [&] {
             makes02->SetStateKey("0201");
             makes04->SetState(Worker::kAsleep);
         },
         "table04a"},
        {"coffee for a client whom nothing serves soon",
         [&] {
             seat(lady, "lady", "0401", 4, 50);
             makes04->SetState(Worker::kWorking);
             gCoffeeMachine->SetReady(true);
         },
         "coffeemachine"},
    };
    for (const Case& c : cases) {
        for (Client* client : {student, lady}) client->SetActive(false);
        for (Worker* worker : {makes02, makes04}) {
            worker->SetState(Worker::kIdle);
            worker->SetStateKey("");
            worker->SetStamina(100.0f);
        }
        gBoss->SetStateKey("");
        gCoffeeMachine->SetReady(false);
        for (PeriodItem* device : {gAirConditioner, gStereoSystem, gPresentationPlace}) {
            if (device) device->SetReady(false);
        }
        c.arrange();
        Player player(level);
        std::vector<std::string> clicked;
        player.clickAt = [&](int x, int y) {
            for (Pickable* p : gPickables) {
                if (p->IsVisible() && p->IsActive() && p->HitTest(x, y)) {
                    clicked.push_back(p->GetName());
                    return;
                }
            }
        };
        gFrameTime = 0.01f;
        player.Act();
        ASSERT_FALSE(clicked.empty()) << c.what;
        EXPECT_EQ(clicked.front(), c.clicked) << c.what;
    }
}

} // namespace

namespace {

// Each case spoils the sample's files before the game starts.
class SpoiledOfficePlay : public OfficePlay {
protected:
    void StartApp() override {}
    // Never writes through to the sample: a folder that is a link to the
    // sample's is laid out as a folder of links first, and the file's link removed.
    void Spoil(const std::string& name, const std::string& bytes) {
        namespace fs = std::filesystem;
        const fs::path file = fs::path(gameDir.Path()) / name;
        const fs::path folder = file.parent_path();
        if (fs::is_symlink(folder)) {
            const fs::path sample = fs::read_symlink(folder);
            fs::remove(folder);
            testsupport::LayGameFolder(sample, fs::path(), folder);
        }
        fs::remove(file);
        testsupport::WriteFile(file.string(), bytes);
    }
};

std::string SampleFile(const std::string& name) { return testsupport::ReadFile(testsupport::SourceDir() + "/data/" + name); }

} // namespace

// Data that would keep the boss from ever finishing is refused with a warning
// naming the file and the record, and the day still ends.
TEST_F(SpoiledOfficePlay, WhatWouldMakeADayEndlessIsRefusedAndTheDayEnds) {
    struct Case {
        const char* what;
        std::string file;
        std::function<std::string(std::string)> spoil;
        const char* warning;
    };
    const Case cases[] = {
        {"boss animations of 0 frames per second", "anm/boss.anm",
         [](std::string bytes) {
             AnimData data;
             std::string error;
             uint32_t base = 0;
             EXPECT_TRUE(ParseAnmFile(bytes, data, error, &base)) << error;
             for (AnimRecord& record : data.records) record.block.fps = 0;
             return WriteAnmFile(data, base);
         },
         "anm\\boss.anm: animation 0 (bossmantidle): 0 frames per second"},
        {"a boss speed of 0", "cfg/office.xml",
         [](std::string text) {
             const size_t at = text.find("boss_move_speed=\"160\"");
             EXPECT_NE(at, std::string::npos);
             return text.replace(at, 21, "boss_move_speed=\"0\"");
         },
         "params boss_move_speed 0: a person would never arrive"},
        {"a boss graph that does not join the safe", "cfg/office.xml",
         [](std::string text) {
             for (const char* edge : {"<edge p1=\"b_back\" p2=\"safe\" z_order=\"0\"/>",
                                      "<edge p1=\"safe\" p2=\"shelving01\" z_order=\"0\"/>"}) {
                 const size_t at = text.find(edge);
                 EXPECT_NE(at, std::string::npos) << edge;
                 if (at != std::string::npos) text.erase(at, std::string(edge).size());
             }
             return text;
         },
         "cfg\\l1.xml: the boss cannot reach safe from boss_home"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Spoil(c.file, c.spoil(SampleFile(c.file)));
        OfficePlay::StartApp();
        ASSERT_NE(level, nullptr);
        Start(1, false);
        Player player(level);
        Play(&player, 400.0f, [&] { return Debriefed(); });
        EXPECT_TRUE(Debriefed()) << "the day ends";
        bool warned = false;
        for (const std::string& w : app->Warnings()) warned = warned || w.find(c.warning) != std::string::npos;
        EXPECT_TRUE(warned) << c.warning;
        level->SetScreens(nullptr);
        app.reset();
        Spoil(c.file, SampleFile(c.file));
    }
}
