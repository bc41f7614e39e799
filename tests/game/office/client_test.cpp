#include "game/office/client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "game/office/boss.h"
#include "game/office/client_slots.h"
#include "game/office/item_bonus.h"
#include "game/office/level_screen.h"
#include "game/office/office.h"
#include "game/office/office_config.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/phone.h"
#include "game/office/secretary.h"
#include "game/office/skin.h"
#include "game/office/status_bubble.h"
#include "game/office/status_hp.h"
#include "tests/support/office_player.h"
#include "tests/support/recording_level_screens.h"
#include "tests/support/recording_level_seams.h"
#include "tests/support/recording_sounds.h"
#include "tests/support/sample_game.h"

namespace {

// The busy survival level of the tests started (three lives), nothing
// spawned; the test drives the clients and their indicators itself, 10 ms a
// frame, with the boss's hands set by hand.
class ClientTest : public testsupport::SampleGame {
protected:
    void StartApp() override {
        SampleGame::StartApp();
        ASSERT_NE(app, nullptr);
        level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        level->SetScreens(&screens);
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
        level->SetSurvival(true);
        ASSERT_TRUE(level->LoadLevel(testsupport::kBusySurvivalLevel));
        level->StartLevel();
        level->SetTutorial(&tutorial);
        level->SetBonus(&chain);
        first = dynamic_cast<Client*>(FindObject("client03"));
        second = dynamic_cast<Client*>(FindObject("client04"));
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        boss = FindObject("boss");
        ASSERT_NE(boss, nullptr);
        secretary = std::make_unique<Item>();
        secretary->SetName("secretary");
        gFrameTime = 0.01f;
    }
    void TearDown() override {
        level->SetTutorial(nullptr);
        level->SetBonus(nullptr);
        secretary.reset();
        SampleGame::TearDown();
    }
    // A fresh start of the level, frames going on.
    void Restart() {
        level->StartLevel();
        gFrameTime = 0.01f;
    }
    // Frames of 10 ms on the given objects, in that order.
    void Run(float seconds, std::initializer_list<Item*> items) {
        const int frames = static_cast<int>(std::lround(seconds / 0.01f));
        for (int i = 0; i < frames; ++i)
            for (Item* item : items) item->Update();
    }
    // A definition to the test's measure, copied from the sample student.
    ClientDef& Def(const std::string& name) {
        ClientDef def = gClientDefs.at("student");
        def.name = name;
        return gClientDefs[name] = def;
    }
    // Both phases of the boss's visit; the value the client left.
    bool Visit(Client* client, Item* person, int& value) {
        value = -1;
        if (!client->Interact(person, 1, value)) return false;
        client->Interact(person, 0, value);
        return true;
    }
    // Walks a client in, takes its order and lets it decide.
    void ToServing(Client* client, const std::vector<std::string>& orders) {
        ASSERT_TRUE(client->Spawn("student", false, 2, orders));
        client->Update();
        int value = 0;
        ASSERT_TRUE(Visit(client, boss, value));
        Run(gClientDefs.at("student").client_decision_timeout + 0.01f, {client});
        client->Update();
        ASSERT_EQ(client->GetState(), Client::kServing);
    }
    // Hands the current order over and lets the client pay.
    void Deliver(Client* client) {
        boss->SetStateKey(client->GetStateKey());
        int value = 0;
        ASSERT_TRUE(Visit(client, boss, value));
        EXPECT_EQ(value, 1);
        client->Update();
        client->Update();
    }

