#include <gtest/gtest.h>
#include "game/office/office_xml.h"
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/effects/effect_target.h"
#include "game/office/item.h"
#include "game/office/office.h"
#include "game/office/office_config.h"
#include "game/office/office_globals.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"
#include "tests/game/app/game_folder.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/temp_dirs.h"

namespace {

std::string Attr(XmlNode node, const char* name) { return node.attribute(name).as_string(); }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

struct Line {
    std::string owner;
    int x[3], y[3];
};

// Segments ab and cd share a point (touching and overlapping count).
bool Cross(int ax, int ay, int bx, int by, int cx, int cy, int dx, int dy) {
    auto side = [](long long px, long long py, long long qx, long long qy, long long rx, long long ry) {
        const long long v = (qx - px) * (ry - py) - (qy - py) * (rx - px);
        return (v > 0) - (v < 0);
    };
    auto within = [](int p, int q, int r) { return std::min(p, q) <= r && r <= std::max(p, q); };
    const int d1 = side(cx, cy, dx, dy, ax, ay), d2 = side(cx, cy, dx, dy, bx, by);
    const int d3 = side(ax, ay, bx, by, cx, cy), d4 = side(ax, ay, bx, by, dx, dy);
    if (d1 * d2 < 0 && d3 * d4 < 0) return true;
    if (d1 == 0 && within(cx, dx, ax) && within(cy, dy, ay)) return true;
    if (d2 == 0 && within(cx, dx, bx) && within(cy, dy, by)) return true;
    if (d3 == 0 && within(ax, bx, cx) && within(ay, by, cy)) return true;
    if (d4 == 0 && within(ax, bx, dx) && within(ay, by, dy)) return true;
    return false;
}

class SampleOffice : public ::testing::Test {
protected:
    void SetUp() override {
        PakSetGameDir(testsupport::SourceDir() + "/data");
        InstallGameFileAccess(true);
    }
    void TearDown() override { InstallGameFileAccess(false); }
};

TEST_F(SampleOffice, IsCompleteAndLoads) {
    Office office;
    ASSERT_TRUE(office.Load()) << office.LastError();
    ASSERT_NE(gOfficeDoc, nullptr);
    XmlNode root = gOfficeDoc->child("office");

    std::set<std::string> classes, names;
    std::map<std::string, std::string> classOf;
    size_t built = 0;
    std::vector<Line> lines;
    for (XmlNode object : root.child("objects").children("object")) {
        const std::string name = Attr(object, "name");
        const std::string cls = Attr(object, "class");
        // Indicators may take the name of the object they watch, after it.
        const bool indicator = cls == "status_hp" || cls == "status_bubble";
        EXPECT_TRUE(names.insert(name).second || (indicator && classOf[name] != cls)) << "one object per name: " << name;
        classes.insert(cls);
        classOf.emplace(name, cls);
        if (FindObjectFactory(Attr(object, "class"))) ++built;
        for (XmlNode part : object.children("part")) {
            Line line{name + ":" + Attr(part, "name"), {}, {}};
            for (int i = 0; i < 3; ++i) {
                line.x[i] = part.attribute(("order" + std::to_string(i) + "_x").c_str()).as_int();
                line.y[i] = part.attribute(("order" + std::to_string(i) + "_y").c_str()).as_int();
                EXPECT_TRUE(line.x[i] >= 0 && line.x[i] < 800 && line.y[i] >= 0 && line.y[i] < 600) << line.owner;
            }
            EXPECT_TRUE(line.x[0] <= line.x[1] && line.x[1] <= line.x[2]) << line.owner;
            // A part that follows another is drawn right after it: its line is not painted.
            if (Attr(part, "parent_z").empty()) lines.push_back(line);
        }
    }
    for (const ObjectFactoryRow& row : kObjectFactoryTable) EXPECT_TRUE(classes.count(row.className)) << row.className;
    for (const NamedObjectRow& row : kNamedObjectTable) EXPECT_TRUE(names.count(row.name)) << row.name;
    for (const std::string& name : names) {
        if (StartsWith(name, "table")) {
            EXPECT_EQ(classOf["worker" + name.substr(5)], "worker") << name;
        }
        if (StartsWith(name, "client_place")) {
            EXPECT_EQ(classOf["client" + name.substr(12)], "client") << name;
        }
    }
    EXPECT_EQ(gObjects.size(), built) << "one object per element of a built class";

    // Order lines: none cross another, and one spans the whole back wall.
    bool backWall = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        backWall = backWall || (lines[i].x[0] == 0 && lines[i].x[2] == 799);
        for (size_t j = i + 1; j < lines.size(); ++j)
            for (int s = 0; s < 2; ++s)
                for (int t = 0; t < 2; ++t)
                    EXPECT_FALSE(Cross(lines[i].x[s], lines[i].y[s], lines[i].x[s + 1], lines[i].y[s + 1],
                                       lines[j].x[t], lines[j].y[t], lines[j].x[t + 1], lines[j].y[t + 1]))
                        << lines[i].owner << " crosses " << lines[j].owner;
    }
    EXPECT_TRUE(backWall);

