#include "game/office/worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/effects/effect_target.h"
#include "game/office/boss.h"
#include "game/office/item_bonus.h"
#include "game/office/level_screen.h"
#include "game/office/mini_bar.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/shelving.h"
#include "game/office/skin.h"
#include "game/office/worker_board.h"
#include "platform/random.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/recording_level_seams.h"
#include "tests/support/recording_sounds.h"
#include "tests/support/sample_game.h"

namespace {

using officetest::FrameTime;

// The chain's steps as the level would receive them.
class RecordingBonus : public LevelBonus {
public:
    void Reset() override { kinds.push_back(-1); }
    void Step(float) override {}
    void Action(int kind, Item*) override { kinds.push_back(kind); }
    std::vector<int> kinds;
};

// Whoever walks up to a worker carrying something.
class Carrier : public Item {
public:
    explicit Carrier(const std::string& carries) {
        SetName("carrier");
        SetStateKey(carries);
    }
    bool Interact(Item*, int, int&) override { return true; }
};

// The sample game's office, its objects as a level finds them before a day.
// Worker definitions may be tuned per test before a worker is commanded.
class WorkerTest : public testsupport::SampleGame {
protected:
    void StartApp() override {
        SampleGame::StartApp();
        level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        level->SetBonus(&bonus);
        platform::SeedRand(7);
    }
    void TearDown() override {
        if (level) level->SetBonus(nullptr);
        SampleGame::TearDown();
    }
    // A level command on an object ("<object .../>" attributes).
    static void Command(Item* item, const std::string& attributes) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(("<object " + attributes + "/>").c_str()));
        item->OnCommand(doc.first_child());
    }
    Worker* Hire(const char* name, const std::string& skin = "worker1", const std::string& from = "papers",
                 const std::string& to = "0201") {
        auto* worker = dynamic_cast<Worker*>(FindObject(name));
        EXPECT_NE(worker, nullptr) << name;
        if (worker) Command(worker, "skin=\"" + skin + "\" transform_from=\"" + from + "\" transform_to=\"" + to + "\"");
        return worker;
    }
    // Both phases as a person runs them; the answer of phase 1.
    static bool Visit(Item* target, Item* person, int* valueOut = nullptr) {
        int value = 0;
        const bool accepted = target->Interact(person, 1, value) && person->Interact(target, 1, value);
        if (valueOut) *valueOut = value;
        if (!accepted) return false;
        target->Interact(person, 0, value);
        person->Interact(target, 0, value);
        return true;
    }
    static void Run(Item* item, float seconds, float dt = 0.25f) {
        FrameTime frame(dt);
        for (float t = 0; t < seconds - dt / 2; t += dt) item->Update();
    }
    WorkerDef& Def(const char* skin) { return gWorkerDefs[skin]; }

    LevelScreen* level = nullptr;
    RecordingBonus bonus;
    testsupport::RecordingSounds sounds;
};

TEST_F(WorkerTest, WorkTimeFollowsStaminaLevels) {
    struct Case {
        float stamina;
        float workTime;
    };
    // stamina_g_level 60, stamina_y_level 30; the times are tuned per case.
    const Case cases[] = {{75, 10}, {60, 4}, {45, 6}, {30, 8}, {29.5f, 9}, {10, 12}};
    for (const Case& c : cases) {
        Def("worker1") = WorkerDef{"worker1"};
        Def("worker1").worker_work_time_g = c.stamina >= 60 ? c.workTime : 1;
        Def("worker1").worker_work_time_y = c.stamina >= 30 && c.stamina < 60 ? c.workTime : 1;
        Def("worker1").worker_work_time_r = c.stamina < 30 ? c.workTime : 1;
        Worker* worker = Hire("worker02a");
        ASSERT_NE(worker, nullptr);
        worker->SetStamina(c.stamina);
        Carrier paper("papers");
        ASSERT_TRUE(Visit(worker, &paper));
        ASSERT_EQ(worker->GetState(), Worker::kWorking) << c.stamina;
        Run(worker, c.workTime - 0.5f);
        EXPECT_EQ(worker->GetState(), Worker::kWorking) << c.stamina << ": busy before " << c.workTime << " s";
        Run(worker, 0.75f);
        EXPECT_EQ(worker->GetState(), Worker::kIdle) << c.stamina << ": done after " << c.workTime << " s";
        EXPECT_EQ(worker->GetStateKey(), "0201") << c.stamina;
        EXPECT_TRUE(worker->IsWorkDone()) << c.stamina;
        worker->SetActive(false);
    }
    EXPECT_EQ(sounds.Count("worker_finish"), 6);
}

