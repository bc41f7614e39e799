#include <gtest/gtest.h>
#include <memory>
#include "game/office/office.h"
#include "game/office/person.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"
#include "tests/game/app/game_folder.h"

namespace {

// A person of the test's flags that records its notifications and accepts
// every interaction.
class Walker : public Person {
public:
    Walker(bool returnsHome, bool hidesAtHome, const char* startPoint = "home") : Person(returnsHome, hidesAtHome) {
        XmlDocument doc;
        XmlNode node = doc.append_child("object");
        node.append_attribute("name") = "engineer";
        node.append_attribute("start_point") = startPoint;
        XmlNode part = node.append_child("part");
        part.append_attribute("name") = "body";
        XmlNode held = node.append_child("part");
        held.append_attribute("name") = "held_items";
        LoadFromConfig(node);
    }
    bool Interact(Item*, int phase, int&) override {
        phases.push_back(phase);
        return true;
    }
    void OnNotify(int code) override { notified.push_back(code); }
    std::vector<int> phases;
    std::vector<int> notified;
};

// A target with two queue signs that accepts or refuses.
class Desk : public Pickable {
public:
    explicit Desk(const char* name, bool accept = true) : accept_(accept) {
        XmlDocument doc;
        XmlNode node = doc.append_child("object");
        node.append_attribute("name") = name;
        for (int i = 0; i < 2; ++i) node.append_child("part").append_attribute("name") = "checkmark";
        LoadFromConfig(node);
        SetVisibleFlag(true);
        SetActive(true);
    }
    bool Interact(Item*, int phase, int&) override {
        phases.push_back(phase);
        return accept_;
    }
    int SignsShown() const { return IsQueueSignShown(0) + IsQueueSignShown(1); }
    std::vector<int> phases;
private:
    bool accept_;
};

// An office whose engineer graph joins home - desk - shelf in a line of
// 30-unit steps, with an unreachable island.
class PersonTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("cfg/office.xml",
                     "<office><graphs><graph name='engineer'><points>"
                     "<point name='home' x='0' y='0'/><point name='desk' x='30' y='0'/>"
                     "<point name='shelf' x='30' y='30'/><point name='island' x='500' y='500'/>"
                     "</points><edges><edge p1='home' p2='desk'/><edge p1='desk' p2='shelf'/></edges>"
                     "</graph></graphs></office>");
        ASSERT_TRUE(office.Load());
        office.FindPathGraphSet("engineer")->LoadLevelGraphs(XmlNode());
    }
    // Motion steps of 10 ms until the walk ends (at most n).
    static void WalkOut(Walker& w, int n = 1000) {
        for (int i = 0; i < n && w.IsWalking(); ++i) w.UpdateMotion(1.0f);
    }
    gametest::GameFolder folder;
    Office office;
};

TEST_F(PersonTest, FacesTheEightDirections) {
    struct Case {
        int dx, dy;
        const char* facing;
    };
    const Case cases[] = {
        {10, 0, "r"},   {0, -10, "t"},  {-10, 0, "mr"},  {0, 10, "b"},    {10, -10, "tr"},
        {10, 10, "br"}, {-10, 10, "mbr"}, {-10, -10, "mtr"}, {10, -30, "t"}, {30, -10, "r"},
    };
    for (const Case& c : cases) {
        Walker w(false, false);
        w.FaceDirection(c.dx, c.dy);
        EXPECT_EQ(w.GetWalkOrientation(), c.facing) << c.dx << "," << c.dy;
        EXPECT_EQ(w.GetOrientation(), c.facing) << c.dx << "," << c.dy;
        const std::string facing = c.facing;
        const bool mirrored = facing[0] == 'm';
        EXPECT_EQ(w.FindPartByName("body")->GetOrientation(), mirrored ? facing.substr(1) : facing) << c.dx << "," << c.dy;
        EXPECT_EQ(w.FindPartByName("body")->IsMirrored(), mirrored) << c.dx << "," << c.dy;
        EXPECT_NE(w.FindPartByName("held_items")->GetOrientation(), c.facing) << "held items keep theirs";
    }
    Walker still(false, false);
    still.FaceDirection(10, 0);
    still.FaceDirection(0, 0);
    EXPECT_EQ(still.GetWalkOrientation(), "r") << "(0, 0) changes nothing";
}

TEST_F(PersonTest, WaitNotifiesOnceWhenItRunsOut) {
    Walker w(false, false);
    w.SetActive(true);
    w.SetWait(0.05f, 7);
    EXPECT_TRUE(w.IsBusy());
    for (int i = 0; i < 10; ++i) w.UpdateMotion(1.0f);
    EXPECT_EQ(w.notified, std::vector<int>{7});
    EXPECT_FALSE(w.IsBusy());
    Walker idle(false, false);
    idle.SetWait(0.05f, 7);
    idle.UpdateMotion(1.0f);
    EXPECT_TRUE(idle.notified.empty()) << "an inactive person's wait stands still";
}