    testsupport::RecordingLevelScreens screens;
    testsupport::RecordingTutorial tutorial;
    testsupport::RecordingBonus chain;
    testsupport::RecordingSounds sounds;
    LevelScreen* level = nullptr;
    Client* first = nullptr;
    Client* second = nullptr;
    Item* boss = nullptr;
    std::unique_ptr<Item> secretary;
};

TEST_F(ClientTest, ClientsTakeTheSlotsTheirNamesGive) {
    EXPECT_EQ(ClientSlots::Get(2), first);
    EXPECT_EQ(ClientSlots::Get(3), second);
    struct Case {
        const char* name;
        int slot;  // -1: none
    };
    const Case cases[] = {{"client01", 0}, {"client08", 7}, {"client", -1}, {"client09", -1}, {"clientx00", -1}};
    for (const Case& c : cases) {
        ClientSlots::Clear();
        XmlDocument doc;
        const std::string xml = std::string("<object name='") + c.name + "'/>";
        ASSERT_TRUE(doc.load_string(xml.c_str()));
        {
            Client client;
            client.Load(doc.child("object"));
            for (int i = 0; i < kClientSlotCount; ++i)
                EXPECT_EQ(ClientSlots::Get(i) == &client, i == c.slot) << c.name << " slot " << i;
        }
        EXPECT_EQ(gClientSlotCount, 0) << c.name << ": a deleted client leaves its slot";
    }
}

// Every client place of the sample office, as the tests' busy level shows it:
// paired with the client of its slot and that client's indicators, clear of
// every other clickable object, and walked to by the boss and the secretary.
TEST_F(ClientTest, EveryPlaceSeatsItsClientAndIsWalkedTo) {
    struct Case {
        const char* place;
        const char* client;
        int slot;
    };
    const Case cases[] = {
        {"client_place01", "client01", 0}, {"client_place02", "client02", 1}, {"client_place03", "client03", 2},
        {"client_place04", "client04", 3}, {"client_place05", "client05", 4}, {"client_place06", "client06", 5},
        {"client_place07", "client07", 6}, {"client_place08", "client08", 7},
    };
    static_assert(std::size(cases) == kClientSlotCount);
    struct Box {
        int x0 = 800, y0 = 600, x1 = 0, y1 = 0;
    };
    auto boxOf = [](const Item* item) {
        Box b;
        for (const platform::Point& p : item->GetRegionPoints()) {
            b.x0 = std::min(b.x0, p.x), b.y0 = std::min(b.y0, p.y);
            b.x1 = std::max(b.x1, p.x), b.y1 = std::max(b.y1, p.y);
        }
        return b;
    };
    auto overlap = [](const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; };
    // Walks the person from home to the point; false when it does not get there.
    auto walk = [](Person* person, const std::string& point) {
        person->PlaceAt(person->GetStartPoint());
        if (!person->WalkTo(point, 200.0f)) return false;
        for (int i = 0; i < 2000 && person->IsWalking(); ++i) person->UpdateMotion(1.0f);
        int x = 0, y = 0;
        return !person->IsWalking() && FindPathGraphSet(person->GetName())->GetPointPosition(point, x, y) &&
               person->GetPosX() == x && person->GetPosY() == y;
    };
    ASSERT_TRUE(gBoss && gSecretary);
    for (const Case& c : cases) {
        auto* place = dynamic_cast<Pickable*>(FindObject(c.place));
        auto* client = dynamic_cast<Client*>(FindObject(c.client));
        ASSERT_TRUE(place && client) << c.place;
        EXPECT_TRUE(place->IsVisible() && place->IsActive()) << c.place;
        EXPECT_EQ(place->FindOwner(), client) << c.place;
        ASSERT_NE(ClientSlots::Get(c.slot), nullptr) << c.client;
        EXPECT_EQ(ClientSlots::Get(c.slot)->GetClientObject(), client) << c.client;
        EXPECT_EQ(client->GetState(), Client::kInactive) << c.client << ": free for a visit";
        int indicators = 0;
        for (Item* item : gObjects)
            indicators += item->GetName() == c.client && (dynamic_cast<StatusHp*>(item) || dynamic_cast<StatusBubble*>(item));
        EXPECT_EQ(indicators, 2) << c.client << ": its patience bar and bubble";

        for (Pickable* other : gPickables) {
            // Also those that come with upgrades, hidden for now.
            if (other == place || other == client || other->GetRegionPoints().empty()) continue;
            EXPECT_FALSE(overlap(boxOf(place), boxOf(other))) << c.place << " and " << other->GetName();
            EXPECT_FALSE(overlap(boxOf(client), boxOf(other))) << c.client << " and " << other->GetName();
        }
        ASSERT_TRUE(client->Spawn("student", false, c.slot, {"0201"})) << c.client;
        Zephra::Point at;
        EXPECT_TRUE(testsupport::ClickPoint(place, at)) << c.place << ": a click reaches it";
        EXPECT_TRUE(testsupport::ClickPoint(client, at)) << c.client << ": a click reaches the seated client";

        EXPECT_TRUE(walk(gBoss, c.place)) << "the boss to " << c.place;
        EXPECT_TRUE(walk(gBoss, c.client)) << "the boss to " << c.client;
        EXPECT_TRUE(walk(gSecretary, c.place)) << "the secretary to " << c.place;
    }
}

TEST_F(ClientTest, SpawnStartsAVisitOrFailsWithoutADefinition) {
    EXPECT_EQ(first->GetState(), Client::kInactive);
    EXPECT_FALSE(first->Spawn("nobody", false, 2, {"0201"}));
    EXPECT_EQ(first->GetState(), Client::kInactive);
    EXPECT_FALSE(first->IsActive());
    EXPECT_TRUE(tutorial.events.empty());

    ASSERT_TRUE(first->Spawn("lady", false, 2, {"0401"}));
    EXPECT_TRUE(first->IsActive());
    EXPECT_EQ(first->GetSkinName(), "lady");
    EXPECT_EQ(first->GetPatience(), 100.0f);
    EXPECT_EQ(first->GetMood(), Client::kMoodGreen);
    EXPECT_EQ(first->GetState(), Client::kArrived);
    EXPECT_TRUE(sounds.Count("client_spawn") > 0);
    EXPECT_EQ(tutorial.events, std::vector<int>{Client::kEventVisit});
    first->Update();
    EXPECT_EQ(first->GetState(), Client::kWaiting);
    // The places before it taken too, the first free one is the next after it.
    for (int slot : {0, 1}) {
        auto* other = dynamic_cast<Client*>(FindObject("client0" + std::to_string(slot + 1)));
        ASSERT_NE(other, nullptr) << slot;
        ASSERT_TRUE(other->Spawn("student", false, slot, {"0201"})) << slot;
    }
    EXPECT_EQ(ClientSlots::FindIdle(), 3) << "the visited slot is taken";
}

// A visit from order to payment: the boss takes the order, the client
// decides, the boss brings the product and the client pays by its patience.
TEST_F(ClientTest, PaysByItsPatienceForTheRightProduct) {
    struct Case {
        float patience;  // at delivery, before the service bonus
        bool quick;      // delivered within the service time-out
        int paid;
    };
    const ClientDef& student = gClientDefs.at("student");
    const Case cases[] = {
        {100.0f, true, static_cast<int>(student.client_money_g)},
        {45.0f, false, static_cast<int>(student.client_money_y)},
        {25.0f, false, static_cast<int>(student.client_money_r)},
        // The quick service lifts a yellow client into the green.
        {55.0f, true, static_cast<int>(student.client_money_g)},
    };
    for (const Case& c : cases) {
        Restart();
        chain.actions.clear();
        tutorial.events.clear();
        ASSERT_TRUE(first->Spawn("student", false, 2, {"0201"}));
        first->Update();
        int value = -1;
        ASSERT_TRUE(Visit(first, boss, value));
        EXPECT_EQ(value, 0);
        EXPECT_EQ(first->GetState(), Client::kDeciding);
        Run(student.client_decision_timeout + 0.01f, {first});
        EXPECT_EQ(first->GetStateKey(), "0201");
        EXPECT_TRUE(sounds.Count("client_ready") > 0);
        EXPECT_EQ(first->GetMood(), Client::kMoodGratitude);
        first->Update();
        ASSERT_EQ(first->GetState(), Client::kServing);
        if (!c.quick) Run(gGameParams.service_timeout + 0.1f, {first});

        boss->SetStateKey("0401");
        EXPECT_FALSE(Visit(first, boss, value)) << "the wrong product is refused";
        first->AddPatience(c.patience - first->GetPatience());
        Deliver(first);
        EXPECT_EQ(level->GetMoney(), c.paid) << c.patience;
        EXPECT_EQ(first->GetState(), Client::kLeaving);
        EXPECT_TRUE(sounds.Count("client_positiv") > 0);
        first->Update();
        EXPECT_EQ(first->GetState(), Client::kInactive);
        EXPECT_FALSE(first->IsActive());
        ASSERT_EQ(chain.actions.size(), 3u);
        EXPECT_EQ(chain.actions[0].first, 1) << "order taken";
        EXPECT_EQ(chain.actions[1].first, 0) << "wrong product";
        EXPECT_EQ(chain.actions[2].first, 1) << "delivered";
        EXPECT_EQ(tutorial.events, (std::vector<int>{Client::kEventVisit, Client::kEventOrderTaken,
                                                     Client::kEventOneOrder}));
    }
}

// Two orders: after paying the first the client goes on to the second (6 ->
// 3 -> 4) and may earn the service bonus again.
TEST_F(ClientTest, TwoOrderClientOrdersAgainAfterPaying) {
    const ClientDef& student = gClientDefs.at("student");
    ToServing(first, {"0201", "0401"});
    bool lastOrder = true;
    std::string icon;
    ASSERT_TRUE(first->GetIconName(lastOrder, icon));
    EXPECT_EQ(icon, "0201");
    EXPECT_FALSE(lastOrder) << "one more after this one";
    EXPECT_EQ(tutorial.events.back(), Client::kEventMoreOrders);

    first->AddPatience(45.0f - first->GetPatience());
    boss->SetStateKey("0201");
    int value = 0;
    ASSERT_TRUE(Visit(first, boss, value));
    EXPECT_FLOAT_EQ(first->GetPatience(), 45.0f + student.client_service_effect);
    first->Update();
    ASSERT_EQ(first->GetState(), Client::kPaying);
    first->Update();
    EXPECT_EQ(first->GetState(), Client::kOrdered);
    EXPECT_EQ(first->GetStateKey(), "0401");
    EXPECT_EQ(level->GetMoney(), static_cast<int>(student.client_money_y));
    first->Update();
    EXPECT_EQ(first->GetState(), Client::kServing);
    ASSERT_TRUE(first->GetIconName(lastOrder, icon));
    EXPECT_EQ(icon, "0401");
    EXPECT_TRUE(lastOrder);

    const float before = first->GetPatience();
    Run(1.0f, {first});
    boss->SetStateKey("0401");
    ASSERT_TRUE(Visit(first, boss, value));
    EXPECT_GT(first->GetPatience(), before) << "the second order's quick service counts too";
    first->Update();
    first->Update();
    EXPECT_EQ(first->GetState(), Client::kLeaving);
}

// Patience drains; each tens step below 99 shows a locked reaction; below the
// scandal level scandals lower the others' patience; at 0.0001 the client
// leaves with a loss and a life.
TEST_F(ClientTest, PatienceRunsOutThroughReactionsAndScandals) {
    ClientDef& fast = Def("fast");
    fast.client_patience_speed = 20.0f;
    fast.client_scandal_level = 20.0f;
    fast.client_scandal_timeout = 0.5f;
    fast.client_losses_money = 30.0f;
    level->AddMoney(100);
    ASSERT_TRUE(first->Spawn("fast", false, 2, {"0201"}));
    ASSERT_TRUE(second->Spawn("lady", false, 3, {"0401"}));
    first->Update();
    second->Update();

    struct Case {
        float until;       // patience to run down to
        int mood;
        bool locked;
    };
    const Case cases[] = {
        {99.5f, Client::kMoodGreen, false},       // the first tens step is quiet
        {69.9f, Client::kMoodContent, true},      // 70 crossed above the red level
        {45.0f, Client::kMoodContent, true},      // a reaction is not replaced until it ends
    };
    for (const Case& c : cases) {
        while (first->GetPatience() > c.until) first->Update();
        EXPECT_EQ(first->GetMood(), c.mood) << c.until;
        EXPECT_EQ(first->IsMoodLocked(), c.locked) << c.until;
    }
    EXPECT_FALSE(sounds.Count("client_scandal") > 0);
    while (first->GetPatience() >= fast.client_scandal_level) first->Update();
    EXPECT_TRUE(sounds.Count("client_scandal") > 0) << "the first scandal comes as the level is crossed";
    EXPECT_EQ(first->GetMood(), Client::kMoodScandal);
    EXPECT_TRUE(first->IsScandalActive());
    EXPECT_FLOAT_EQ(second->GetPatience(), 100.0f - gGameParams.scandal_effect);
    EXPECT_EQ(second->GetMood(), Client::kMoodContent);
    EXPECT_TRUE(second->IsMoodLocked());
    bool lastOrder = false;
    std::string icon;
    ASSERT_TRUE(first->GetIconName(lastOrder, icon));
    EXPECT_EQ(icon, "scandal");

    Run(fast.client_scandal_timeout + 0.01f, {first});
    EXPECT_FLOAT_EQ(second->GetPatience(), 100.0f - 2 * gGameParams.scandal_effect) << "a scandal per time-out";

    while (first->GetState() == Client::kWaiting) first->Update();
    EXPECT_EQ(first->GetState(), Client::kLeaving);
    EXPECT_EQ(first->GetPatience(), 0.0f);
    EXPECT_EQ(level->GetMoney(), 70);
    EXPECT_EQ(level->GetLives(), LevelScreen::kSurvivalLives - 1);
    EXPECT_TRUE(sounds.Count("client_negativ") > 0);
    first->Update();
    EXPECT_FALSE(first->IsActive());
}

TEST_F(ClientTest, PatienceStaysWithinItsBoundsAndTheTutorialCanHoldIt) {
    ASSERT_TRUE(first->Spawn("student", false, 2, {"0201"}));
    first->AddPatience(50.0f);
    EXPECT_EQ(first->GetPatience(), 100.0f);
    first->AddPatience(-250.0f);
    EXPECT_EQ(first->GetPatience(), 0.0f);
    first->AddPatience(40.0f);
    tutorial.blocked = Client::kEventVisit;
    first->Update();
    Run(1.0f, {first});
    EXPECT_EQ(first->GetPatience(), 40.0f) << "held while the tutorial blocks it";
}

// Presentation and coffee lift the patience with a locked reaction; a caller
// is reached by neither.
TEST_F(ClientTest, PresentationAndCoffeeCheerClientsUp) {
    const ClientDef& student = gClientDefs.at("student");
    ASSERT_TRUE(first->Spawn("student", false, 2, {"0201"}));
    ASSERT_TRUE(second->Spawn("student", true, 3, {"0201"}));
    ASSERT_EQ(second->GetState(), Client::kCalling);
    first->AddPatience(-50.0f);
    ClientSlots::UpdateAll();
    EXPECT_FLOAT_EQ(first->GetPatience(), 50.0f + student.client_presentation_effect);
    EXPECT_EQ(first->GetMood(), Client::kMoodPresentation);
    EXPECT_TRUE(first->IsMoodLocked());
    EXPECT_TRUE(sounds.Count("hp_up_presentation") > 0);
    EXPECT_EQ(second->GetPatience(), 100.0f);

    first->AddPatience(-50.0f);
    const float before = first->GetPatience();
    int value = 0;
    EXPECT_FALSE(Visit(first, secretary.get(), value)) << "nothing to bring";
    secretary->SetStateKey("coffe_cup");
    EXPECT_FALSE(Visit(second, secretary.get(), value)) << "a caller is not here";
    ASSERT_TRUE(Visit(first, secretary.get(), value));
    EXPECT_FLOAT_EQ(first->GetPatience(), before + student.client_coffee_effect);
    EXPECT_EQ(first->GetMood(), Client::kMoodCoffee);
    EXPECT_TRUE(sounds.Count("hp_up_coffee") > 0);
}

// A caller rings the phone; its countdown runs only while the phone rings for
// it. Unanswered, it costs money and a life; answered, it walks in.
TEST_F(ClientTest, PhoneCallerIsAnsweredOrGivesUp) {
    ASSERT_NE(gPhone, nullptr);
    StatusHp* bar = dynamic_cast<StatusHp*>(FindObject("phone_hp"));
    ASSERT_NE(bar, nullptr);
    struct Case {
        const char* what;
        float answerAt;  // < 0: never
        int money;
        int lives;
    };
    const float ring = gGameParams.ring_timeout;
    const Case cases[] = {
        {"unanswered", -1.0f, 100 - static_cast<int>(gGameParams.ring_losses_money), LevelScreen::kSurvivalLives - 1},
        {"answered late in the ring", ring - 0.5f, 100, LevelScreen::kSurvivalLives},
    };
    for (const Case& c : cases) {
        Restart();
        level->AddMoney(100);
        ASSERT_TRUE(first->Spawn("tycoon", true, 2, {"0201"}));
        EXPECT_EQ(first->GetState(), Client::kCalling) << c.what;
        EXPECT_FALSE(first->IsVisible()) << c.what;
        EXPECT_TRUE(gPhone->IsRinging()) << c.what;
        EXPECT_EQ(gPhone->GetCaller(), first) << c.what;
        Run(ring * 0.45f, {first, bar});
        EXPECT_EQ(bar->GetParts()[1]->RepeatCount(), 3) << c.what << ": 55 % of the ring left";
        if (c.answerAt >= 0.0f) {
            Run(c.answerAt - ring * 0.45f, {first, bar});
            int value = 0;
            ASSERT_TRUE(gPhone->Interact(boss, 1, value));
            gPhone->Interact(boss, 0, value);
            gPhone->StopRinging();
            Run(2.0f, {first, bar});
            EXPECT_EQ(first->GetState(), Client::kCalling) << c.what << ": the boss is still on the phone";
            EXPECT_FALSE(bar->IsActive()) << c.what;
            gPhone->NotifyCaller();
            gPhone->ForgetCaller();
            EXPECT_EQ(first->GetState(), Client::kArrived) << c.what;
            EXPECT_EQ(first->GetSkinName(), "tycoon") << c.what;
        } else {
            float t = ring * 0.45f;
            for (; first->GetState() == Client::kCalling && t < 2 * ring; t += 0.01f) first->Update();
            EXPECT_NEAR(t, ring, 0.02f) << c.what;
            EXPECT_EQ(first->GetState(), Client::kLeaving) << c.what;
            EXPECT_FALSE(gPhone->IsRinging()) << c.what;
            EXPECT_EQ(gPhone->GetCaller(), nullptr) << c.what;
        }
        EXPECT_EQ(level->GetMoney(), c.money) << c.what;
        EXPECT_EQ(level->GetLives(), c.lives) << c.what;
        first->SetActive(false);
    }
}

// While the boss is on the phone with a caller no one else spawns: a new
// caller would take the line from the one on it.
TEST_F(ClientTest, CallUnderWayKeepsTheSpawnersWaiting) {
    app->mUpdateInterval = 10;
    ASSERT_TRUE(first->Spawn("tycoon", true, 2, {"0201"}));
    int value = 0;
    gPhone->Interact(boss, 0, value);
    gPhone->StopRinging();
    for (int i = 0; i < 2000; ++i) level->Update();
    EXPECT_EQ(second->GetState(), Client::kInactive) << "the phone is busy";
    EXPECT_EQ(first->GetState(), Client::kCalling);
    gPhone->NotifyCaller();
    gPhone->ForgetCaller();
    for (int i = 0; i < 2000 && second->GetState() == Client::kInactive; ++i) level->Update();
    EXPECT_NE(second->GetState(), Client::kInactive) << "the next client comes once the call is over";
}

// A vip without a phone to ring (none, not in the day, or taken) walks in.
TEST_F(ClientTest, VipWithoutAFreePhoneWalksIn) {
    Phone* phone = gPhone;
    ASSERT_TRUE(second->Spawn("lady", true, 3, {"0401"}));
    struct Case {
        const char* what;
        Phone* phone;
        bool phoneActive;
    };
    const Case cases[] = {{"no phone", nullptr, true}, {"taken", phone, true}, {"not in the day", phone, false}};
    for (const Case& c : cases) {
        gPhone = c.phone;
        phone->SetActiveFlag(c.phoneActive);
        ASSERT_TRUE(first->Spawn("tycoon", true, 2, {"0201"})) << c.what;
        EXPECT_EQ(first->GetState(), Client::kArrived) << c.what;
        EXPECT_NE(phone->GetCaller(), first) << c.what;
        first->SetActive(false);
    }
    gPhone = phone;
    phone->SetActiveFlag(true);
    second->SetActive(false);
    EXPECT_EQ(phone->GetCaller(), nullptr) << "a caller that goes frees the phone";
    EXPECT_FALSE(phone->IsRinging());
}

TEST_F(ClientTest, ZeroTimeOutsFinishAtOnceWithoutNaN) {
    ClientDef& hasty = Def("hasty");
    hasty.client_decision_timeout = 0.0f;
    gGameParams.ring_timeout = 0.0f;
    ASSERT_TRUE(first->Spawn("hasty", true, 2, {"0201"}));
    float value = -1.0f;
    EXPECT_FALSE(first->GetValue(value));
    EXPECT_EQ(value, 0.0f);
    first->Update();
    EXPECT_EQ(first->GetState(), Client::kLeaving);

    ASSERT_TRUE(second->Spawn("hasty", false, 3, {"0201"}));
    second->Update();
    int answer = 0;
    ASSERT_TRUE(Visit(second, boss, answer));
    second->Update();
    EXPECT_EQ(second->GetState(), Client::kOrdered);
}

// The patience bar: segments, colours by the levels, blinking around the red level.
TEST_F(ClientTest, PatienceBarFollowsItsClient) {
    StatusHp* bar = dynamic_cast<StatusHp*>(FindObject("client03"));
    ASSERT_EQ(bar, nullptr) << "the client comes first under its name";
    for (Item* item : gObjects) {
        if (item->GetName() == "client03" && dynamic_cast<StatusHp*>(item)) bar = static_cast<StatusHp*>(item);
    }
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetOwnerItem(), first);
    EXPECT_EQ(bar->GetLevelHigh(), static_cast<int>(gGameParams.patience_g_level));
    Skin* segments = bar->GetParts()[1].get();
    ASSERT_EQ(segments->GetName(), "status_hp");
    bar->Update();
    EXPECT_FALSE(bar->IsActive()) << "no visit, no bar";