    // A pickable whose picks resolve once it is active.
    bool picked = false;
    for (Pickable* p : gPickables) {
        p->SetActive(true);
        picked = picked || !p->GetPicks().empty();
    }
    EXPECT_TRUE(picked);

    for (const GameParams::Key& key : GameParams::kKeys) EXPECT_NE(*gGameParams.Find(key.name), 0.0f) << key.name;
    EXPECT_GT(gGameParams.boss_move_speed, 0.0f);
    EXPECT_GT(gGameParams.secretary_move_speed, 0.0f);
    EXPECT_GT(gGameParams.engineer_move_speed, 0.0f);
    EXPECT_FALSE(gClientDefs.empty());
    EXPECT_NE(FindDef(gWorkerDefs, "worker1"), nullptr);
    EXPECT_NE(FindDef(gPersDefs, "boss:man"), nullptr);
    EXPECT_NE(FindDef(gPersDefs, "boss:woman"), nullptr);

    // Each person's graph: every edge names a point, and every point is
    // reachable from the person's home.
    for (const char* person : Office::kPersonNames) {
        PathGraphSet* set = office.FindPathGraphSet(person);
        ASSERT_NE(set, nullptr) << person;
        ASSERT_EQ(FindPathGraphSet(person), set);
        const PathGraph& graph = set->OfficeGraph();
        EXPECT_FALSE(graph.Edges().empty()) << person;
        for (const PathGraph::Edge& e : graph.Edges())
            EXPECT_TRUE(graph.HasPoint(e.p1) && graph.HasPoint(e.p2)) << person << ": " << e.p1 << "-" << e.p2;
        set->LoadLevelGraphs(XmlNode());
        const std::string home = std::string(person) + "_home";
        for (const auto& [name, point] : graph.Points()) {
            if (name == home) continue;
            ASSERT_TRUE(set->SetCurrentPoint(home)) << person;
            EXPECT_TRUE(set->StartWalk(name, 100.0f)) << person << " to " << name;
            EXPECT_TRUE(StartsWith(name, person[0] + std::string("_")) || names.count(name))
                << person << ": a walk point names an object: " << name;
        }
    }

    office.Unload();
    EXPECT_TRUE(gObjects.empty());
    EXPECT_TRUE(gPickables.empty());
    EXPECT_TRUE(gClientDefs.empty());
    EXPECT_EQ(gGameParams.boss_move_speed, 0.0f);
    EXPECT_EQ(gOfficeDoc, nullptr);
    EXPECT_TRUE(office.FindPathGraphSet("boss")->OfficeGraph().Points().empty());
}