TEST_F(PersonTest, WalksToItsTargetsAndInteractsOrDropsTheQueue) {
    for (bool accept : {true, false}) {
        Walker w(false, false);
        w.SetActive(true);
        EXPECT_EQ(w.GetCurrentPoint(), "home");
        Desk desk("desk", accept), shelf("shelf");
        desk.OnClick();
        w.QueueTarget(&desk);
        w.QueueTarget(&shelf);
        w.QueueTarget(nullptr);
        ASSERT_EQ(w.GetTargets().size(), 2u);
        EXPECT_EQ(desk.SignsShown(), 1);
        w.Update();
        ASSERT_TRUE(w.IsWalking()) << accept;
        WalkOut(w);
        EXPECT_EQ(w.notified, std::vector<int>{Person::kWalkEnded}) << accept;
        EXPECT_EQ(w.GetPosX(), 30);
        EXPECT_EQ(w.GetOrientation(), "r") << "faced along the walk";
        w.Update();
        EXPECT_EQ(desk.GetClicks(), 0) << accept;
        EXPECT_EQ(desk.SignsShown(), 0) << accept;
        if (accept) {
            EXPECT_EQ(desk.phases, (std::vector<int>{1, 0}));
            EXPECT_EQ(w.phases, (std::vector<int>{1, 0}));
            ASSERT_EQ(w.GetTargets().size(), 1u);
            EXPECT_EQ(w.GetTargets()[0], &shelf);
        } else {
            EXPECT_EQ(desk.phases, std::vector<int>{1});
            EXPECT_TRUE(w.phases.empty()) << "the person is not asked after a refusal";
            EXPECT_TRUE(w.GetTargets().empty());
            EXPECT_EQ(shelf.SignsShown(), 0) << "every sign of the dropped queue goes";
        }
    }
}

TEST_F(PersonTest, WalkToRefusesWhatItCannotWalk) {
    struct Case {
        const char* what;
        bool active;
        const char* target;
        float speed;
        const char* start;
        bool walks;
    };
    const Case cases[] = {
        {"a reachable point", true, "shelf", 300, "home", true},
        {"inactive", false, "shelf", 300, "home", false},
        {"already there", true, "home", 300, "home", false},
        {"no speed", true, "shelf", 0, "home", false},
        {"negative speed", true, "shelf", -5, "home", false},
        {"unknown target", true, "nowhere", 300, "home", false},
        {"unreachable target", true, "island", 300, "home", false},
        {"unknown start", true, "shelf", 300, "limbo", false},
    };
    for (const Case& c : cases) {
        Walker w(false, false, c.start);
        if (c.active) w.SetActive(true);
        EXPECT_EQ(w.WalkTo(c.target, c.speed), c.walks) << c.what;
        EXPECT_EQ(w.IsWalking(), c.walks) << c.what;
        EXPECT_EQ(w.GetCurrentPoint(), c.walks ? c.target : c.start) << c.what;
    }
    Walker lost(false, false);
    lost.SetName("visitor");
    lost.SetActive(true);
    EXPECT_FALSE(lost.WalkTo("desk", 300)) << "no path-graph set of that name";
}

TEST_F(PersonTest, WalksHomeAndHidesThereOnlyWhenIdle) {
    Walker w(true, true);
    w.SetVisibleFlag(true);
    w.SetActive(true);
    w.Update();
    EXPECT_FALSE(w.IsVisible()) << "idle at home";
    Desk desk("desk");
    w.ExchangeTarget(&desk);
    w.Update();
    EXPECT_TRUE(w.IsVisible()) << "a current target shows it";
    w.ExchangeTarget(nullptr);
    w.QueueTarget(&desk);
    w.Update();
    EXPECT_TRUE(w.IsWalking());
    EXPECT_TRUE(w.IsVisible()) << "walking";
    WalkOut(w);
    w.Update();
    EXPECT_TRUE(w.GetTargets().empty());
    EXPECT_TRUE(w.IsWalking()) << "back home when idle";
    EXPECT_TRUE(w.IsVisible());
    WalkOut(w);
    w.Update();
    EXPECT_TRUE(w.IsAtHome());
    EXPECT_FALSE(w.IsVisible());
    w.SetActive(false);
    EXPECT_EQ(w.GetCurrentTarget(), nullptr);
}

} // namespace