    ASSERT_TRUE(first->Spawn("student", false, 2, {"0201"}));
    first->Update();
    struct Case {
        float patience;
        int segments;
        uint32_t color;
        float alphaBelow;  // the bar's alpha stays below this after 0.2 s (1.01: not blinking)
    };
    const Case cases[] = {
        {100.0f, 10, StatusHp::kColorHigh, 1.01f},
        {55.0f, 6, StatusHp::kColorMiddle, 1.01f},
        {11.0f, 2, StatusHp::kColorLow, 1.01f},
        {9.0f, 1, StatusHp::kColorLow, 0.95f},   // fell to the red level: blinks
        {14.0f, 2, StatusHp::kColorLow, 1.01f},  // back above it: stops
    };
    for (const Case& c : cases) {
        first->AddPatience(c.patience - first->GetPatience());
        Run(0.2f, {bar});
        EXPECT_TRUE(bar->IsActive()) << c.patience;
        EXPECT_EQ(segments->RepeatCount(), c.segments) << c.patience;
        EXPECT_EQ(segments->Tint(), c.color) << c.patience;
        EXPECT_LT(segments->Alpha(), c.alphaBelow) << c.patience;
        EXPECT_EQ(segments->GetAnimName(), "point") << c.patience;
    }
    first->SetActive(false);
    bar->Update();
    EXPECT_FALSE(bar->IsActive());
}

