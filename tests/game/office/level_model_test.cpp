#include <gtest/gtest.h>
#include <climits>
#include <optional>
#include <set>
#include "game/app/office_app.h"
#include "game/office/level_model.h"
#include "game/office/office_xml.h"
#include "tests/support/temp_dirs.h"
#include "game/office/vec2.h"
#include "platform/random.h"

namespace {

std::vector<StageRecord> Stages(std::vector<int> money) {
    std::vector<StageRecord> stages;
    for (int m : money) {
        stages.emplace_back();
        stages.back().money = m;
    }
    return stages;
}

XmlDocument Parse(const char* text) {
    XmlDocument doc;
    EXPECT_TRUE(doc.load_string(text)) << text;
    return doc;
}

TEST(LevelModel, NextStageThresholdsContinueTheLastStep) {
    const std::optional<int32_t> none;
    struct Case {
        const char* what;
        std::vector<int> money;
        int index;
        std::optional<int32_t> next;
    };
    const Case cases[] = {
        {"inside the list", {100, 250, 450}, 0, 250},
        {"last stage begun", {100, 250, 450}, 1, 450},
        {"past the list", {100, 250, 450}, 2, 650},
        {"one further", {100, 250, 450}, 3, 850},
        {"two further", {100, 250, 450}, 4, 1050},
        {"equal money never opens more", {100, 100}, 1, none},
        {"absent money never opens more", {100, -1}, 1, none},
        {"one stage never advances", {100}, 0, none},
        {"no stages", {}, 0, none},
        {"the largest money is a threshold like any", {0, INT32_MAX}, 0, INT32_MAX},
        {"a step past the largest money is none", {0, 2000000000}, 1, none},
        {"a huge step far on is none", {0, 2000000000}, 3, none},
        {"past the last stage number is none", {0, 1}, kLastStageIndex, none},
    };
    for (const Case& c : cases) EXPECT_EQ(NextStageThreshold(Stages(c.money), c.index), c.next) << c.what;
}

TEST(LevelModel, StagesPastTheListThatTheMoneyPassesAreCountedAtOnce) {
    struct Case {
        const char* what;
        std::vector<int> money;
        int index;
        int32_t have;
        int reached;
    };
    const Case cases[] = {
        {"below the next threshold", {100, 250, 450}, 2, 649, 0},
        {"a listed stage begins on its own", {100, 250, 450}, 0, 10000, 1},
        {"just short of the third step", {100, 250, 450}, 2, 1049, 2},
        {"from far past the list", {100, 250, 450}, 1000, INT32_MAX, (INT32_MAX - 200250) / 200 + 1},
        {"no further stage", {100, 100}, 1, INT32_MAX, 0},
        {"a step of one stops at the last stage number", {INT32_MIN, INT32_MIN + 1}, 1, INT32_MAX,
         kLastStageIndex - 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StagesReachedPastTheList(Stages(c.money), c.index, c.have), c.reached) << c.what;
}

TEST(LevelModel, ClientTemplateDrawFollowsTheWeights) {
    struct Case {
        const char* what;
        std::vector<float> weights;
        int r;
        int picked;
    };
    const Case cases[] = {
        {"all zero: first quarter", {0, 0, 0, 0}, 0, 0},
        {"all zero: second quarter", {0, 0, 0, 0}, 10000, 1},
        {"all zero: fourth quarter", {0, 0, 0, 0}, 32000, 3},
        {"weights 3:1, low draw", {3, 1}, 20000, 0},
        {"weights 3:1, high draw", {3, 1}, 30000, 1},
        {"a zero weight is skipped", {0, 2}, 0, 1},
        {"the top draw is never exceeded", {1, 1}, 32767, -1},
        {"no templates", {}, 0, -1},
    };
    for (const Case& c : cases) {
        std::vector<ClientTemplate> templates(c.weights.size());
        for (size_t i = 0; i < c.weights.size(); ++i) templates[i].spawnWeight = c.weights[i];
        EXPECT_EQ(PickClientTemplate(templates, c.r), c.picked) << c.what;
        if (std::string(c.what).starts_with("all zero")) {
            for (const ClientTemplate& t : templates) EXPECT_EQ(t.spawnWeight, 0.25f) << c.what << ": kept";
        }
    }

    // With the seeded generator every template of four zero weights comes up.
    std::vector<ClientTemplate> four(4);
    std::set<int> seen;
    platform::SeedRand(7);
    for (int i = 0; i < 64; ++i) seen.insert(PickClientTemplate(four, platform::Rand()));
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3}));
}