TEST_F(WorkerTest, ZeroWorkTimeFinishesAtOnce) {
    Def("worker1") = WorkerDef{"worker1"};
    Worker* worker = Hire("worker02a");
    Carrier paper("papers");
    ASSERT_TRUE(Visit(worker, &paper));
    Run(worker, 0.25f);
    EXPECT_EQ(worker->GetState(), Worker::kIdle);
    EXPECT_FALSE(std::isnan(worker->GetProgress()));
    EXPECT_EQ(worker->GetStateKey(), "0201");
}

TEST_F(WorkerTest, CodesTakenAndTransformed) {
    struct Case {
        const char* from;
        const char* to;
        const char* code;
        bool takes;
        const char* product;   // after the work
    };
    const Case cases[] = {
        {"0100", "0200", "0101", true, "0201"},     // same first two characters
        {"0100", "0200", "0103", true, "0203"},
        {"0100", "0200", "0201", false, ""},
        {"papers", "0201", "papers", true, "0201"}, // no "0": the specialization itself
        {"papers", "0201", "paper", false, ""},
        {"", "0201", "papers", false, ""},
        {"0100", "0200", "0", false, ""},           // shorter than its prefix
        {"0", "0300", "0", true, "0300"},            // nothing after the "0": number 0
        {"papers", "0201", "", false, ""},
    };
    Worker* worker = Hire("worker02a");
    for (const Case& c : cases) {
        Command(worker, std::string("skin=\"worker1\" transform_from=\"") + c.from + "\" transform_to=\"" + c.to + "\"");
        EXPECT_EQ(worker->CanTake(c.code), c.takes) << c.from << " <- " << c.code;
        if (!c.takes) continue;
        worker->SetStateKey(c.code);
        worker->TransformCode();
        EXPECT_EQ(worker->GetStateKey(), c.product) << c.code << " by " << c.to;
        EXPECT_TRUE(worker->IsWorkDone()) << c.product;
    }
    worker->SetStateKey("");
    EXPECT_FALSE(worker->IsWorkDone()) << "nothing held is no work done";
}

TEST_F(WorkerTest, InteractionsByStateAndWhatIsCarried) {
    struct Case {
        const char* what;
        int state;
        const char* held;
        const char* carried;
        bool accepted;
        int stateAfter;
        const char* heldAfter;
        int chain;       // 1 advanced, 0 broken
    };
    const Case cases[] = {
        {"paper to an idle worker", 0, "", "papers", true, 1, "papers", 1},
        {"money to an idle worker", 0, "", "money", true, 0, "", 0},
        {"a wrong code", 0, "", "0401", false, 0, "", 0},
        {"collecting finished work", 0, "0201", "", true, 0, "", 1},
        {"empty hands, nothing held", 0, "", "", true, 0, "", 0},
        {"money while working", 1, "papers", "money", true, 1, "papers", 0},
        {"a paper while working", 1, "papers", "papers", false, 1, "papers", 0},
        {"reproach for a break", 4, "", "", true, 0, "", 0},
        {"collecting from the table during a break", 5, "0201", "", true, 5, "", 0},
        {"nothing to collect during a break", 5, "", "", false, 5, "", 0},
        {"waking with empty hands", 6, "", "", true, 0, "", 0},
        {"waking over a paper", 6, "papers", "", true, 1, "papers", 0},
        {"waking over finished work", 6, "0201", "", true, 0, "0201", 0},
    };
    gMiniBar->SetVisibleFlag(true);
    gMiniBar->SetActive(true);
    for (const Case& c : cases) {
        Worker* worker = Hire("worker02a");
        worker->SetStateKey(c.held);
        worker->SetState(c.state);
        bonus.kinds.clear();
        Carrier person(c.carried);
        int value = -1;
        EXPECT_EQ(Visit(worker, &person, &value), c.accepted) << c.what;
        EXPECT_EQ(value, c.state) << c.what << ": the state is the answer";
        EXPECT_EQ(worker->GetState(), c.stateAfter) << c.what;
        EXPECT_EQ(worker->GetStateKey(), c.heldAfter) << c.what;
        ASSERT_FALSE(bonus.kinds.empty()) << c.what;
        EXPECT_EQ(bonus.kinds.back(), c.chain) << c.what;
        worker->SetActive(false);
    }
}

