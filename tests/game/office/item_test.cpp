#include <gtest/gtest.h>

#include <pugixml.hpp>
#include "game/app/game_util.h"
#include "game/office/pickable.h"
#include "platform/random.h"
#include "tests/game/office/office_test_util.h"

using officetest::FakeLevel;
using officetest::FrameTime;
using officetest::MakeRecord;

namespace {

// Loads an object element into item the way the office configuration does.
void LoadXml(Item& item, const std::string& xml) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str())) << xml;
    item.LoadFromConfig(doc.first_child());
}

std::string Box(const char* name, int x0, int y0, int x1, int y1, const char* extra = "") {
    return "<object name=\"" + std::string(name) + "\" rgn=\"" + std::to_string(x0) + " " + std::to_string(y0) + " " +
           std::to_string(x1) + " " + std::to_string(y0) + " " + std::to_string(x1) + " " + std::to_string(y1) +
           " " + std::to_string(x0) + " " + std::to_string(y1) + "\">" + extra + "</object>";
}

} // namespace

TEST(Item, ReadsTheWholeRegionInPairs) {
    std::string many;
    for (int i = 0; i < 40; ++i) many += std::to_string(100 + i) + " " + std::to_string(200 + i) + " ";
    struct Case {
        std::string rgn;
        size_t points;
        bool region;
    };
    const Case cases[] = {
        {"10 10 50 10 50 40 7", 3, true}, // the odd 7 is dropped
        {" 1\t2\n3   4 ", 2, true},
        {"5 5", 1, false},
        {"", 0, false},
        {many, 40, true}, // far beyond 128 characters
    };
    for (const Case& c : cases) {
        Item item;
        LoadXml(item, "<object name=\"desk\" rgn=\"" + c.rgn + "\"/>");
        EXPECT_EQ(item.GetRegionPoints().size(), c.points) << c.rgn;
        EXPECT_EQ(item.GetRegion() != nullptr, c.region) << c.rgn;
        if (c.points == 40) {
            EXPECT_EQ(item.GetRegionPoints().back().y, 239);
        }
    }
    Item item;
    LoadXml(item, "<object name=\"desk\" rgn=\"10 10 50 10 50 40 7\"/>");
    EXPECT_TRUE(item.HitTest(40, 15));
    EXPECT_FALSE(item.HitTest(15, 35));
    EXPECT_FALSE(item.HitTest(60, 15));
}

// An active, visible pick in front covers the object; picks that name each
// other end the test instead of recursing.
TEST(Item, PicksInFrontCoverTheObject) {
    struct Case {
        bool lampActive;
        bool lampVisible;
        bool lampPicksDesk;
        int x;
        int y;
        bool deskHit;
    };
    const Case cases[] = {
        {true, true, false, 20, 20, false}, {true, true, false, 50, 50, true}, {false, true, false, 20, 20, true},
        {true, false, false, 20, 20, true}, {true, true, true, 20, 20, false}, {true, true, true, 50, 50, true},
    };
    for (const Case& c : cases) {
        Item desk;
        Item lamp;
        LoadXml(desk, Box("desk", 0, 0, 100, 100, "<picks pick=\"lamp\"/><picks pick=\"\"/><picks pick=\"gone\"/>"));
        LoadXml(lamp, Box("lamp", 10, 10, 30, 30, c.lampPicksDesk ? "<picks pick=\"desk\"/>" : ""));
        desk.SetActive(true);
        lamp.SetActive(c.lampActive);
        lamp.SetVisibleFlag(c.lampVisible);
        EXPECT_EQ(desk.GetPicks().size(), 1u);
        EXPECT_EQ(desk.HitTest(c.x, c.y), c.deskHit)
            << c.lampActive << c.lampVisible << c.lampPicksDesk << " at " << c.x << "," << c.y;
    }
}

TEST(Item, TablesAndPlacesLeadToTheirOwners) {
    Item worker4, client1, table4, place1, table9, shelf;
    worker4.SetName("worker4");
    client1.SetName("client1");
    table4.SetName("table4");
    place1.SetName("client_place1");
    table9.SetName("table9");
    shelf.SetName("shelf");
    struct Case {
        Item* item;
        Item* owner;
    };
    for (const Case& c : {Case{&table4, &worker4}, Case{&place1, &client1}, Case{&table9, &table9},
                          Case{&shelf, &shelf}, Case{&worker4, &worker4}}) {
        EXPECT_EQ(c.item->FindOwner(), c.owner) << c.item->GetName();
        // An object with no owner but itself refuses instead of asking itself again.
        int value = 0;
        EXPECT_FALSE(c.item->Interact(&shelf, 1, value)) << c.item->GetName();
    }
}