TEST(StatusHp, SegmentsByOwnerKind) {
    struct Case {
        StatusHp::OwnerKind kind;
        float value;
        int segments;
    };
    const Case cases[] = {
        {StatusHp::kClient, 55.0f, 6}, {StatusHp::kClient, 100.0f, 10}, {StatusHp::kClient, 0.0f, 0},
        {StatusHp::kClient, 0.5f, 1},  {StatusHp::kPhone, 55.0f, 3},   {StatusHp::kPhone, 50.0f, 2},
        {StatusHp::kPhone, 100.0f, 5}, {StatusHp::kPhone, -3.0f, 0},   {StatusHp::kWorker, 19.0f, 2},
        {StatusHp::kClient, std::nanf(""), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StatusHp::SegmentCount(c.kind, c.value), c.segments) << c.kind << " " << c.value;
}

// An indicator whose name gives no owner stays hidden, even when a level's
// command shows it.
TEST(StatusIndicators, WithoutOwnerStayHidden) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string("<object name='client05'/>"));
    StatusHp bar;
    StatusBubble bubble;
    for (Item* item : {static_cast<Item*>(&bar), static_cast<Item*>(&bubble)}) {
        item->Load(doc.child("object"));
        item->OnCommand(doc.child("object"));
        item->Update();
        EXPECT_FALSE(item->IsActive());
        EXPECT_FALSE(item->IsVisible());
    }
    EXPECT_EQ(bar.GetOwnerKind(), StatusHp::kNone);
}