TEST_F(WorkerTest, MoneyBuysStaminaAndProtection) {
    Def("worker1").worker_stamina_down_speed = 4;
    Worker* worker = Hire("worker02a");
    worker->SetStamina(50);
    Carrier money("money");
    ASSERT_TRUE(Visit(worker, &money));
    EXPECT_EQ(worker->GetStamina(), 50 + Def("worker1").worker_bonus_effect);
    EXPECT_EQ(worker->GetProtectTime(), gGameParams.worker_money_immortality);
    EXPECT_EQ(sounds.Count("boss_give_money"), 1);
    EXPECT_EQ(worker->GetReaction(), "attention");
}

TEST_F(WorkerTest, ProtectedWorkersLoseNoStamina) {
    struct Case {
        const char* what;
        float protectMoney;   // seconds bought before the work
        const char* bossAt;   // where the boss stands, empty: nowhere near
        float lost;
    };
    const Case cases[] = {
        {"unprotected", 0, "", 8},
        {"money bought protection", 1, "", 0},
        {"the boss at the table", 0, "table02a", 0},
        {"the boss elsewhere", 0, "table04a", 8},
    };
    ASSERT_NE(gBoss, nullptr);
    // The boss stands at the points of a loaded day's walk graph.
    ASSERT_TRUE(level->LoadLevel(1));
    for (const Case& c : cases) {
        Def("worker1") = WorkerDef{"worker1"};
        Def("worker1").worker_work_time_g = 100;
        Def("worker1").worker_stamina_down_speed = 4;
        Worker* worker = Hire("worker02a");
        gBoss->PlaceAt(*c.bossAt ? c.bossAt : "boss_home");
        Carrier paper("papers");
        ASSERT_TRUE(Visit(worker, &paper));
        gGameParams.worker_money_immortality = c.protectMoney * 10;
        if (c.protectMoney > 0) {
            Carrier money("money");
            ASSERT_TRUE(Visit(worker, &money));
        }
        Run(worker, 2.0f);
        EXPECT_FLOAT_EQ(worker->GetStamina(), 100 - c.lost) << c.what;
        worker->SetActive(false);
    }
}

TEST_F(WorkerTest, SleepersSnoreInPeriodsAndDisturbOthers) {
    Def("worker1") = WorkerDef{"worker1"};
    Def("worker1").worker_disruption_start_timeout = 3;
    Def("worker1").worker_disruption_timeout = 5;
    Def("worker2") = WorkerDef{"worker2"};
    Worker* sleeper = Hire("worker02a");
    Worker* neighbour = Hire("worker04a", "worker2", "papers", "0401");
    Worker* hidden = Hire("worker01a", "worker1", "papers", "0101");
    hidden->SetVisibleFlag(false);
    neighbour->SetStamina(50);
    sleeper->AddStamina(-100);
    ASSERT_EQ(sleeper->GetState(), Worker::kAsleep);
    struct Case {
        float until;     // seconds since falling asleep
        int snores;
        bool snoring;
    };
    // A snore comes on the first frame past each time-out, and shows for
    // "worker_showtime_zzz" (2 s).
    const Case cases[] = {{3.0f, 0, false}, {3.25f, 1, true}, {5.0f, 1, true}, {6.0f, 1, false},
                          {8.25f, 1, false}, {8.5f, 2, true}, {13.75f, 3, true}};
    float t = 0;
    for (const Case& c : cases) {
        for (; t < c.until - 0.125f; t += 0.25f) {
            FrameTime frame(0.25f);
            sleeper->Update();
        }
        EXPECT_EQ(sounds.Count("worker_snore"), c.snores) << c.until;
        EXPECT_EQ(sleeper->IsSnoring(), c.snoring) << c.until;
        EXPECT_FLOAT_EQ(neighbour->GetStamina(), 50 - c.snores * gGameParams.disruption_effect) << c.until;
        EXPECT_FLOAT_EQ(hidden->GetStamina(), 100) << "hidden workers hear nothing";
    }
    EXPECT_EQ(neighbour->GetReaction(), "disruption_reaction");

    // The boss wakes the sleeper: he had no paper, so he idles.
    Carrier boss("");
    ASSERT_TRUE(Visit(sleeper, &boss));
    EXPECT_EQ(sleeper->GetState(), Worker::kIdle);
    EXPECT_FLOAT_EQ(sleeper->GetStamina(), gGameParams.boss_reproof_effect);
}

