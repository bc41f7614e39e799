// Whole days on the sample data, played as a player would: clicks on the
// objects' regions and updates of 10 ms, with a seeded generator.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "game/app/prefs.h"
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
#include "platform/random.h"
#include "tests/support/recording_level_screens.h"
#include "tests/game/office/people_test_util.h"
#include "tests/support/recording_sounds.h"

namespace {

using testsupport::RecordingLevelScreens;

// A point of the object's region where a click reaches it (nothing in front).
bool ClickPoint(Pickable* target, Zephra::Point& out) {
    const platform::PolygonRegion* region = target->GetRegion();
    if (region == nullptr) return false;
    int x0 = 800, y0 = 600, x1 = 0, y1 = 0;
    for (const platform::Point& p : region->Points()) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    for (int y = y0; y <= y1; y += 2) {
        for (int x = x0; x <= x1; x += 2) {
            for (Pickable* p : gPickables) {
                if (!p->IsVisible() || !p->IsActive() || !p->HitTest(x, y)) continue;
                if (p != target) break;
                out = {x, y};
                return true;
            }
        }
    }
    return false;
}

// Plays the office: whenever the boss stands idle it decides his next click
// from what the office shows. Clients of a skipped kind are never served.
class Player {
public:
    explicit Player(LevelScreen* level) : level_(level) {}

    std::string skipped;   // a client definition left alone
    int clicks = 0;
    int coffees = 0;       // cups the secretary was sent with
    int repairs = 0;       // devices the engineer was sent to
    bool sawRepair = false;

    void Act() {
        sawRepair = sawRepair || (gEngineer && gEngineer->GetAnimName() == "engineer_repair");
        if (!level_->GetClickQueue().empty() || ActAssistants()) return;
        Boss* boss = gBoss;
        if (boss == nullptr || !boss->IsActive() || !boss->GetTargets().empty() || boss->IsBusy()) return;
            if (Pickable* target = Choose(boss->GetStateKey())) Click(target);
    }

private:
    // The secretary takes coffee to a waiting client (the machine, then the
    // client, in one go); the engineer is let in by his door, then sent to
    // a broken device before anything else is clicked.
    bool ActAssistants() {
        Secretary* secretary = gSecretary;
        PeriodItem* machine = gCoffeeMachine;
        if (secretary && secretary->IsActive() && machine && machine->IsVisible() && machine->IsReady() &&
            !secretary->IsBusy() && secretary->GetTargets().empty() && !secretary->CarriesCup()) {
            for (Client* client : Clients()) {
                if (client->GetState() != 4 || client->GetPatience() > 90.0f) continue;
                if (Click(machine) && Click(PlaceOf(client))) ++coffees;
                return true;
            }
        }
        Engineer* engineer = gEngineer;
        auto* door = dynamic_cast<Door*>(FindObject("door03"));
        PeriodItem* broken = nullptr;
        for (PeriodItem* device : {gAirConditioner, gStereoSystem}) {
            if (device && device->IsVisible() && device->IsActive() && device->IsReady()) broken = device;
        }
        if (!engineer || !door || !door->IsVisible() || !broken || engineer->IsBusy() || !engineer->GetTargets().empty())
            return false;
        if (engineer->HasCurrentTarget()) {
            if (Click(broken)) ++repairs;
            return true;
        }
        if (door->GetAnimName() == "idle") return Click(door);
        // The door is opening: nothing else until he is in.
        return true;
    }

    static Pickable* Named(const std::string& name) { return dynamic_cast<Pickable*>(FindObject(name)); }
    static Pickable* TableOf(const Worker* worker) { return dynamic_cast<Pickable*>(worker->GetTable()); }
    static Pickable* PlaceOf(const Client* client) { return Named("client_place" + client->Item::GetName().substr(6)); }