TEST(StatusBubble, ShapesTimersAndProductCodes) {
    struct Shape {
        StatusHp::OwnerKind kind;
        bool lastOrder;
        const char* icon;
        const char* shape;
    };
    const Shape shapes[] = {
        {StatusHp::kWorker, true, "sleep", "cloud"},   {StatusHp::kWorker, true, "timer", "cloud"},
        {StatusHp::kWorker, true, "coffee", "right"},  {StatusHp::kWorker, true, "snore", "aggro"},
        {StatusHp::kWorker, false, "0201", "right"},   {StatusHp::kClient, true, "scandal", "aggro"},
        {StatusHp::kClient, false, "scandal", "aggro"}, {StatusHp::kClient, false, "0201", "multi_right"},
        {StatusHp::kClient, true, "0201", "right"},    {StatusHp::kPhone, false, "lady", "right"},
    };
    for (const Shape& c : shapes)
        EXPECT_STREQ(StatusBubble::BubbleShape(c.kind, c.lastOrder, c.icon), c.shape) << c.kind << " " << c.icon;

    struct Timer {
        float left;
        const char* anim;
    };
    const Timer timers[] = {{1.0f, "timer00"}, {0.7f, "timer01"}, {0.5f, "timer02"},
                            {0.3f, "timer03"}, {0.1f, "timer04"}, {0.0f, "timer"}};
    for (const Timer& c : timers) EXPECT_EQ(StatusBubble::TimerAnim(c.left), c.anim) << c.left;

    struct Code {
        const char* code;
        bool order;
        const char* first;
        const char* second;
    };
    const Code codes[] = {
        {"0101", true, "0101", ""}, {"0304", true, "0104", "0300"}, {"0203", true, "0103", "0200"},
        {"0001", true, "0101", "0000"}, {"020", false, "", ""},     {"", false, "", ""},
        {"0x0y", false, "", ""},     {"1203", false, "", ""},
    };
    for (const Code& c : codes) {
        std::string first, second;
        EXPECT_EQ(StatusBubble::ProductAnims(c.code, first, second), c.order) << c.code;
        if (!c.order) continue;
        EXPECT_EQ(first, c.first) << c.code;
        EXPECT_EQ(second, c.second) << c.code;
    }
}