TEST(OfficeConfig, BrokenOffices) {
    // More objects than an office holds, the first one with more parts than an object holds.
    std::string many = "<office><objects>";
    std::vector<std::string> kept;
    for (size_t i = 0; i < kMaxOfficeObjects + 10; ++i) {
        const std::string name = "o" + std::to_string(i);
        many += "<object class='item' name='" + name + "'>";
        for (size_t p = 0; i == 0 && p < kMaxObjectChildren + 6; ++p) many += "<part/>";
        many += "</object>";
        if (i < kMaxOfficeObjects) kept.push_back(name);
    }
    many += "</objects></office>";
    struct Case {
        const char* what;
        const char* text;          // null: no file at all
        bool loads;
        std::vector<std::string> objects;  // names in gObjects, in order
        const char* check;         // what else to look at
    };
    const Case cases[] = {
        {"missing file", nullptr, false, {}, ""},
        {"malformed XML", "<office><objects>", false, {}, ""},
        {"no office element", "<level><objects><object class='item' name='a'/></objects></level>", false, {}, ""},
        {"empty office", "<office/>", true, {}, "params zero"},
        {"unknown classes make nothing",
         "<office><objects><object class='robot' name='boss'/><object class='chair' name='c'/>"
         "<object class='item' name='lamp'/><object class='pickable' name='table1'/></objects></office>",
         true, {"lamp", "table1"}, ""},
        {"a named object of another class is not published",
         "<office><objects><object class='item' name='boss'/><object class='pickable' name='phone'/>"
         "<object class='item' name='bonus'/></objects></office>",
         true, {"boss", "phone", "bonus"}, "no named"},
        {"an edge to a missing point leaves the rest of the graph",
         "<office><graphs><graph name='boss'><points><point name='a' x='0' y='0'/><point name='b' x='3' y='4'/>"
         "</points><edges><edge p1='a' p2='gone'/><edge p1='a' p2='b'/></edges></graph></graphs></office>",
         true, {}, "walk a-b"},
        {"more objects than an office holds", many.c_str(), true, kept, "parts cut"},
        {"definitions without params",
         "<office><clients><client name='x' client_money_g='5'/></clients>"
         "<perses><pers name='engineer'/></perses></office>",
         true, {}, "params zero"},
    };
    for (const Case& c : cases) {
        gametest::GameFolder folder;
        if (c.text) folder.Write("cfg/office.xml", c.text);
        Office office;
        EXPECT_EQ(office.Load(), c.loads) << c.what;
        EXPECT_EQ(office.IsLoaded(), c.loads) << c.what;
        EXPECT_EQ(office.LastError().empty(), c.loads) << c.what << ": " << office.LastError();
        EXPECT_EQ(gOfficeDoc != nullptr, c.loads) << c.what;
        std::vector<std::string> got;
        for (Item* item : gObjects) got.push_back(item->GetName());
        EXPECT_EQ(got, c.objects) << c.what;
        const std::string check = c.check;
        if (check == "params zero") {
            // Zeros, but for the speeds a day cannot do without.
            GameParams repaired;
            repaired.Repair();
            for (const GameParams::Key& key : GameParams::kKeys)
                EXPECT_EQ(*gGameParams.Find(key.name), *repaired.Find(key.name)) << c.what << " " << key.name;
        }
        if (check == "no named") {
            EXPECT_EQ(gBoss, nullptr) << c.what;
            EXPECT_EQ(gPhone, nullptr) << c.what;
            EXPECT_EQ(gBonusObject, nullptr) << c.what;
        }
        if (check == "parts cut") {
            EXPECT_EQ(gObjects.at(0)->GetParts().size(), kMaxObjectChildren) << c.what;
        }
        if (check == "walk a-b") {
            PathGraphSet* set = office.FindPathGraphSet("boss");
            set->LoadLevelGraphs(XmlNode());
            ASSERT_TRUE(set->SetCurrentPoint("a")) << c.what;
            EXPECT_TRUE(set->StartWalk("b", 5.0f)) << c.what;
        }
        if (std::string(c.what) == "definitions without params") {
            ASSERT_NE(FindDef(gClientDefs, "x"), nullptr);
            EXPECT_EQ(FindDef(gClientDefs, "x")->client_money_g, 5.0f);
            EXPECT_NE(FindDef(gPersDefs, "engineer"), nullptr);
        }
    }
    EXPECT_TRUE(gObjects.empty()) << "every office unloads what it made";
}