TEST(LevelModel, SpawnDelaysLieBetweenTheTemplatesBounds) {
    ClientTemplate client;
    client.spawnMin = 2.0f;
    client.spawnMax = 6.0f;
    EXPECT_EQ(SpawnDelay(client, 0), 2.0f);
    EXPECT_EQ(SpawnDelay(client, 32767), 6.0f);
    platform::SeedRand(11);
    platform::Random15 same(11);
    for (int i = 0; i < 20; ++i) {
        const float delay = SpawnDelay(client, platform::Rand());
        EXPECT_FLOAT_EQ(delay, 2.0f + 4.0f * static_cast<float>(same.Next() / 32767.0)) << i;
        EXPECT_GE(delay, 2.0f);
        EXPECT_LE(delay, 6.0f);
    }
}

TEST(LevelModel, OrdersComeFromTheTemplatesLists) {
    OrderTemplate single{"single", {{1, {{1, "0201"}}}}};
    OrderTemplate pair{"pair", {{1, {{1, "0101"}}}, {1, {{1, "0401"}}}}};
    OrderTemplate empty{"empty", {}};
    OrderTemplate zero{"zero", {{1, {{0, "0701"}}}}};
    OrderTemplate shortCodes{"short", {{1, {{1, "0"}}}}};
    const std::vector<OrderTemplate> templates = {single, pair, empty, zero, shortCodes};
    struct Case {
        const char* what;
        const char* tmpl;
        float multi;
        float ext;
        std::vector<std::string> orders;
    };
    const Case cases[] = {
        {"one list, one order", "single", 0, 0, {"0201"}},
        {"one list asked for two gives one", "single", 1, 0, {"0201"}},
        {"two lists, a single order from the second", "pair", 0, 0, {"0401"}},
        {"two lists, two orders", "pair", 1, 0, {"0101", "0401"}},
        {"no such template", "gone", 1, 0, {}},
        {"a template without lists", "empty", 1, 0, {}},
        {"weights summing to 0", "zero", 0, 0, {}},
        {"a one-character code keeps its character", "short", 0, 1, {"0"}},
    };
    for (const Case& c : cases) {
        ClientTemplate client;
        client.orderTemplate = c.tmpl;
        client.multiOrder = c.multi;
        client.extOrder = c.ext;
        EXPECT_EQ(BuildOrders(client, templates), c.orders) << c.what;
    }

    // The extra-order rule picks a worker digit 2 to 4 in place of the second character.
    ClientTemplate ext;
    ext.orderTemplate = "single";
    ext.extOrder = 1;
    platform::SeedRand(3);
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) seen.insert(BuildOrders(ext, templates).at(0));
    EXPECT_EQ(seen, (std::set<std::string>{"0201", "0301", "0401"}));

    // An order already taken is drawn again a bounded number of times, then given up.
    std::vector<std::string> orders = {"0201"};
    EXPECT_FALSE(PickOrder(single.lists[0], ClientTemplate(), orders));
    EXPECT_EQ(orders, std::vector<std::string>{"0201"});
}

