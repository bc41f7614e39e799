#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/office/client_slots.h"
#include "game/office/engineer.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/secretary.h"
#include "tests/game/office/people_test_util.h"
#include "tests/support/fake_slot_client.h"

namespace {

// Survival level 1: the secretary, the engineer and their machines.
class AssistantsTest : public peopletest::PeopleTest {
protected:
    void StartApp() override {
        PeopleTest::StartApp();
        LoadSurvival(testsupport::kBusySurvivalLevel);
        secretary = gSecretary;
        engineer = gEngineer;
        ASSERT_TRUE(secretary && engineer && gCoffeeMachine && gPresentationPlace && gAirConditioner);
        client = FindObject("client_place03");
        ASSERT_NE(client, nullptr);
    }
    Secretary* secretary = nullptr;
    Engineer* engineer = nullptr;
    Item* client = nullptr;
};

TEST_F(AssistantsTest, SecretaryTakesACupAtTheMachineOnlyForAClient) {
    struct Case {
        const char* what;
        const char* standsAt;
        const char* queued;
        bool machine;           // the office has its coffee machine
        bool cup;
    };
    const Case cases[] = {
        {"a client queued at the machine", "coffeemachine", "client_place03", true, true},
        {"queued at home", "secretary_home", "client_place03", true, false},
        {"not a client", "coffeemachine", "presentation_place", true, false},
        {"no machine in the office", "coffeemachine", "client_place03", false, false},
    };
    for (const Case& c : cases) {
        secretary->SetActive(true);
        secretary->SetStateKey("");
        secretary->PlaceAt(c.standsAt);
        gCoffeeMachine->SetReady(true);
        PeriodItem* machine = gCoffeeMachine;
        if (!c.machine) gCoffeeMachine = nullptr;
        secretary->QueueTarget(FindObject(c.queued));
        gCoffeeMachine = machine;
        EXPECT_EQ(secretary->CarriesCup(), c.cup) << c.what;
        EXPECT_EQ(machine->IsReady(), !c.cup) << c.what << ": the machine reloads after a cup";
        EXPECT_EQ(secretary->GetTargets().size(), 1u) << c.what << ": queued all the same";
    }
}

TEST_F(AssistantsTest, SecretaryBringsCoffeeOrWaitsAtTheMachine) {
    for (bool clientNext : {true, false}) {
        secretary->SetActive(true);
        gCoffeeMachine->SetReady(true);
        secretary->QueueTarget(gCoffeeMachine);
        if (clientNext) secretary->QueueTarget(client);
        std::vector<int> states;
        bool carried = false;
        Run(40.0f, {secretary}, [&] {
            if (states.empty() || states.back() != secretary->GetDisplayState())
                states.push_back(secretary->GetDisplayState());
            carried = carried || secretary->CarriesCup();
            return secretary->GetTargets().empty() && !secretary->IsBusy() && states.back() == Secretary::kIdle &&
                   states.size() > 1;
        });
        EXPECT_TRUE(secretary->GetTargets().empty());
        EXPECT_FALSE(secretary->ReturnsHome()) << "the machine keeps her until a target is dropped";
        if (clientNext) {
            EXPECT_TRUE(carried);
            EXPECT_FALSE(secretary->CarriesCup()) << "the cup went to the client";
            EXPECT_EQ(secretary->GetCurrentPoint(), "client_place03");
            // Moving, the cup picked up on arrival, moving with it, handed over.
            EXPECT_EQ(states, (std::vector<int>{0, 1, 2, 1, 0}));
        } else {
            EXPECT_FALSE(carried) << "no client behind the machine: no cup";
            EXPECT_EQ(secretary->GetCurrentPoint(), "coffeemachine") << "she stays at the machine";
        }
        secretary->ExchangeTarget(nullptr);
        EXPECT_TRUE(secretary->ReturnsHome()) << "a dropped target sends her home";
        Run(40.0f, {secretary}, [&] { return secretary->IsAtHome() && !secretary->IsBusy(); });
        Tick({secretary});
        EXPECT_TRUE(secretary->IsAtHome());
        EXPECT_EQ(secretary->GetAnimName(), "secretary_idle");
    }
}

TEST_F(AssistantsTest, PresentationReachesTheClientsWhenItEnds) {
    gGameParams.presentation_timeout = 4.0f;
    testsupport::FakeSlotClient listener("client01", 0), caller("client02", 1);
    listener.Spawn("lady", false, 0, {});
    caller.Spawn("lady", true, 1, {});
    secretary->SetActive(true);
    secretary->PlaceAt("presentation_place");
    gPresentationPlace->SetReady(true);
    secretary->QueueTarget(gPresentationPlace);
    Tick({secretary});
    EXPECT_EQ(secretary->GetDisplayState(), Secretary::kPresenting);
    EXPECT_EQ(secretary->GetAnimName(), "secretary_presentation");
    Run(3.97f, {secretary});
    EXPECT_EQ(listener.presentations, 0);
    Run(0.03f, {secretary}, [&] { return !secretary->IsWaiting(); });
    EXPECT_EQ(listener.presentations, 1) << "after the presentation time, to the step";
    EXPECT_EQ(caller.presentations, 0) << "a caller on the phone hears nothing";
    Tick({secretary});
    EXPECT_EQ(secretary->GetDisplayState(), Secretary::kIdle);
    Tick({secretary});
    EXPECT_EQ(secretary->GetDisplayState(), Secretary::kMovingEmpty) << "on her way home";
}

TEST_F(AssistantsTest, EngineerRepairsForFiveSecondsAndHidesAtHome) {
    engineer->SetActive(true);
    Tick({engineer});
    EXPECT_FALSE(engineer->IsVisible()) << "idle at home";

    gAirConditioner->SetReady(true);
    // As the level hands it over: the door's target is dropped for the device.
    engineer->ExchangeTarget(FindObject("door03"));
    engineer->QueueTarget(gAirConditioner);
    Tick({engineer});
    engineer->ExchangeTarget(nullptr);
    EXPECT_TRUE(engineer->IsVisible());
    EXPECT_EQ(engineer->GetAnimName(), "engineer_move");
    Run(30.0f, {engineer}, [&] { return engineer->IsWaiting(); });
    ASSERT_TRUE(engineer->IsWaiting()) << "reached the device";
    EXPECT_EQ(engineer->GetAnimName(), "engineer_repair");
    EXPECT_FALSE(gAirConditioner->IsReady()) << "repaired: the next breakdown is rolled";
    Run(4.97f, {engineer});
    EXPECT_TRUE(engineer->IsWaiting());
    Run(0.03f, {engineer}, [&] { return !engineer->IsWaiting(); });
    EXPECT_FALSE(engineer->IsWaiting());
    EXPECT_EQ(engineer->GetAnimName(), "engineer_idle");

    Run(30.0f, {engineer}, [&] { return engineer->IsAtHome() && !engineer->IsBusy(); });
    Tick({engineer});
    EXPECT_FALSE(engineer->IsVisible()) << "home again and hidden";
}

} // namespace
