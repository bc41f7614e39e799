#include <gtest/gtest.h>
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/office/bin.h"
#include "game/office/client_slots.h"
#include "game/office/door.h"
#include "game/office/office.h"
#include "game/office/office_globals.h"
#include "game/office/period_item.h"
#include "game/office/person.h"
#include "game/office/phone.h"
#include "game/office/shelving.h"
#include "game/office/skin.h"
#include "platform/random.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/fake_slot_client.h"
#include "tests/support/temp_dirs.h"

namespace {

// A person of a chosen name carrying a chosen thing, with no walk of its own.
class Visitor : public Person {
public:
    Visitor(const char* name, const char* carries = "") : Person(false, false) {
        SetName(name);
        SetStateKey(carries);
    }
};

// The sample office, its objects made invisible and inactive as a day would find them.
class SampleItems : public ::testing::Test {
protected:
    void SetUp() override {
        PakSetGameDir(testsupport::SourceDir() + "/data");
        InstallGameFileAccess(true);
        ASSERT_TRUE(office.Load()) << office.LastError();
    }
    void TearDown() override { InstallGameFileAccess(false); }
    template <class T>
    T* Get(const char* name) {
        T* item = dynamic_cast<T*>(FindObject(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }
    static void Show(Item* item) {
        item->SetVisibleFlag(true);
        item->SetActive(true);
    }
    // Frame updates of dt seconds.
    static void Run(Item* item, float seconds, float dt = 0.25f) {
        officetest::FrameTime frame(dt);
        for (float t = 0; t < seconds - dt / 2; t += dt) item->Update();
    }
    Office office;
};

TEST_F(SampleItems, NamedItemsArePublishedByTheirClass) {
    EXPECT_EQ(gPhone, FindObject("phone"));
    EXPECT_EQ(gSafe, FindObject("safe"));
    EXPECT_EQ(gCoffeeMachine, FindObject("coffeemachine"));
    EXPECT_EQ(gAirConditioner, FindObject("air_conditioner"));
    EXPECT_EQ(gStereoSystem, FindObject("stereo_system"));
    EXPECT_EQ(gConferencePlace, FindObject("conference_place"));
    EXPECT_EQ(gCupboard, FindObject("cupboard"));
    EXPECT_EQ(gPresentationPlace, FindObject("presentation_place"));
    EXPECT_NE(dynamic_cast<Door*>(FindObject("door03")), nullptr);
    EXPECT_NE(dynamic_cast<Bin*>(FindObject("trash_bin")), nullptr);
    EXPECT_NE(dynamic_cast<Shelving*>(FindObject("shelving01")), nullptr);
}

TEST_F(SampleItems, ReloadCountsOnlyVisibleActiveTime) {
    struct Case {
        const char* what;
        bool visible;
        bool active;
        float seconds;
        bool ready;
    };
    const Case cases[] = {
        {"short of the timeout", true, true, 9.5f, false},
        {"at the timeout", true, true, 10.0f, true},
        {"hidden", false, true, 20.0f, false},
        {"inactive", true, false, 20.0f, false},
    };
    PeriodItem* safe = Get<PeriodItem>("safe");
    ASSERT_NE(safe, nullptr);
    gGameParams.safe_reload_timeout = 10.0f;  // the item reads the live value at its next roll
    for (const Case& c : cases) {
        safe->SetVisibleFlag(c.visible);
        safe->SetActive(true);
        if (!c.active) safe->SetActiveFlag(false);
        EXPECT_EQ(safe->GetTimeout(), 10.0f) << c.what;
        Run(safe, c.seconds);
        EXPECT_EQ(safe->IsReady(), c.ready) << c.what;
        EXPECT_EQ(safe->GetAnimName(), c.ready ? "activation" : "idle") << c.what;
    }
    Visitor boss("boss");
    int value = 0;
    safe->SetVisibleFlag(true);
    safe->SetActive(true);
    Run(safe, 10.0f);
    ASSERT_TRUE(safe->IsReady());
    EXPECT_TRUE(safe->Interact(&boss, 1, value));
    safe->Interact(&boss, 0, value);
    EXPECT_FALSE(safe->IsReady()) << "used: reloading again";
    Run(safe, 9.0f);
    EXPECT_FALSE(safe->IsReady());
    Run(safe, 1.0f);
    EXPECT_TRUE(safe->IsReady());
}

TEST_F(SampleItems, BreakdownsComeBetweenTheirBounds) {
    for (const char* name : {"air_conditioner", "stereo_system"}) {
        PeriodItem* device = Get<PeriodItem>(name);
        ASSERT_NE(device, nullptr);
        Show(device);
        platform::SeedRand(5);
        for (int i = 0; i < 10; ++i) {
            device->SetReady(false);
            EXPECT_GE(device->GetTimeout(), gGameParams.air_conditioner_timeout_min) << name;
            EXPECT_LE(device->GetTimeout(), gGameParams.air_conditioner_timeout_max) << name;
        }
    }
    PeriodItem* lamp = new PeriodItem();  // a name outside the table never reloads
    lamp->SetName("lamp");
    EXPECT_FALSE(lamp->HasReloadParams());
    delete lamp;
}

TEST_F(SampleItems, ItemsChooseWhomTheyServe) {
    struct Case {
        const char* what;
        const char* item;
        const char* person;
        const char* carries;
        bool ready;
        bool accepts;
    };
    const Case cases[] = {
        {"the boss at a ready coffee machine", "coffeemachine", "boss", "", true, true},
        {"the secretary", "coffeemachine", "secretary", "", true, true},
        {"a client is no one to serve", "coffeemachine", "client03", "", true, false},
        {"not ready", "coffeemachine", "boss", "", false, false},
        {"already carrying its thing", "coffeemachine", "boss", "coffee", true, false},
        {"carrying something else", "coffeemachine", "boss", "papers", true, true},
        {"the engineer at a broken stereo", "stereo_system", "engineer", "", true, true},
        {"the bin takes what the boss carries", "trash_bin", "boss", "papers", false, true},
        {"the bin has nothing to take", "trash_bin", "boss", "", false, false},
        {"only the boss empties into the bin", "trash_bin", "secretary", "papers", false, false},
        {"the shelving serves the boss", "shelving01", "boss", "", false, true},
        {"and no one else", "shelving01", "engineer", "", false, false},
        {"the phone is for the boss", "phone", "boss", "", false, true},
        {"only", "phone", "secretary", "", false, false},
    };
    for (const Case& c : cases) {
        Item* item = FindObject(c.item);
        ASSERT_NE(item, nullptr) << c.what;
        Show(item);
        if (auto* period = dynamic_cast<PeriodItem*>(item)) period->SetReady(c.ready);
        Visitor person(c.person, c.carries);
        int value = 0;
        EXPECT_EQ(item->Interact(&person, 1, value), c.accepts) << c.what;
    }
    Shelving* shelving = Get<Shelving>("shelving01");
    EXPECT_EQ(shelving->GetStateKey(), "papers") << "what the boss takes";
}

TEST_F(SampleItems, ManualDoorOpensForItsPersonAndClosesBehindIt) {
    Door* door = Get<Door>("door03");
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->GetDoorType(), Door::kManual);
    Visitor engineer("engineer");
    engineer.SetVisibleFlag(true);
    Show(door);
    ASSERT_EQ(door->GetTargets().size(), 1u);
    EXPECT_EQ(door->GetAnimName(), "idle");
    door->OpenByClick();
    EXPECT_EQ(door->GetAnimName(), "open");
    Run(door, 2.0f, 0.05f);
    EXPECT_TRUE(door->IsOpened()) << "the opening ran to its end";
    EXPECT_EQ(engineer.GetCurrentTarget(), door);
    Run(door, 0.5f, 0.05f);
    EXPECT_EQ(door->GetAnimName(), "open") << "stays open while the engineer is about";
    engineer.SetVisibleFlag(false);
    Run(door, 2.0f, 0.05f);
    EXPECT_FALSE(door->IsOpened());
    EXPECT_EQ(door->GetAnimName(), "idle") << "closed and back at rest";
}

TEST_F(SampleItems, PhoneRingsForItsCallerUntilAnsweredOrPutAway) {
    Phone* phone = Get<Phone>("phone");
    ASSERT_NE(phone, nullptr);
    Show(phone);
    testsupport::FakeSlotClient caller("client03");
    caller.Spawn("lady", true, 0, {});
    phone->Ring(&caller);
    EXPECT_TRUE(phone->IsRinging());
    EXPECT_TRUE(phone->IsShown());
    float value = 0;
    EXPECT_TRUE(phone->GetValue(value));
    EXPECT_EQ(value, 75.0f) << "the caller's countdown";
    bool last = false;
    std::string icon;
    EXPECT_TRUE(phone->GetIconName(last, icon));
    EXPECT_EQ(icon, "lady");
    EXPECT_FALSE(phone->IsAnswered());

    Visitor boss("boss");
    int v = 0;
    ASSERT_TRUE(phone->Interact(&boss, 1, v));
    phone->Interact(&boss, 0, v);
    EXPECT_TRUE(phone->IsAnswered()) << "the caller's countdown ends here";
    phone->StopRinging();
    phone->NotifyCaller();
    EXPECT_EQ(caller.answered, 1);
    EXPECT_FALSE(phone->IsShown());

    phone->Ring(&caller);
    EXPECT_FALSE(phone->IsAnswered()) << "a new call";
    phone->SetActive(false);
    EXPECT_FALSE(phone->IsRinging()) << "put away";
    EXPECT_EQ(phone->GetCaller(), nullptr);
}

} // namespace

namespace {

TEST(ClientSlots, FindIdleClientsAndReachThePresentTheOnesThere) {
    using testsupport::FakeSlotClient;
    FakeSlotClient calling("client01", 0), seated("client02", 1), idle("client03", 2), ignored("client10", 9);
    EXPECT_EQ(gClientSlotCount, 3) << "slot 9 does not exist";
    EXPECT_EQ(ClientSlots::Get(9), nullptr);
    EXPECT_FALSE(ClientSlots::AnyPresent());
    calling.Spawn("lady", true, 0, {});
    seated.Spawn("student", false, 1, {});
    EXPECT_EQ(ClientSlots::FindIdle(), 2);
    EXPECT_TRUE(ClientSlots::AnyPresent());
    EXPECT_EQ(ClientSlots::FindByName("client02"), &seated);
    EXPECT_EQ(ClientSlots::FindByName("client10"), nullptr);
    ClientSlots::UpdateAll();
    EXPECT_EQ(seated.presentations, 1);
    EXPECT_EQ(calling.presentations, 0) << "a caller is not in the office";
    EXPECT_EQ(idle.presentations, 0) << "not active";
    idle.SetVisibleFlag(true);
    EXPECT_EQ(ClientSlots::FindIdle(), -1) << "an idle client still shown is not free";
}

} // namespace