TEST(OfficeConfig, ReloadReplacesAndPlacesObjectPoints) {
    gametest::GameFolder folder;
    folder.Write("cfg/office.xml",
                 "<office><objects>"
                 "<object class='pickable' name='desk' pos_x='100' pos_y='50' offs_x='5' offs_y='6'>"
                 "<point owner='boss' direction='t' offs_x='10' offs_y='20'/></object>"
                 "<object class='item' name='lamp'><point owner='engineer' offs_x='1' offs_y='1'/></object>"
                 "</objects><graphs><graph name='boss'><points><point name='home' x='115' y='0'/></points>"
                 "</graph></graphs></office>");
    Office office;
    ASSERT_TRUE(office.Load());
    Pickable outsider;  // not the office's to delete
    ASSERT_TRUE(office.Load()) << "a second load replaces the first";
    ASSERT_EQ(gObjects.size(), 3u);
    ASSERT_EQ(gPickables.size(), 2u);
    EXPECT_EQ(gObjects[0], &outsider);

    PathGraphSet* boss = office.FindPathGraphSet("boss");
    boss->AddObjectPoints("boss");
    XmlDocument level;
    XmlNode graph = level.append_child("level").append_child("graphs").append_child("graph");
    graph.append_attribute("name") = "boss";
    XmlNode edge = graph.append_child("edges").append_child("edge");
    edge.append_attribute("p1") = "home";
    edge.append_attribute("p2") = "desk";
    boss->LoadLevelGraphs(level.child("level"));
    int x = 0, y = 0;
    ASSERT_TRUE(boss->GetPointPosition("desk", x, y));
    EXPECT_EQ(x, 115) << "object position + object offset + point offset";
    EXPECT_EQ(y, 76);
    EXPECT_FALSE(boss->GetPointPosition("lamp", x, y)) << "the lamp's point is the engineer's";
    ASSERT_TRUE(boss->SetCurrentPoint("home"));
    EXPECT_TRUE(boss->StartWalk("desk", 10.0f));
    EXPECT_EQ(office.FindPathGraphSet("client"), nullptr);
}

TEST(OfficeConfig, EffectLinkAndLevelSeam) {
    ASSERT_EQ(GetEffectOffice(), nullptr);
    {
        gametest::GameFolder folder;
        folder.Write("cfg/office.xml", "<office><objects><object class='pickable' name='table3'>"
                                       "<part name='table'/></object></objects></office>");
        Office office;
        ASSERT_TRUE(office.Load());
        EffectOffice* link = GetEffectOffice();
        ASSERT_NE(link, nullptr);
        Item* table = FindObject("table3");
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->GetParts().size(), 1u);
        table->SetLinkName("desk01");
        std::string text;
        EXPECT_TRUE(link->GetSkinOwnerName(table->GetParts()[0].get(), text));
        EXPECT_EQ(text, "table3");
        EXPECT_TRUE(link->GetSkinOwnerLinkName(table->GetParts()[0].get(), text));
        EXPECT_EQ(text, "desk01");
        EXPECT_FALSE(link->GetSkinOwnerName(nullptr, text));
        EXPECT_FALSE(link->GetWorkerSpecialization("worker3", text)) << "no workers yet";
    }
    EXPECT_EQ(GetEffectOffice(), nullptr) << "the office takes its link with it";

    // The level seam answers as an office without a level until one is installed.
    EXPECT_EQ(LevelHoveredObject(), nullptr);
    EXPECT_FALSE(LevelIsSurvival());
    LevelApplySkinEntry({"table1", "modern", "idle"});
    Item lamp;
    {
        officetest::FakeLevel level;
        level.hovered = &lamp;
        level.survival = true;
        EXPECT_EQ(LevelHoveredObject(), &lamp);
        EXPECT_TRUE(LevelIsSurvival());
        LevelApplySkinEntry({"table1", "modern", "idle"});
        ASSERT_EQ(level.entries.size(), 1u);
        EXPECT_EQ(level.entries[0].name + "/" + level.entries[0].skin + "/" + level.entries[0].anim, "table1/modern/idle");
    }
    EXPECT_EQ(LevelHoveredObject(), nullptr);
}

} // namespace