// Whatever the icon, it is drawn inside its bubble: a break's countdown moves
// the cloud to the empty chair and the clock with it.
TEST(StatusBubble, IconStaysInsideItsBubble) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string("<object name='worker02a'>"
                                "<part name='status_bubble' offs_x='56' offs_y='-44'/>"
                                "<part name='status_type' offs_x='63' offs_y='-37'/></object>"));
    StatusBubble bubble;
    bubble.LoadFromConfig(doc.child("object"));
    Skin* shape = bubble.FindPartByName("status_bubble");
    Skin* type = bubble.FindPartByName("status_type");
    ASSERT_TRUE(shape && type);
    struct Case {
        const char* icon;
        bool moved;  // the pair moves away from the worker's own place
    } cases[] = {{"timer", true}, {"sleep", false}, {"timer", true}, {"coffee", false}};
    for (const Case& c : cases) {
        bubble.ShowIcon(false, c.icon);
        const int shapeX = shape->GetOffset().mX + shape->EffectOffset().x;
        const int shapeY = shape->GetOffset().mY + shape->EffectOffset().y;
        EXPECT_EQ(type->GetOffset().mX + type->EffectOffset().x - shapeX, 7) << c.icon;
        EXPECT_EQ(type->GetOffset().mY + type->EffectOffset().y - shapeY, 7) << c.icon;
        EXPECT_EQ(shapeX != 56 || shapeY != -44, c.moved) << c.icon;
    }
}