TEST(LevelModel, ReadsStagesTemplatesAndTimelines) {
    XmlDocument doc = Parse(
        "<level><stages>"
        "<stage money='100' upgrade_add='1' window_event='window_day'>"
        "<clients name='lady' vip='1' client_time_spawn_min='1.5' client_time_spawn_max='3' probability_spawn='2'"
        " probability_ext_order='0.5' probability_multi_order='0.25' order_template='pair'/>"
        "<object name='safe' skin='gold' anim='idle'/></stage>"
        "<stage window_event='window_morning' upgrade_skin='true'/><stage window_event='dusk'/></stages>"
        "<upgrade_add_list><first name='a'><object_list name='x'/><object_list name='y'/></first>"
        "<second name='b'/></upgrade_add_list>"
        "<upgrade_skin_list><u name='c'><object_list name='z' skin='s'/></u></upgrade_skin_list>"
        "<order_template template='pair'><order_list probability='0.5'><orders probability='2' order='0101'/>"
        "</order_list><order_list/></order_template>"
        "<events_queue><clients_timeline>"
        "<time_point time='30' event='late'/>"
        "<time_point time='5' event='first' vip='1' window_event='window_day'>"
        "<orders><order name='0101'/><order name='0201'/></orders></time_point>"
        "<time_point time='30' event='later'/>"
        "</clients_timeline><stereosystem_timeline><time_point time='9'/></stereosystem_timeline></events_queue>"
        "</level>");
    XmlNode level = doc.child("level");
    SurvivalModel model;
    model.stageIndex = 4;
    model.Read(level);
    EXPECT_EQ(model.stageIndex, -1);
    EXPECT_EQ(model.TemplateStage(), nullptr) << "no stage begun yet";
    ASSERT_EQ(model.stages.size(), 3u);
    const StageRecord& first = model.stages[0];
    EXPECT_EQ(first.money, 100);
    EXPECT_EQ(first.upgradeAdd, 1);
    EXPECT_EQ(first.upgradeSkin, 0);
    EXPECT_EQ(first.windowEvent, 2);
    ASSERT_EQ(first.clients.size(), 1u);
    const ClientTemplate& lady = first.clients[0];
    EXPECT_EQ(lady.name, "lady");
    EXPECT_EQ(lady.vip, 1);
    EXPECT_EQ(lady.spawnMin, 1.5f);
    EXPECT_EQ(lady.spawnMax, 3.0f);
    EXPECT_EQ(lady.spawnWeight, 2.0f);
    EXPECT_EQ(lady.extOrder, 0.5f);
    EXPECT_EQ(lady.multiOrder, 0.25f);
    EXPECT_EQ(lady.orderTemplate, "pair");
    ASSERT_EQ(first.objects.size(), 1u);
    EXPECT_EQ(first.objects[0].skin, "gold");
    EXPECT_EQ(model.stages[1].money, -1) << "absent money";
    EXPECT_EQ(model.stages[1].windowEvent, 1);
    EXPECT_EQ(model.stages[1].upgradeSkin, 1);
    EXPECT_EQ(model.stages[2].windowEvent, 0);
    ASSERT_EQ(model.addList.size(), 2u) << "any element child is an entry";
    EXPECT_EQ(model.addList[0].objects.size(), 2u);
    EXPECT_EQ(model.addList[1].name, "b");
    ASSERT_EQ(model.skinList.size(), 1u);
    ASSERT_EQ(model.orderTemplates.size(), 1u);
    ASSERT_EQ(model.orderTemplates[0].lists.size(), 2u);
    EXPECT_EQ(model.orderTemplates[0].lists[0].orders[0].weight, 2.0f);
    model.stageIndex = 7;
    EXPECT_EQ(model.TemplateStage(), &model.stages[2]) << "past the end: the last stage";

    LevelTimelines timelines;
    EXPECT_EQ(timelines.Ratio(), 0.0f) << "no timeline";
    timelines.Read(level);
    timelines.Prepare();
    ASSERT_EQ(timelines.clientsRun.size(), 3u);
    EXPECT_EQ(timelines.clientsRun[0].event, "first");
    EXPECT_EQ(timelines.clientsRun[1].event, "late") << "equal times keep their order";
    EXPECT_EQ(timelines.clientsRun[2].event, "later");
    EXPECT_EQ(timelines.clientsRun[0].vip, 1);
    EXPECT_EQ(timelines.clientsRun[0].windowEvent, "window_day");
    EXPECT_EQ(timelines.clientsRun[0].orders, (std::vector<std::string>{"0101", "0201"}));
    EXPECT_EQ(timelines.stereoSystemRun.size(), 1u);
    EXPECT_EQ(timelines.Ratio(), 1.0f);
    timelines.clientsRun.erase(timelines.clientsRun.begin());
    EXPECT_FLOAT_EQ(timelines.Ratio(), 2.0f / 3.0f);
    timelines.Clear();
    EXPECT_TRUE(timelines.clients.empty());
    EXPECT_TRUE(timelines.clientsRun.empty());
}

} // namespace