TEST_F(WorkerTest, BreaksAtTheMiniBar) {
    Def("worker1").worker_stamina_up_speed = 0;
    gMiniBar->SetVisibleFlag(true);
    gMiniBar->SetActive(true);
    Worker* worker = Hire("worker02a");
    const float intent = worker->GetBreakIntent();
    const float lead = gGameParams.worker_break_intent_timeout;
    EXPECT_GE(intent, Def("worker1").worker_break_low + lead);
    EXPECT_LE(intent, Def("worker1").worker_break_high + lead);
    float t = 0;
    FrameTime frame(0.25f);
    while (worker->GetState() == Worker::kIdle && t < 200) {
        worker->Update();
        gMiniBar->Update();
        t += 0.25f;
    }
    EXPECT_EQ(worker->GetState(), Worker::kWantsBreak);
    EXPECT_NEAR(t, intent - lead, 0.3f) << "wants a break once the intent enters its last seconds";
    bool last = false;
    std::string icon;
    EXPECT_TRUE(worker->GetIconName(last, icon));
    EXPECT_EQ(icon, "coffee");
    while (worker->GetState() == Worker::kWantsBreak && t < 200) {
        worker->Update();
        t += 0.25f;
        if (worker->GetState() == Worker::kWantsBreak) gMiniBar->Update();
    }
    EXPECT_EQ(worker->GetState(), Worker::kOnBreak);
    EXPECT_NEAR(t, intent, 0.3f);
    EXPECT_FALSE(worker->IsVisible());
    EXPECT_EQ(gMiniBar->GetSeated(0), worker);
    float value = -1;
    EXPECT_FALSE(worker->GetValue(value));
    EXPECT_FLOAT_EQ(value, 1.0f) << "the whole break is ahead";
    worker->SetStamina(20);
    const float duration = gGameParams.worker_break_duration_timeout;
    for (float b = 0; b < duration - 0.125f; b += 0.25f) {
        worker->Update();
        gMiniBar->Update();
    }
    EXPECT_EQ(worker->GetState(), Worker::kOnBreak) << "time left is 0, not below";
    gMiniBar->Update();
    EXPECT_EQ(worker->GetState(), Worker::kIdle);
    EXPECT_TRUE(worker->IsVisible());
    EXPECT_FLOAT_EQ(worker->GetStamina(), 100);
    EXPECT_EQ(gMiniBar->GetSeated(0), nullptr);
    EXPECT_TRUE(gMiniBar->GetVisitors().empty());
}

