#include "game/office/boss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "game/app/sound.h"
#include "game/office/anim_player.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"
#include "game/office/worker.h"
#include "game/office/z_order.h"
#include "tests/game/office/people_test_util.h"
#include "tests/support/recording_sounds.h"

namespace {

using peopletest::PeopleTest;

// What the boss told the chain, in order: 0 broken, 1 advanced.
std::vector<int> ChainOf(const testsupport::RecordingBonus& bonus, const Item* boss) {
    std::vector<int> kinds;
    for (const auto& [kind, object] : bonus.actions) {
        if (object == boss) kinds.push_back(kind);
    }
    return kinds;
}

// Index of a skin in a draw order, -1 when absent.
int IndexIn(const std::vector<Skin*>& order, const Skin* skin) {
    auto it = std::find(order.begin(), order.end(), skin);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

class BossTest : public PeopleTest {
protected:
    void StartApp() override {
        PeopleTest::StartApp();
        LoadSurvival(testsupport::kBusySurvivalLevel);
        boss = gBoss;
        ASSERT_NE(boss, nullptr);
    }
    // Stands the boss at a point with the given hands.
    void StandAt(const char* point, const char* carries) {
        boss->SetActive(true);
        boss->PlaceAt(point);
        boss->SetStateKey(carries);
    }
    Boss* boss = nullptr;
};

TEST_F(BossTest, EachObjectDecidesWhatTheBossDoes) {
    struct Case {
        const char* what;
        const char* target;     // the object queued (a table or a place reaches its owner)
        const char* carries;
        int value;              // what the other side leaves before the boss answers
        bool accepted;
        const char* carriesAfter;
        std::vector<int> chain;  // both phases of a breaking object break it
        int waitCode;           // -1: no wait
        const char* anim;
        const char* sound;      // played by the boss, or null
    };
    const Case cases[] = {
        {"a paper from the shelving", "shelving01", "", 0, true, "0001", {1}, -1, "boss_idle_full", nullptr},
        {"the shelving with full hands", "shelving01", "0201", 0, false, "0201", {0}, -1, nullptr, nullptr},
        {"a paper to an idle worker", "table02a", "0001", 0, true, "", {}, -1, "boss_idle_empty", nullptr},
        {"money to a working worker", "table02a", "money", 1, true, "", {}, -1, "boss_idle_empty", nullptr},
        {"money to a worker on a break", "table02a", "money", 5, false, "money", {}, -1, nullptr, nullptr},
        {"a sleeping worker with money", "table02a", "money", 6, true, "money", {}, 0, "boss_reproach", "wake_up"},
        {"a sleeping worker", "table02a", "", 6, true, "", {}, 0, "boss_reproach", "wake_up"},
        {"a worker who wants a break", "table02a", "0201", 4, true, "0201", {}, 0, "boss_reproach", "wake_up"},
        {"the bin", "trash_bin", "0201", 0, true, "", {0, 0}, -1, "boss_idle_empty", nullptr},
        {"a client who took the order", "client_place03", "0201", 1, true, "", {}, -1, "boss_idle_empty", nullptr},
        {"a client who took nothing", "client_place03", "0201", 0, true, "0201", {}, -1, "boss_idle_full", nullptr},
        {"money from the safe", "safe", "", 0, true, "money", {0, 0}, -1, "boss_idle_full", "boss_take_money"},
        {"the safe with full hands", "safe", "0001", 0, false, "0001", {0}, -1, nullptr, nullptr},
        {"a conference", "conference_place", "", 0, true, "", {0, 0}, Boss::kConferenceEnded, "boss_conference",
         "boss_conference"},
        {"a drink", "cupboard", "", 0, true, "", {0, 0}, 0, "boss_drink", nullptr},
        {"a ringing phone", "phone", "", 0, true, "", {1}, Boss::kCallEnded, "boss_phone", nullptr},
        {"a silent phone", "phone", "", -2, false, "", {0}, -1, nullptr, nullptr},
        {"a plant", "plant1", "", 0, false, "", {}, -1, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        Item* target = FindObject(c.target);
        ASSERT_NE(target, nullptr) << c.what;
        Item* owner = target->FindOwner();
        owner->SetStateKey(c.target == std::string("shelving01") ? "0001" : c.target == std::string("safe") ? "money" : "");
        if (gPhone) c.value == -2 ? gPhone->StopRinging() : gPhone->Ring(nullptr);
        StandAt(c.target, c.carries);
        boss->SetOrientation("tr", false);
        bonus.actions.clear();
        tutorial.events.clear();
        testsupport::RecordingSounds sounds;
        int value = c.value < 0 ? 0 : c.value;
        const bool accepted = boss->Interact(target, 1, value);
        EXPECT_EQ(accepted, c.accepted) << c.what;
        if (accepted) boss->Interact(target, 0, value);
        EXPECT_EQ(boss->GetStateKey(), c.carriesAfter) << c.what;
        EXPECT_EQ(ChainOf(bonus, boss), c.chain) << c.what;
        EXPECT_EQ(boss->IsWaiting() ? boss->GetWaitCode() : -1, c.waitCode) << c.what;
        if (c.anim) {
            EXPECT_EQ(boss->GetAnimName(), c.anim) << c.what;
        }
        for (const char* name : {"wake_up", "boss_take_money", "boss_conference"})
            EXPECT_EQ(sounds.Count(name), c.sound && std::string(c.sound) == name ? 1 : 0) << c.what << ": " << name;
        const bool shelved = c.accepted && std::string(c.target) == "shelving01";
        EXPECT_EQ(tutorial.events, shelved ? std::vector<int>{Boss::kEventShelving} : std::vector<int>{}) << c.what;
        if (c.waitCode >= 0) {
            EXPECT_EQ(boss->GetOrientation(), boss->GetWalkOrientation()) << c.what << ": faces his walk";
        }
    }
}

TEST_F(BossTest, RefusalsDropTheQueueAndResetTheChain) {
    struct Case {
        const char* what;
        const char* carries;
        bool ringing;
    };
    const Case cases[] = {
        {"the shelving while carrying", "0201", false},
        {"the phone after it stopped ringing", "", false},
    };
    Pickable* shelving = dynamic_cast<Pickable*>(FindObject("shelving01"));
    ASSERT_NE(shelving, nullptr);
    ASSERT_NE(gPhone, nullptr);
    for (const Case& c : cases) {
        StandAt("boss_home", c.carries);
        Pickable* first = std::string(c.carries).empty() ? static_cast<Pickable*>(gPhone) : shelving;
        Pickable* second = dynamic_cast<Pickable*>(FindObject("trash_bin"));
        first->OnClick();
        boss->QueueTarget(first);
        boss->QueueTarget(second);
        ASSERT_EQ(boss->GetTargets().size(), 2u) << c.what;
        bonus.actions.clear();
        Run(30.0f, {boss}, [&] { return boss->GetTargets().empty(); });
        EXPECT_EQ(boss->GetCurrentPoint(), first->GetName()) << c.what << ": walked there";
        EXPECT_TRUE(boss->GetTargets().empty()) << c.what << ": the whole queue goes";
        EXPECT_EQ(ChainOf(bonus, boss), std::vector<int>{0}) << c.what;
        EXPECT_EQ(first->GetClicks(), 0) << c.what;
        EXPECT_FALSE(second->IsQueueSignShown(0)) << c.what;
        EXPECT_EQ(boss->GetStateKey(), c.carries) << c.what << ": hands unchanged";
    }
}

TEST_F(BossTest, ConferenceAndDrinkTimings) {
    gGameParams.boss_conference_timeout = 5.0f;
    gGameParams.boss_move_speed = 160.0f;
    gGameParams.boss_move_speed_mod = 1.5f;
    gGameParams.boss_move_speed_mod_timeout = 4.0f;
    PeriodItem* place = gConferencePlace;
    ASSERT_NE(place, nullptr);
    Worker* worker = dynamic_cast<Worker*>(FindObject("worker02a"));
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(worker->IsVisible());
    worker->AddStamina(-200.0f);
    ASSERT_EQ(worker->GetState(), 6) << "asleep";

    StandAt("conference_place", "");
    place->SetReady(true);
    boss->QueueTarget(place);
    Tick({boss});
    ASSERT_TRUE(boss->IsWaiting());
    EXPECT_EQ(boss->GetAnimName(), "boss_conference");
    SoundInstance* sound = boss->GetConferenceSound();
    ASSERT_NE(sound, nullptr) << "the sample has the sound";
    EXPECT_TRUE(sound->IsPlaying());
    // Five seconds to the step: the step that started it counted the first 10 ms.
    Run(4.97f, {boss});
    EXPECT_TRUE(boss->IsWaiting()) << "not over before five seconds";
    Run(0.03f, {boss}, [&] { return !boss->IsWaiting(); });
    EXPECT_FALSE(boss->IsWaiting());
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(boss->GetAnimName(), "boss_idle_empty");
    EXPECT_EQ(boss->GetOrientation(), "b");
    EXPECT_NE(worker->GetState(), 6) << "the conference woke the worker";
    EXPECT_GT(worker->GetProtectTime(), 0.0f);

    // The drink waits for its animation, then speeds the boss up for the bonus time.
    StandAt("cupboard", "");
    gCupboard->SetReady(true);
    boss->QueueTarget(gCupboard);
    Tick({boss});
    ASSERT_EQ(boss->GetAnimName(), "boss_drink");
    const float drink = boss->GetWaitTime();
    EXPECT_GT(drink, 0.1f) << "a one-shot of several frames";
    EXPECT_EQ(boss->GetMoveSpeed(), 160.0f);
    Run(drink + 0.05f, {boss});
    EXPECT_EQ(boss->GetAnimName(), "boss_idle_empty");
    EXPECT_EQ(boss->GetMoveSpeed(), 240.0f);
    Run(3.9f, {boss});
    EXPECT_EQ(boss->GetMoveSpeed(), 240.0f);
    Run(0.2f, {boss});
    EXPECT_EQ(boss->GetMoveSpeed(), 160.0f) << "the bonus lasts four seconds of frame time";
}

TEST_F(BossTest, CarriedThingsShowOnTheHeldParts) {
    struct Case {
        const char* what;
        int heldParts;          // the sample's one, or a second one added
        const char* code;
        const char* orientation;
        const char* front;      // held part 0, null when hidden
        const char* back;       // held part 1, null when hidden
        bool behind;            // drawn before the boss (else after)
        const char* heldFacing; // the held parts' own orientation, from the person definition
    };
    const Case cases[] = {
        {"a code on the one held part", 1, "0401", "b", "0401", nullptr, true, "br"},
        {"money, sideways", 1, "money", "mr", "money", nullptr, true, "mbr"},
        {"empty hands", 1, "", "b", nullptr, nullptr, true, nullptr},
        {"0201 facing the viewer", 2, "0201", "b", "0101", "0001", true, "br"},
        {"0201 walking away", 2, "0201", "mtr", "0101", "0001", false, "mtr"},
        {"a code of the second layer", 2, "0101", "br", "0101", nullptr, true, "br"},
        {"the bare code 0", 2, "0", "b", "0", nullptr, true, "br"},
    };
    Skin* held0 = boss->GetHeldPart(0);
    Skin* body = boss->GetOwnPart();
    ASSERT_TRUE(held0 && body);
    ASSERT_EQ(boss->GetHeldPart(1), nullptr) << "the sample boss shows a code as it is";
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<object name=\"boss\"><part name=\"held_items\" order0_x=\"380\" order0_y=\"562\" "
                                "order1_x=\"400\" order1_y=\"562\" order2_x=\"420\" order2_y=\"562\"/></object>"));
    ZOrder& zorder = *gZOrder;
    for (const Case& c : cases) {
        if (c.heldParts == 2 && boss->GetHeldPart(1) == nullptr) {
            boss->AddPart(doc.child("object").child("part"));
            boss->OnCommand(doc.child("object"));
            held0 = boss->GetHeldPart(0);
            ASSERT_NE(boss->GetHeldPart(1), nullptr);
        }
        Skin* held1 = boss->GetHeldPart(1);
        StandAt("boss_home", c.code);
        boss->SetOrientation(c.orientation, false);
        boss->UpdateHeldItems();
        EXPECT_EQ(held0->GetVisibleFlag(), c.front != nullptr) << c.what;
        if (held1) {
            EXPECT_EQ(held1->GetVisibleFlag(), c.back != nullptr) << c.what;
        }
        if (c.front) {
            EXPECT_EQ(held0->GetAnimName(), c.front) << c.what;
        }
        if (c.heldFacing) {
            EXPECT_EQ((held0->IsMirrored() ? "m" : "") + held0->GetOrientation(), c.heldFacing) << c.what;
            EXPECT_TRUE(held0->GetPlayer()->IsPlayingOrPaused()) << c.what;
        }
        if (c.back) {
            EXPECT_EQ(held1->GetAnimName(), c.back) << c.what;
        }
        // Two draws without an update between them show the same.
        for (int draw = 0; draw < 2; ++draw) {
            const std::vector<Skin*>& order = zorder.GetDrawOrder();
            const int at = IndexIn(order, body);
            ASSERT_GE(at, 0) << c.what;
            if (!c.front) {
                EXPECT_EQ(IndexIn(order, held0), -1) << c.what;
            } else if (c.behind) {
                EXPECT_EQ(IndexIn(order, held0), at - 1) << c.what << ", draw " << draw;
                if (c.back) {
                    EXPECT_EQ(IndexIn(order, held1), at - 2) << c.what << ", draw " << draw;
                }
            } else {
                EXPECT_EQ(IndexIn(order, held0), at + 1) << c.what << ", draw " << draw;
            }
        }
    }
    StandAt("boss_home", "0201");
    boss->SetWait(1.0f, 0);
    boss->UpdateHeldItems();
    EXPECT_FALSE(held0->GetVisibleFlag()) << "nothing shows while he waits";
    EXPECT_FALSE(boss->GetHeldPart(1)->GetVisibleFlag());
}

TEST_F(BossTest, SoundsEndWithTheBossAndWalksStartTheirLook) {
    SoundInstance* conference = boss->GetConferenceSound();
    SoundInstance* steps = boss->GetStepsSound();
    ASSERT_TRUE(conference && steps);
    for (const char* how : {"deactivation", "reset"}) {
        StandAt("boss_home", "money");
        boss->QueueTarget(gSafe);
        Tick({boss});
        ASSERT_TRUE(boss->IsWalking()) << how;
        Tick({boss});
        EXPECT_TRUE(steps->IsPlaying()) << how;
        EXPECT_EQ(boss->GetAnimName(), "boss_move_full") << how;
        conference->Play();
        if (std::string(how) == "reset") {
            boss->Reset();
            EXPECT_TRUE(boss->GetStateKey().empty());
        } else {
            boss->SetActive(false);
            EXPECT_EQ(boss->GetSpeedBonusTime(), -1.0f);
        }
        EXPECT_FALSE(steps->IsPlaying()) << how;
        EXPECT_FALSE(conference->IsPlaying()) << how;
    }
}

TEST_F(BossTest, AnsweredCallReachesTheCallerAndAMissingPhoneIsSkipped) {
    StandAt("phone", "");
    gPhone->Ring(nullptr);
    boss->QueueTarget(gPhone);
    Tick({boss});
    ASSERT_TRUE(boss->IsWaiting());
    EXPECT_FALSE(gPhone->IsRinging());
    EXPECT_TRUE(gPhone->IsAnswered());
    Run(3.0f, {boss});
    EXPECT_FALSE(boss->IsWaiting());
    EXPECT_EQ(boss->GetAnimName(), "boss_idle_empty");

    Phone* phone = gPhone;
    gPhone = nullptr;
    boss->OnNotify(Boss::kCallEnded);
    gPhone = phone;
    EXPECT_EQ(boss->GetAnimName(), "boss_idle_empty");
}

// What the persons' classes play and carry is in the sample: every look for
// every facing, the one-shots they wait on, the held layers of every code the
// sample hands the boss, and his sounds.
TEST_F(BossTest, SampleHasWhatThePersonsPlay) {
    const std::vector<std::string> walking = {"t", "tr", "r", "br", "b", "tl", "bl"};
    // The held parts' own facings, from every facing of both boss kinds.
    std::set<std::string> heldFacings;
    for (const char* kind : {"boss:man", "boss:woman"}) {
        const PersDef* def = FindDef(gPersDefs, kind);
        ASSERT_NE(def, nullptr) << kind;
        for (const char* key : {"t", "tr", "r", "br", "b", "bl", "l", "tl"}) {
            const Orientation* entry = def->FindOrientation(key);
            ASSERT_NE(entry, nullptr) << kind << " " << key;
            const std::string& actual = entry->actual_orientation;
            heldFacings.insert(actual[0] == 'm' ? actual.substr(1) : actual);
        }
    }
    // The shelving's paper and what each worker of the level makes of it, in layers.
    Item* shelving = FindObject("shelving01");
    ASSERT_NE(shelving, nullptr);
    std::set<std::string> held = {"money", "coffe_cup"};
    std::vector<std::string> codes = {shelving->GetStateKey()};
    for (Worker* worker : gWorkers) {
        const std::string product = worker->ProductOf(shelving->GetStateKey());
        if (!product.empty()) codes.push_back(product);
    }
    EXPECT_GE(codes.size(), 4u) << "the paper and three products";
    for (const std::string& code : codes) {
        if (code[1] != '1') held.insert("00" + code.substr(2));
        held.insert("01" + code.substr(2));
    }
    struct Case {
        const char* part;
        std::vector<std::string> skins;
        std::vector<std::string> facings;
        std::vector<std::string> anims;
        std::vector<std::string> once;   // one-shots of two or more frames
    };
    const Case cases[] = {
        {"boss", {"man", "woman"}, walking,
         {"boss_idle_empty", "boss_idle_full", "boss_move_empty", "boss_move_full", "boss_phone", "boss_conference",
          "boss_drink", "boss_reproach"},
         {"boss_drink", "boss_reproach", "boss_phone"}},
        {"secretary", {""}, walking,
         {"secretary_idle", "secretary_move_empty", "secretary_move_full", "secretary_presentation"}, {}},
        {"engineer", {""}, walking, {"engineer_idle", "engineer_move", "engineer_repair"}, {}},
        {"held_items", {""}, {heldFacings.begin(), heldFacings.end()}, {held.begin(), held.end()}, {}},
    };
    for (const Case& c : cases) {
        AnimPlayer player(nullptr);
        ASSERT_TRUE(player.Load(c.part)) << player.LastError();
        for (const std::string& skin : c.skins) {
            for (const std::string& facing : c.facings) {
                for (const std::string& anim : c.anims) {
                    const std::string key = c.part + skin + facing + anim;
                    const int index = player.FindIndex(key);
                    ASSERT_GE(index, 0) << key;
                    const AnimBlock& block = player.GetRecordAt(index)->block;
                    const bool once = std::find(c.once.begin(), c.once.end(), anim) != c.once.end();
                    if (once) {
                        EXPECT_TRUE(block.mode != 0 && block.frameCount >= 2) << key;
                    }
                }
            }
        }
    }
    for (const char* name : {"boss_conference", "boss_steps", "boss_take_money", "wake_up"})
        EXPECT_TRUE(app->GetSoundManager()->HasSound(name)) << name;
}

} // namespace