// The client's bubble shows "ready", then the order on the product parts,
// lights it up while the boss carries it, and shakes in a scandal.
TEST_F(ClientTest, BubbleShowsTheClientsWishes) {
    StatusBubble* bubble = nullptr;
    for (Item* item : gObjects) {
        if (item->GetName() == "client03" && dynamic_cast<StatusBubble*>(item))
            bubble = static_cast<StatusBubble*>(item);
    }
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->GetOwnerKind(), StatusHp::kClient);
    Skin* shape = bubble->FindPartByName("status_bubble");
    Skin* type = bubble->FindPartByName("status_type");
    Skin* product1 = bubble->FindPartByName("status_production", 0);
    Skin* product2 = bubble->FindPartByName("status_production", 1);
    ASSERT_TRUE(shape && type && product1 && product2);
    bubble->Update();
    EXPECT_FALSE(bubble->IsActive());

    ASSERT_TRUE(first->Spawn("student", false, 2, {"0203", "0101"}));
    first->Update();
    Run(0.05f, {bubble});
    EXPECT_TRUE(bubble->IsActive());
    EXPECT_EQ(bubble->GetCurrentIcon(), "ready");
    EXPECT_EQ(shape->GetAnimName(), "multi_right");
    EXPECT_EQ(type->GetAnimName(), "ready");
    EXPECT_TRUE(type->GetPlayer()->IsPlaying());

    int value = 0;
    ASSERT_TRUE(Visit(first, boss, value));
    Run(0.05f, {bubble});
    EXPECT_FALSE(bubble->IsActive()) << "hidden while the client decides";
    Run(gClientDefs.at("student").client_decision_timeout + 0.02f, {first, bubble});
    Run(0.05f, {first, bubble});
    ASSERT_EQ(first->GetState(), Client::kServing);
    EXPECT_EQ(bubble->GetCurrentIcon(), "0203");
    EXPECT_EQ(product1->GetAnimName(), "0103");
    EXPECT_EQ(product2->GetAnimName(), "0200");
    EXPECT_FALSE(type->GetPlayer()->IsPlaying());

    EXPECT_FALSE(first->GetFlag2());
    boss->SetStateKey("0203");
    EXPECT_TRUE(first->GetFlag2());
    bubble->Update();
    EXPECT_TRUE(bubble->IsEventEnabled("product_highlight")) << "lit while the boss carries it";
    boss->SetStateKey("");
    bubble->Update();
    EXPECT_FALSE(bubble->IsEventEnabled("product_highlight"));

    first->AddPatience(-95.0f);
    Run(0.05f, {first, bubble});
    EXPECT_EQ(bubble->GetCurrentIcon(), "scandal");
    EXPECT_EQ(shape->GetAnimName(), "aggro");
    EXPECT_EQ(type->GetAnimName(), "scandal");
}

} // namespace