// While the tutorial holds the clients' patience the way to the bar is held
// too, so no worker is away when the boss brings what the tutorial waits for.
TEST_F(WorkerTest, TheTutorialHoldsTheBreaksWithThePatience) {
    struct Case {
        const char* what;
        int blocked;  // the tutorial event blocked
        int state;    // after two minutes idle
    };
    const Case cases[] = {
        {"patience held", 1, Worker::kIdle},
        {"patience runs", -1, Worker::kOnBreak},
    };
    gMiniBar->SetVisibleFlag(true);
    gMiniBar->SetActive(true);
    testsupport::RecordingTutorial tutorial;
    level->SetTutorial(&tutorial);
    Worker* worker = Hire("worker02a", "worker1", "0000", "0200");
    for (const Case& c : cases) {
        tutorial.blocked = c.blocked;
        worker->SetState(Worker::kIdle);
        worker->RollBreakIntent();
        Run(worker, 120.0f);
        EXPECT_EQ(worker->GetState(), c.state) << c.what;
    }
    Carrier boss("0001");
    tutorial.blocked = 1;
    worker->EndBreak();
    ASSERT_TRUE(Visit(worker, &boss));
    EXPECT_EQ(worker->GetState(), Worker::kWorking) << "the paper is taken";
    level->SetTutorial(nullptr);
}

// Four at once: three seats; the first to leave hands its seat to the fourth.
// A worker that leaves the office frees its seat; a closed bar sends everyone back.
TEST_F(WorkerTest, MiniBarSeatsThreeAndReseatsAfterRemovals) {
    gMiniBar->SetVisibleFlag(true);
    gMiniBar->SetActive(true);
    std::vector<std::unique_ptr<Worker>> crew;
    for (int i = 0; i < 5; ++i) {
        crew.push_back(std::make_unique<Worker>());
        crew.back()->SetName("worker9" + std::to_string(i));
        Command(crew.back().get(), "skin=\"worker1\"");
    }
    FrameTime frame(0.5f);
    crew[0]->SetState(Worker::kOnBreak);
    gMiniBar->Update();
    for (int i = 1; i < 4; ++i) crew[static_cast<size_t>(i)]->SetState(Worker::kOnBreak);
    ASSERT_EQ(gMiniBar->GetVisitors().size(), 4u);
    for (int seat = 0; seat < MiniBar::kSeats; ++seat) {
        EXPECT_EQ(gMiniBar->GetSeated(seat), crew[static_cast<size_t>(seat)].get()) << seat;
        Skin* up = gMiniBar->GetSeatPart(seat, true);
        ASSERT_NE(up, nullptr) << seat;
        EXPECT_TRUE(up->GetVisibleFlag()) << seat;
        EXPECT_EQ(up->GetAnimName(), "worker1") << seat;
    }
    const float duration = gGameParams.worker_break_duration_timeout;
    for (float t = 0.5f; t <= duration; t += 0.5f) gMiniBar->Update();
    EXPECT_EQ(crew[0]->GetState(), Worker::kIdle) << "its break ran out first";
    EXPECT_EQ(gMiniBar->GetSeated(0), crew[3].get()) << "the fourth takes the freed seat";

    crew[4]->SetState(Worker::kOnBreak);
    crew[1]->SetActive(false);
    EXPECT_EQ(gMiniBar->GetSeated(1), crew[4].get()) << "a worker leaving the office frees its seat";
    EXPECT_EQ(gMiniBar->GetVisitors().size(), 3u);

    crew[4].reset();
    EXPECT_EQ(gMiniBar->GetVisitors().size(), 2u) << "a worker gone leaves no trace at the bar";
    gMiniBar->SetActive(false);
    for (size_t i : {2u, 3u}) {
        EXPECT_EQ(crew[i]->GetState(), Worker::kIdle) << i << ": a closed bar ends the break";
        EXPECT_TRUE(crew[i]->IsVisible()) << i;
    }
    EXPECT_TRUE(gMiniBar->GetVisitors().empty());
}

TEST_F(WorkerTest, NoBarNoBreak) {
    Worker* worker = Hire("worker02a");
    worker->SetState(Worker::kWantsBreak);
    gMiniBar = nullptr;
    Run(worker, 100.0f);
    EXPECT_EQ(worker->GetState(), Worker::kIdle) << "the wish passes";
    EXPECT_TRUE(worker->IsVisible());
}