    std::vector<Client*> Clients() const {
        std::vector<Client*> out;
        for (Item* item : gObjects) {
            auto* client = dynamic_cast<Client*>(item);
            if (client && client->IsActive() && client->IsVisible() && client->GetDefName() != skipped)
                out.push_back(client);
        }
        return out;
    }
    static std::vector<Worker*> Workers() {
        std::vector<Worker*> out;
        for (Worker* worker : gWorkers) {
            if (worker->IsActive() && worker->IsVisible()) out.push_back(worker);
        }
        return out;
    }
    static std::string Wanted(const Client* client) {
        const int state = client->GetState();
        if (state != 3 && state != 4) return {};
        return client->GetStateKey();
    }

    Pickable* Choose(const std::string& carries) {
        if (gPhone && gPhone->IsRinging() && gPhone->GetCaller() &&
            gPhone->GetCaller()->GetDefName() != skipped)
            return gPhone;
        if (!carries.empty()) {
            for (Client* client : Clients()) {
                if (Wanted(client) == carries) return PlaceOf(client);
            }
            for (Worker* worker : Workers()) {
                if (worker->GetState() == 0 && worker->GetStateKey().empty() && worker->CanTake(carries))
                    return TableOf(worker);
            }
            return Named("trash_bin");
        }
        for (Worker* worker : Workers()) {
            if (worker->GetState() == 6 || worker->GetState() == 4) return TableOf(worker);
        }
        for (Client* client : Clients()) {
            for (Worker* worker : Workers()) {
                if (worker->GetState() == 0 && worker->IsWorkDone() && worker->GetStateKey() == Wanted(client))
                    return TableOf(worker);
            }
        }
        for (Client* client : Clients()) {
            if (client->GetState() == 1) return PlaceOf(client);
        }
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            if (wanted.empty() || InHand(wanted)) continue;
            for (Worker* worker : Workers()) {
                if (Makes(worker, wanted) && worker->GetState() == 0 && worker->GetStateKey().empty())
                    return Named("shelving01");
            }
        }
        return nullptr;
    }
    // The worker turns papers into products of the code's kind (its first two digits).
    static bool Makes(const Worker* worker, const std::string& code) {
        return code.size() >= 2 && worker->GetTransformTo().compare(0, 2, code, 0, 2) == 0;
    }
    // A worker works on the code or holds it already.
    static bool InHand(const std::string& code) {
        for (Worker* worker : Workers()) {
            if (Makes(worker, code) && (worker->GetState() == 1 || worker->GetStateKey() == code))
                return true;
        }
        return false;
    }
    bool Click(Pickable* target) {
        Zephra::Point p;
        if (target == nullptr || !ClickPoint(target, p)) return false;
        level_->MouseDown(p.mX, p.mY, 0, 1);
        ++clicks;
        return true;
    }

    LevelScreen* level_;
};

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
        for (int i = 0; i < static_cast<int>(limit / kStep) && !done(); ++i) {
            if (player) player->Act();
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
        const char* skipped;
        LevelScreens::Outcome outcome;
    };
    const Case cases[] = {
        {"every client served", true, "", LevelScreens::kExpert},
        {"the lady left waiting", true, "lady", LevelScreens::kGoal},
        {"no one served", false, "", LevelScreens::kFailure},
    };
    std::vector<int> earned;
    for (const Case& c : cases) {
        Start(1, false);
        Player player(level);
        player.skipped = c.skipped;
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

TEST_F(OfficePlay, SurvivalLevelOne) {
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
        Start(1, true);
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

        // Left alone, the clients run out of patience one after another.
        screens.log.clear();
        Play(nullptr, 600.0f, [&] { return Debriefed(); });
        ASSERT_TRUE(Debriefed()) << c.what;
        std::vector<std::string> lives;
        for (const std::string& entry : screens.log) {
            if (entry.rfind("lives ", 0) == 0) lives.push_back(entry);
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
        if (place >= 0) EXPECT_EQ(table[place].score, level->GetMoney()) << c.what;
    }
    // The assistants were sent by clicks too: cups reached clients, repairs were made.
    EXPECT_GT(coffees, 0);
    EXPECT_GT(sounds.Count("hp_up_coffee"), 0);
    EXPECT_GT(repairs, 0);
    EXPECT_TRUE(sawRepair);
}

} // namespace