namespace {

// Every name the clients and their indicators play on the sample data has a
// record: moods of every client, icons, bubble shapes and both product halves
// of every order code the sample levels give; the reactions a client waits
// for end (one-shots of two frames or more); hiding ends hidden.
TEST_F(ClientTest, SampleArtCoversEveryNameTheyPlay) {
    auto find = [](Item* item, const char* part, const std::string& text) -> const AnimRecord* {
        Skin* skin = item->FindPartByName(part);
        return skin ? skin->GetPlayer()->FindRecord(skin->GetName() + text) : nullptr;
    };
    StatusBubble* bubble = nullptr;
    StatusHp* bar = nullptr;
    for (Item* item : gObjects) {
        if (item->GetName() != "client03") continue;
        if (auto* b = dynamic_cast<StatusBubble*>(item)) bubble = b;
        if (auto* h = dynamic_cast<StatusHp*>(item)) bar = h;
    }
    ASSERT_TRUE(bubble && bar);
    EXPECT_NE(find(bar, "status_hp", "point"), nullptr);
    EXPECT_NE(find(bar, "status_hp_back", "idle"), nullptr);
    for (const char* shape : {"right", "multi_right", "aggro", "cloud"})
        EXPECT_NE(find(bubble, "status_bubble", shape), nullptr) << shape;

    std::vector<std::string> icons = {"ready", "scandal", "timer", "timer00", "timer01", "timer02", "timer03", "timer04"};
    for (const auto& [name, def] : gClientDefs) {
        icons.push_back(name);
        for (int mood = 0; mood < kClientMoodAnimCount; ++mood) {
            const AnimRecord* record = find(first, "client", name + ClientMoodAnimNames[mood]);
            ASSERT_NE(record, nullptr) << name << " " << ClientMoodAnimNames[mood];
            if (mood < Client::kMoodPresentation) continue;
            EXPECT_NE(record->block.mode, 0) << name << " " << ClientMoodAnimNames[mood];
            EXPECT_GE(record->block.frameCount, 2) << name << " " << ClientMoodAnimNames[mood];
        }
    }
    for (const std::string& icon : icons) EXPECT_NE(find(bubble, "status_type", icon), nullptr) << icon;

    std::vector<std::string> files;
    for (int i = 1; i <= 3; ++i) files.push_back("cfg\\endless" + std::to_string(i) + ".xml");
    for (int i = 1; i <= 2; ++i) files.push_back("cfg\\l" + std::to_string(i) + ".xml");
    int codes = 0;
    for (const std::string& file : files) {
        std::unique_ptr<XmlDocument> doc;
        ASSERT_TRUE(XmlLoadDocument(doc, file)) << file;
        for (const char* path : {"//orders/order/@name", "//order_list/orders/@order"}) {
            for (const pugi::xpath_node& node : doc->select_nodes(path)) {
                const std::string code = node.attribute().value();
                std::string half1, half2;
                ASSERT_TRUE(StatusBubble::ProductAnims(code, half1, half2)) << file << ": " << code;
                EXPECT_NE(find(bubble, "status_production", half1), nullptr) << code;
                if (!half2.empty()) {
                    EXPECT_NE(find(bubble, "status_production", half2), nullptr) << code;
                }
                ++codes;
            }
        }
    }
    EXPECT_GT(codes, 10);

    // Payments and the chain's bonuses pop up at a client.
    ASSERT_NE(gBonusObject, nullptr);
    gBonusObject->SetActive(true);
    first->Pay(30.0f);
    gBonusObject->Show(ItemBonus::kBonus, first, 10, u"rush");
    for (const char* kind : {"cash", "bonus"}) {
        bool shown = false;
        for (const auto& part : gBonusObject->GetParts())
            shown = shown || (part->GetName() == kind && part->GetVisibleFlag());
        EXPECT_TRUE(shown) << kind;
    }

    // Hiding ends hidden, so that a slot frees and a bubble stops drawing.
    int hidden = 0;
    for (Item* item : std::vector<Item*>(gObjects)) {
        if (!dynamic_cast<Client*>(item) && !dynamic_cast<StatusBubble*>(item)) continue;
        ASSERT_NE(item->GetScript(), nullptr) << item->GetName();
        item->SetVisibleFlag(true);
        item->SetVisible(false);
        Run(1.0f, {item});
        EXPECT_FALSE(item->IsVisible()) << item->GetName();
        ++hidden;
    }
    EXPECT_EQ(hidden, 2 * kClientSlotCount + 4) << "eight clients, their bubbles, the phone's and the three workers'";
}

} // namespace