TEST_F(WorkerTest, ZeroBreakDurationEndsAtOnce) {
    gGameParams.worker_break_duration_timeout = 0;
    gMiniBar->SetVisibleFlag(true);
    gMiniBar->SetActive(true);
    Worker* worker = Hire("worker02a");
    worker->SetState(Worker::kOnBreak);
    float value = -1;
    worker->GetValue(value);
    EXPECT_EQ(value, 0.0f) << "no NaN";
    FrameTime frame(0.01f);
    gMiniBar->Update();
    EXPECT_EQ(worker->GetState(), Worker::kIdle);
}

TEST_F(WorkerTest, BoardsShowTheirWorkersCode) {
    struct Case {
        const char* code;
        const char* skin;   // empty: left as it was
    };
    const Case cases[] = {{"0203", "spec_l2t3"}, {"0400", "spec_l4t0"}, {"0201", "spec_l2t1"}, {"020", ""}, {"", ""}};
    auto* board = dynamic_cast<Specialization*>(FindObject("worker02a_spec"));
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(board->GetWorker(), FindObject("worker02a"));
    ASSERT_EQ(board->GetTable(), FindObject("table02a"));
    for (const Case& c : cases) {
        Hire("worker02a", "worker1", "papers", c.code);
        Command(board, "skin=\"before\"");
        EXPECT_EQ(board->GetSkinName(), *c.skin ? c.skin : "before") << c.code;
    }
    // The effects read the same code through the office.
    std::string code;
    ASSERT_NE(GetEffectOffice(), nullptr);
    EXPECT_TRUE(GetEffectOffice()->GetWorkerSpecialization("worker02a", code));
    EXPECT_EQ(code, "");
    Hire("worker02a", "worker1", "papers", "0203");
    EXPECT_TRUE(GetEffectOffice()->GetWorkerSpecialization("worker02a", code));
    EXPECT_EQ(code, "0203");
    EXPECT_FALSE(GetEffectOffice()->GetWorkerSpecialization("worker02", code)) << "names are whole";
}

TEST_F(WorkerTest, BoardsHandOverTheirWorkersWork) {
    ASSERT_NE(gBoss, nullptr);
    Worker* worker = Hire("worker02a");
    auto* board = dynamic_cast<Specialization*>(FindObject("worker02a_spec"));
    Command(board, "anim=\"idle\"");
    worker->SetStateKey("0201");
    gBoss->SetStateKey("");
    ASSERT_TRUE(Visit(board, gBoss));
    EXPECT_EQ(gBoss->GetStateKey(), "0201") << "the work reached the boss";
    EXPECT_EQ(worker->GetStateKey(), "");

    // A board without a table has nobody to ask.
    Specialization orphan;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<object name=\"specialization9\" worker=\"worker02a\" table=\"table99\"/>"));
    orphan.Load(doc.first_child());
    int value = 0;
    EXPECT_FALSE(orphan.Interact(gBoss, 1, value));
}

TEST_F(WorkerTest, ReactionsPlayTheirCountAndTheBaseLookReturns) {
    struct Case {
        int count;
        float stillOn;   // seconds after which the reaction still shows
        float over;      // seconds after which it has ended
    };
    // The sample reactions last 0.5 s (4 frames at 8 fps).
    const Case cases[] = {{1, 0.3f, 0.7f}, {2, 0.8f, 1.2f}};
    for (const Case& c : cases) {
        Worker* worker = Hire("worker02a");
        Run(worker, 0.1f, 0.05f);
        worker->PlayReaction("attention", c.count);
        Run(worker, c.stillOn, 0.05f);
        EXPECT_EQ(worker->GetReaction(), "attention") << c.count;
        Run(worker, c.over - c.stillOn, 0.05f);
        EXPECT_EQ(worker->GetReaction(), "") << c.count;
        EXPECT_EQ(worker->GetAnimName(), "idle_usual") << c.count << ": back to its base look";
        worker->SetActive(false);
    }
    // A hover over an idle worker with nothing done draws its attention.
    Worker* worker = Hire("worker02a");
    worker->UpdateHover({0, 0}, true);
    EXPECT_EQ(worker->GetReaction(), "attention");
    EXPECT_TRUE(worker->GetFlag());
}