// After the animation ends the parts wait a random 2..4 s (counted only while
// the object is shown and active) and go on from frame 5.
TEST(Item, RestartRuleResumesAfterARandomPause) {
    FrameTime step(0.1f);
    platform::SeedRand(1234);
    const float first = RandomFloatInRange(2.0f, 4.0f);
    const float second = RandomFloatInRange(2.0f, 4.0f);
    platform::SeedRand(1234);

    Item item;
    LoadXml(item, R"(<object name="worker1"><part name="body"/></object>)");
    AnimData data;
    data.records.push_back(MakeRecord("bodyidle", kAnimLoop, 10, 8));
    Skin* part = item.GetParts()[0].get();
    part->GetPlayer()->SetData(std::move(data));
    item.SetRestartRule("idle", 5, 2.0f, 4.0f);
    item.SetRestartRule("idle", 5, 2.0f, 4.0f);
    EXPECT_EQ(item.GetRestartRules().size(), 1u);
    item.SetActive(true);
    item.SetVisibleFlag(true);
    ASSERT_TRUE(item.PlayAnim("idle"));
    EXPECT_TRUE(item.IsRestartArmed());
    EXPECT_FLOAT_EQ(item.GetRestartDelay(), first);

    for (int i = 0; i < 5; ++i) item.Update();
    AnimPlayer* player = part->GetPlayer();
    EXPECT_EQ(player->GetState(), AnimPlayer::kStatePaused);
    EXPECT_EQ(player->GetCurrentFrame(), 5);
    EXPECT_NEAR(item.GetRestartDelay(), second - 0.1f, 1e-5);

    item.SetVisibleFlag(false);
    for (int i = 0; i < 100; ++i) item.Update();
    EXPECT_NEAR(item.GetRestartDelay(), second - 0.1f, 1e-5) << "no countdown while hidden";
    item.SetVisibleFlag(true);
    item.SetActive(false);
    for (int i = 0; i < 100; ++i) item.Update();
    EXPECT_NEAR(item.GetRestartDelay(), second - 0.1f, 1e-5) << "no countdown while inactive";
    item.SetActive(true);

    int updates = 1;
    while (player->GetState() == AnimPlayer::kStatePaused && updates < 100) {
        item.Update();
        ++updates;
    }
    EXPECT_NEAR(updates * 0.1f, second, 0.1f + 1e-4);
    EXPECT_EQ(player->GetState(), AnimPlayer::kStatePlaying);
    EXPECT_FALSE(item.IsRestartArmed());
    EXPECT_EQ(player->GetCurrentFrame(), 5);
    EXPECT_EQ(player->GetStopFrame(), 5) << "the next round stops at frame 5 again";
    item.RemoveRestartRule("idle");
    EXPECT_TRUE(item.GetRestartRules().empty());
}

TEST(Item, CommandsShowHideAndHandOnTheLook) {
    struct Case {
        const char* command;
        bool pickable;
        bool survival;
        bool visible;
        bool active;
        const char* skin;
        size_t entries;
    };
    const Case cases[] = {
        {R"(<c skin="blue" stop="1"/>)", false, false, false, false, "blue", 0},
        {R"(<c skin="blue" stop="true"/>)", true, false, false, true, "blue", 0},
        {R"(<c skin="blue" stop="0"/>)", false, false, true, true, "blue", 0},
        {R"(<c skin="blue" old_skin="red"/>)", false, false, true, true, "red", 1},
        {R"(<c skin="blue" old_skin="none"/>)", false, false, false, true, "blue", 1},
        {R"(<c skin="blue" old_skin="red"/>)", false, true, true, true, "blue", 0},
    };
    for (const Case& c : cases) {
        FakeLevel level;
        level.survival = c.survival;
        std::unique_ptr<Item> item = c.pickable ? std::make_unique<Pickable>() : std::make_unique<Item>();
        item->SetName("desk");
        pugi::xml_document doc;
        doc.load_string(c.command);
        item->OnCommand(doc.first_child());
        EXPECT_EQ(item->IsVisible(), c.visible) << c.command;
        EXPECT_EQ(item->IsActive(), c.active) << c.command;
        EXPECT_EQ(item->GetSkinName(), c.skin) << c.command;
        ASSERT_EQ(level.entries.size(), c.entries) << c.command;
        if (c.entries) {
            EXPECT_EQ(level.entries[0].name, "desk");
            EXPECT_EQ(level.entries[0].skin, "blue");
        }
    }
}

TEST(Pickable, ClickableOnlyWhenActiveVisibleAndAllowed) {
    Pickable phone;
    for (int bits = 0; bits < 8; ++bits) {
        phone.SetActiveFlag(bits & 1);
        phone.SetVisibleFlag(bits & 2);
        EXPECT_EQ(phone.IsClickable(bits & 4), bits == 7) << bits;
    }
    phone.OnClick();
    phone.OnClick();
    EXPECT_EQ(phone.GetClicks(), 2);
    phone.ResetClicks();
    EXPECT_EQ(phone.GetClicks(), 0);
    EXPECT_EQ(gPickables.back(), &phone);
}