namespace {

// A level file of a few megabytes could hold hundreds of thousands of
// entries; each list is read up to its limit, with one warning past it.
TEST(LevelModel, ListsAreReadUpToTheirLimits) {
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    OfficeApp app(prefs.File("pref.dat"));
    app.mNoWindow = true;
    auto repeat = [](const std::string& text, size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i) out += text;
        return out;
    };
    const std::string point = "<time_point time='1' event='a'/>";
    using Count = size_t (*)(const SurvivalModel&);
    struct Case {
        const char* what;
        std::string level;  // inside "level"
        Count count;
        size_t expected;
    } cases[] = {
        {"time points", "<events_queue><clients_timeline>" + repeat(point, 5000) + "</clients_timeline></events_queue>",
         [](const SurvivalModel&) { return gLevelTimelines.clients.size(); }, kMaxTimePoints},
        {"time points over two timelines",
         repeat("<events_queue><clients_timeline>" + repeat(point, 3000) + "</clients_timeline></events_queue>", 2),
         [](const SurvivalModel&) { return gLevelTimelines.clients.size(); }, kMaxTimePoints},
        {"orders of a time point",
         "<events_queue><clients_timeline><time_point><orders>" + repeat("<order name='x'/>", 100) +
             "</orders></time_point></clients_timeline></events_queue>",
         [](const SurvivalModel&) { return gLevelTimelines.clients.at(0).orders.size(); }, kMaxLevelSubEntries},
        {"stages", "<stages>" + repeat("<stage money='1'/>", 300) + "</stages>",
         [](const SurvivalModel& m) { return m.stages.size(); }, kMaxLevelEntries},
        {"clients of a stage", "<stages><stage>" + repeat("<clients name='c'/>", 100) + "</stage></stages>",
         [](const SurvivalModel& m) { return m.stages.at(0).clients.size(); }, kMaxLevelSubEntries},
        {"order lists of a template",
         "<order_template template='t'>" + repeat("<order_list><orders order='o'/></order_list>", 100) +
             "</order_template>",
         [](const SurvivalModel& m) { return m.orderTemplates.at(0).lists.size(); }, kMaxLevelSubEntries},
        {"orders of a list",
         "<order_template template='t'><order_list>" + repeat("<orders order='o'/>", 300) + "</order_list></order_template>",
         [](const SurvivalModel& m) { return m.orderTemplates.at(0).lists.at(0).orders.size(); }, kMaxLevelEntries},
    };
    for (const Case& c : cases) {
        XmlDocument doc = Parse(("<level>" + c.level + "</level>").c_str());
        const size_t before = app.Warnings().size();
        gLevelTimelines.Clear();
        gLevelTimelines.Read(doc.child("level"));
        SurvivalModel model;
        model.Read(doc.child("level"));
        EXPECT_EQ(c.count(model), c.expected) << c.what;
        EXPECT_EQ(app.Warnings().size() - before, 1u) << c.what;
    }
    gLevelTimelines.Clear();
}

TEST(Vec2, LengthAndNormalised) {
    struct Case {
        Vec2 v;
        float length;
        Vec2 unit;
    };
    const Case cases[] = {{{3, 4}, 5, {0.6f, 0.8f}}, {{0, -2}, 2, {0, -1}}, {{0, 0}, 0, {0, 0}}};
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(c.v.Length(), c.length) << c.v.x << "," << c.v.y;
        EXPECT_FLOAT_EQ(c.v.Normalized().x, c.unit.x) << c.v.x << "," << c.v.y;
        EXPECT_FLOAT_EQ(c.v.Normalized().y, c.unit.y) << c.v.x << "," << c.v.y;
    }
}

} // namespace