// What the level's shelvings hand out and its shown workers make of it, and
// of what they make, as far as it goes.
std::set<std::string> Makeable() {
    std::set<std::string> made;
    for (Item* item : gObjects) {
        if (dynamic_cast<Shelving*>(item) && item->IsVisible()) made.insert(item->GetStateKey());
    }
    for (size_t count = 0; count != made.size();) {
        count = made.size();
        for (Worker* worker : gWorkers) {
            if (!worker->IsVisible()) continue;
            for (const std::string& code : std::set<std::string>(made)) {
                const std::string product = worker->ProductOf(code);
                if (!product.empty()) made.insert(product);
            }
        }
    }
    return made;
}

// Every order a client template can bring, through the multi-order and the
// extra-order rules: the game's own draw, seeded, often enough that every
// order of a weight of one in a hundred comes up.
std::set<std::string> OrdersOf(const ClientTemplate& client, const std::vector<OrderTemplate>& templates) {
    std::set<std::string> orders;
    platform::SeedRand(1);
    for (int i = 0; i < 3000; ++i) {
        for (const std::string& order : BuildOrders(client, templates)) orders.insert(order);
    }
    return orders;
}

// Every sample level, career day and survival level, seats workers who know
// their work and take something that is made, with boards that show it, and
// orders only what they make from what its shelving hands out (through
// workers in a row): a career day along its timeline, a survival level in
// each stage, with the workers and places that the stages before it added (an
// upgrade is the player's choice, so no order waits for one).
TEST_F(WorkerTest, SampleLevelsOrderOnlyWhatTheirWorkersMake) {
    struct Case {
        bool survival;
        int first, last;
    };
    const Case cases[] = {{false, 1, LevelScreen::kLastDay}, {true, 1, 3}};
    level->SetScreens(nullptr);  // no load screen: the levels only load
    for (const Case& c : cases) {
        for (int number = c.first; number <= c.last; ++number) {
            const std::string what = (c.survival ? "survival " : "day ") + std::to_string(number);
            level->SetSurvival(c.survival);
            ASSERT_TRUE(level->LoadLevel(number)) << what;
            ASSERT_NE(gBonusObject, nullptr);
            EXPECT_TRUE(gBonusObject->IsVisible() && gBonusObject->IsActive()) << what << ": popups can show";
            for (Worker* worker : gWorkers) {
                if (!worker->IsVisible() && worker->GetTransformTo().empty()) continue;
                EXPECT_FALSE(worker->GetDef().name.empty()) << what << ": " << worker->GetName() << " has a definition";
                EXPECT_FALSE(worker->GetTransformFrom().empty()) << what << ": " << worker->GetName();
            }
            // Each stage in turn, or the day's timeline at once.
            const std::vector<StageRecord> stages = level->GetSurvivalModel().stages;
            const size_t rounds = c.survival ? stages.size() : 1;
            EXPECT_GT(rounds, 0u) << what;
            for (size_t round = 0; round < rounds; ++round) {
                std::set<std::string> orders;
                if (c.survival) {
                    for (const AddEntry& entry : stages[round].objects) level->ApplyAddEntry(entry);
                    for (const ClientTemplate& client : stages[round].clients) {
                        const std::set<std::string> more = OrdersOf(client, level->GetSurvivalModel().orderTemplates);
                        EXPECT_FALSE(more.empty()) << what << ": " << client.name << " orders nothing";
                        orders.insert(more.begin(), more.end());
                    }
                } else {
                    for (const TimePoint& point : gLevelTimelines.clients)
                        orders.insert(point.orders.begin(), point.orders.end());
                }
                const std::set<std::string> made = Makeable();
                for (const std::string& order : orders) {
                    EXPECT_TRUE(made.count(order)) << what << (c.survival ? ", stage " + std::to_string(round + 1) : "")
                                                   << ": nobody makes " << order;
                }
                for (Worker* worker : gWorkers) {
                    if (!worker->IsVisible()) continue;
                    EXPECT_TRUE(std::any_of(made.begin(), made.end(), [&](const std::string& code) {
                        return worker->CanTake(code);
                    })) << what << ": " << worker->GetName() << " takes nothing";
                }
            }
            for (Item* item : gObjects) {
                auto* board = dynamic_cast<Specialization*>(item);
                if (board == nullptr || !board->IsVisible()) continue;
                auto* worker = dynamic_cast<Worker*>(board->GetWorker());
                ASSERT_NE(worker, nullptr) << what;
                EXPECT_EQ(board->GetSkinName(), Specialization::SkinOfCode(worker->GetSpecialization())) << what;
                EXPECT_NE(board->GetParts()[0]->GetPlayer()->FindRecord("skill_board" + board->GetSkinName() + "idle"),
                          nullptr) << what << ": " << board->GetSkinName();
            }
            level->ClearLevel();
        }
    }
}