// Two signs at most; the last shown goes first.
TEST(Pickable, QueueSignsShowAndHideInTurn) {
    Pickable bin;
    LoadXml(bin, R"(<object name="bin"><part name="checkmark"/><part name="lid"/><part name="checkmark"/></object>)");
    bin.SetActive(true);
    ASSERT_NE(bin.GetQueueSign(1), nullptr);
    EXPECT_FALSE(bin.GetQueueSign(0)->GetVisibleFlag());
    struct Step {
        int queue; // +1 FlagQueued, -1 UnflagQueued
        bool shown0;
        bool shown1;
    };
    const Step steps[] = {{+1, true, false}, {+1, true, true}, {+1, true, true},
                          {-1, true, false}, {-1, false, false}, {-1, false, false}};
    int n = 0;
    for (const Step& s : steps) {
        if (s.queue > 0) bin.FlagQueued(); else bin.UnflagQueued();
        EXPECT_EQ(bin.IsQueueSignShown(0), s.shown0) << "step " << n;
        EXPECT_EQ(bin.IsQueueSignShown(1), s.shown1) << "step " << n;
        EXPECT_EQ(bin.GetQueueSign(0)->GetVisibleFlag(), s.shown0) << "step " << n;
        EXPECT_EQ(bin.GetQueueSign(1)->GetVisibleFlag(), s.shown1) << "step " << n;
        ++n;
    }
    Pickable plain;
    plain.SetActive(true);
    plain.FlagQueued(); // no signs: only the trace
    EXPECT_EQ(plain.GetQueueSign(0), nullptr);
}

// Every part that knows the animation plays it; the longest duration is reported.
TEST(Item, PlaysOnEveryPartThatKnowsTheAnimation) {
    Item item;
    LoadXml(item, R"(<object name="desk" orient="mbr"><part name="top"/><part name="legs"/><part name="lamp"/></object>)");
    const char* records[][2] = {{"top", "topbrwork"}, {"legs", "legsbrwork"}, {"lamp", "lampbrsleep"}};
    for (int i = 0; i < 3; ++i) {
        AnimData data;
        data.records.push_back(MakeRecord(records[i][1], kAnimOnce, 10, 4 + 4 * i));
        item.GetParts()[static_cast<size_t>(i)]->GetPlayer()->SetData(std::move(data));
    }
    float longest = 0.0f;
    ASSERT_TRUE(item.PlayAnim("work", &longest));
    EXPECT_FLOAT_EQ(longest, 0.8f);
    EXPECT_EQ(item.GetAnimName(), "work");
    EXPECT_TRUE(item.GetParts()[0]->IsMirrored()) << "parts take the object's orientation";
    EXPECT_FALSE(item.GetParts()[2]->GetPlayer()->IsPlaying());
    EXPECT_FALSE(item.PlayAnim("dance", &longest));
    EXPECT_FLOAT_EQ(longest, -1.0f);
    EXPECT_EQ(item.GetAnimName(), "work");
    ASSERT_TRUE(item.PlayAnimIfKnown("sleep", false));
    EXPECT_TRUE(item.GetParts()[2]->GetPlayer()->IsPlaying());
    EXPECT_EQ(item.FindPartByName("legs"), item.GetParts()[1].get());
    EXPECT_EQ(item.FindPartByName("legs", 1), nullptr);

    item.SetVisible(true);
    item.SetActive(true);
    item.Reset();
    EXPECT_FALSE(item.IsVisible());
    EXPECT_FALSE(item.IsActive());
    EXPECT_EQ(item.GetParts()[0]->GetPlayer()->GetRecordAt(0)->image.GetImage(), nullptr);
}

TEST(Item, ResolvesPairItemsAndNamedPoints) {
    Item desk, chair;
    chair.SetName("chair");
    LoadXml(desk, R"(<object name="desk" pos_x="100" pos_y="50" offs_x="5" offs_y="6">
        <select_block pair_item="chair"/><select_block pair_item="gone"/><select_block pair_item=""/>
        <point owner="boss" direction="tr" offs_x="10" offs_y="20"/><point owner="boss" offs_x="1"/>
        <point owner="secretary" offs_x="-3"/></object>)");
    int count = -1;
    EXPECT_FALSE(desk.GetPairItem(count, nullptr)) << "nothing resolved before activation";
    EXPECT_EQ(count, 0);
    desk.SetActive(true);
    EXPECT_TRUE(desk.GetPairItem(count, nullptr));
    EXPECT_EQ(count, 1);
    Item* pair = nullptr;
    int index = 0;
    EXPECT_TRUE(desk.GetPairItem(index, &pair));
    EXPECT_EQ(pair, &chair);
    index = 1;
    EXPECT_FALSE(desk.GetPairItem(index, &pair));

    int x = 0, y = 0;
    std::string direction;
    ASSERT_TRUE(desk.GetPoint("boss", x, y, direction));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(direction, "tr");
    EXPECT_FALSE(desk.GetPoint("engineer", x, y, direction));
    const Zephra::Point at = desk.OffsetPoint({x, y});
    EXPECT_EQ(at.mX, 115);
    EXPECT_EQ(at.mY, 76);
}
