#include <gtest/gtest.h>
#include <cmath>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include "game/office/game_params.h"

namespace {

TEST(GameParams, ReadsEveryStoredNameOnce) {
    XmlDocument doc;
    XmlNode params = doc.append_child("params");
    std::set<std::string> names;
    for (size_t i = 0; i < GameParams::kKeyCount; ++i) {
        names.insert(GameParams::kKeys[i].name);
        params.append_attribute(GameParams::kKeys[i].name) = std::to_string(i + 1).c_str();
    }
    EXPECT_EQ(names.size(), GameParams::kKeyCount) << "no name twice";
    for (const char* stored : {"cupboatd_reload_timeout", "secretary_move_speed", "patience_g_level"})
        EXPECT_TRUE(names.count(stored)) << stored;

    GameParams p;
    p.Read(params);
    for (size_t i = 0; i < GameParams::kKeyCount; ++i) {
        const char* name = GameParams::kKeys[i].name;
        ASSERT_NE(p.Find(name), nullptr) << name;
        EXPECT_EQ(*p.Find(name), static_cast<float>(i + 1)) << name;
    }
    EXPECT_EQ(p.moneyGoal, 0) << "goals come from the level";
    EXPECT_EQ(p.Find("cupboard_reload_timeout"), nullptr) << "only the stored spelling";

    // Absent attributes leave what is there; the pointer stays live.
    float* safe = p.Find("safe_reload_timeout");
    XmlNode partial = doc.append_child("params");
    partial.append_attribute("safe_reload_timeout") = "2.5";
    p.Read(partial);
    EXPECT_EQ(*safe, 2.5f);
    EXPECT_EQ(p.boss_move_speed, *p.Find("boss_move_speed"));
    EXPECT_NE(p.boss_move_speed, 0.0f);
}

// What a day waits on that would never come is replaced and named; sound
// values stay.
TEST(GameParams, RepairsWhatWouldMakeADayEndless) {
    struct Case {
        const char* name;
        float value;
        float after;
        const char* warning;  // null: kept without a word
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {"boss_move_speed", 0.0f, GameParams::kFallbackSpeed, "params boss_move_speed 0: a person would never arrive; 150 is used"},
        {"boss_move_speed", -40.0f, GameParams::kFallbackSpeed, "params boss_move_speed -40:"},
        {"boss_move_speed", nan, GameParams::kFallbackSpeed, "params boss_move_speed nan:"},
        {"engineer_move_speed", 0.0f, GameParams::kFallbackSpeed, "params engineer_move_speed 0:"},
        {"secretary_move_speed", nan, GameParams::kFallbackSpeed, "params secretary_move_speed nan:"},
        {"boss_move_speed_mod", 0.0f, 1.0f, "params boss_move_speed_mod 0: a person would never arrive; 1 is used"},
        {"boss_interaction_timeout", -1.5f, 0.0f, "params boss_interaction_timeout -1.5: a wait would never end; 0 is used"},
        {"boss_conference_timeout", nan, 0.0f, "params boss_conference_timeout nan:"},
        {"boss_move_speed", 160.0f, 160.0f, nullptr},
        {"boss_interaction_timeout", 0.0f, 0.0f, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.value));
        GameParams p;
        for (const GameParams::Key& key : GameParams::kKeys) p.*key.field = 1.0f;
        *p.Find(c.name) = c.value;
        const std::vector<std::string> repaired = p.Repair();
        EXPECT_EQ(*p.Find(c.name), c.after);
        if (c.warning == nullptr) {
            EXPECT_TRUE(repaired.empty());
            continue;
        }
        ASSERT_EQ(repaired.size(), 1u);
        EXPECT_EQ(repaired[0].rfind(c.warning, 0), 0u) << repaired[0];
    }
}

TEST(GameParams, Definitions) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string(
        "<office>"
        "<clients><client name='granny' client_patience_speed='1.5' idle_rastart_time_max='4'/></clients>"
        "<workers><worker name='worker1' worker_done_break_frame='12' worker_break_low='0.25'/></workers>"
        "<perses><pers name='boss:man' idle_stop_frame='3' idle_rastart_time_min='2'>"
        "<orientations orientation='tr' actual_orientation='mtl' ofs_x='-4' ofs_y='6'/>"
        "<orientations orientation='b' actual_orientation='b'/></pers></perses>"
        "</office>"));
    XmlNode office = doc.child("office");
    ClientDef client;
    client.Read(office.child("clients").child("client"));
    EXPECT_EQ(client.name, "granny");
    EXPECT_EQ(client.client_patience_speed, 1.5f);
    EXPECT_EQ(client.idle_rastart_time_max, 4.0f);
    EXPECT_EQ(client.client_money_g, 0.0f);

    WorkerDef worker;
    worker.Read(office.child("workers").child("worker"));
    EXPECT_EQ(worker.worker_done_break_frame, 12.0f);
    EXPECT_EQ(worker.worker_break_low, 0.25f);

    PersDef pers;
    pers.Read(office.child("perses").child("pers"));
    EXPECT_EQ(pers.name, "boss:man");
    EXPECT_EQ(pers.idle_stop_frame, 3);
    EXPECT_EQ(pers.idle_rastart_time_min, 2.0f);
    ASSERT_EQ(pers.orientations.size(), 2u);
    const Orientation* tr = pers.FindOrientation("tr");
    ASSERT_NE(tr, nullptr);
    EXPECT_EQ(tr->actual_orientation, "mtl");
    EXPECT_EQ(tr->ofs_x, -4);
    EXPECT_EQ(tr->ofs_y, 6);
    EXPECT_EQ(pers.FindOrientation("l"), nullptr);

    DefTable<PersDef> table{{pers.name, pers}};
    EXPECT_EQ(FindDef(table, "boss:man"), &table.at("boss:man"));
    EXPECT_EQ(FindDef(table, "boss"), nullptr);
}

// A hostile file's long runs of digits reach the objects as ints: every
// tuning value and definition field is bounded as it is read.
TEST(GameParams, HostileValuesAreBounded) {
    const std::string huge(30, '9');
    struct Case {
        const char* text;
        float expected;
    };
    const Case cases[] = {{"12.5", 12.5f}, {"-1925", -1925.0f}, {"999999", 999999.0f}};
    std::vector<Case> all(std::begin(cases), std::end(cases));
    const std::string negative = "-" + huge;
    all.push_back({huge.c_str(), 1e6f});
    all.push_back({negative.c_str(), -1e6f});
    for (const Case& c : all) {
        XmlDocument doc;
        XmlNode params = doc.append_child("params");
        params.append_attribute("stamina_g_level") = c.text;
        XmlNode client = doc.append_child("client");
        client.append_attribute("client_money_g") = c.text;
        XmlNode worker = doc.append_child("worker");
        worker.append_attribute("worker_break_low") = c.text;
        XmlNode pers = doc.append_child("pers");
        pers.append_attribute("idle_rastart_time_max") = c.text;
        GameParams p;
        p.Read(params);
        ClientDef clientDef;
        clientDef.Read(client);
        WorkerDef workerDef;
        workerDef.Read(worker);
        PersDef persDef;
        persDef.Read(pers);
        EXPECT_EQ(p.stamina_g_level, c.expected) << c.text;
        EXPECT_EQ(clientDef.client_money_g, c.expected) << c.text;
        EXPECT_EQ(workerDef.worker_break_low, c.expected) << c.text;
        EXPECT_EQ(persDef.idle_rastart_time_max, c.expected) << c.text;
    }
}

} // namespace