// A career day by clicks: the boss fetches a blank paper, a worker makes
// the product, and the boss collects it through the worker's board.
TEST_F(WorkerTest, DayRunsPaperThroughAWorker) {
    app->mUpdateInterval = 10;
    // The office's own run: day 1's tutorial would hold the shelving until a client is seen.
    level->SetTutorial(nullptr);
    level->SetSurvival(false);
    ASSERT_TRUE(level->LoadLevel(1));
    level->StartLevel();
    level->SetInputEnabled(true);
    auto click = [&](const char* name) {
        const platform::Point p = FindObject(name)->GetRegionPoints()[0];
        level->MouseDown(p.x + 5, p.y + 5, 0, 1);
    };
    auto run = [&](float seconds) {
        for (float t = 0; t < seconds; t += 0.01f) {
            level->Update();
            level->UpdateMotion(1.0f);
        }
    };
    auto* worker = dynamic_cast<Worker*>(FindObject("worker02a"));
    ASSERT_NE(worker, nullptr);
    run(0.1f);
    const uint32_t tint2 = FindObject("table02a")->GetParts()[0]->Tint();
    EXPECT_NE(tint2, 0u) << "tables take their worker's colours";
    click("shelving01");
    run(8.0f);
    EXPECT_EQ(gBoss->GetStateKey(), "0001") << "a blank paper from the shelving";
    click("table02a");
    run(8.0f);
    EXPECT_EQ(gBoss->GetStateKey(), "") << "the paper went to the worker";
    EXPECT_TRUE(worker->GetState() == Worker::kWorking || worker->IsWorkDone());
    run(5.0f);
    EXPECT_EQ(worker->GetStateKey(), "0201");
    click("worker02a_spec");
    run(6.0f);
    EXPECT_EQ(gBoss->GetStateKey(), "0201") << "collected through the board";
    EXPECT_EQ(worker->GetStateKey(), "");
    EXPECT_GE(sounds.Count("take_paper"), 2);
    EXPECT_EQ(sounds.Count("worker_finish"), 1);
}

TEST_F(WorkerTest, StatusShowsWhatTheWorkerNeeds) {
    struct Case {
        int state;
        const char* held;
        bool shown;
        const char* icon;
        bool iconAnswer;
    };
    const Case cases[] = {
        {0, "", false, "", false},    {0, "0201", true, "0201", true}, {0, "papers", true, "papers", false},
        {1, "papers", false, "papers", false}, {4, "", true, "coffee", true}, {6, "", true, "sleep", true},
    };
    for (const Case& c : cases) {
        Worker* worker = Hire("worker02a");
        worker->SetStateKey(c.held);
        worker->SetState(c.state);
        bool last = false;
        std::string icon;
        EXPECT_EQ(worker->IsShown(), c.shown) << c.state << " " << c.held;
        EXPECT_EQ(worker->GetIconName(last, icon), c.iconAnswer) << c.state << " " << c.held;
        EXPECT_EQ(icon, c.icon) << c.state << " " << c.held;
        std::string name;
        EXPECT_TRUE(worker->GetName(name));
        EXPECT_EQ(name, "0201");
        EXPECT_EQ(Worker::FindByName("worker02a_hp"), worker) << "an indicator named after its worker";
        worker->SetActive(false);
    }
}

} // namespace
