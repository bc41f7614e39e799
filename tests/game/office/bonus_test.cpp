#include "game/office/bonus_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/app/tables.h"
#include "game/office/anim_file.h"
#include "game/office/item_bonus.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/skin.h"
#include "game/office/worker_board.h"
#include "game/office/worker.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/sample_game.h"

namespace {

using officetest::FrameTime;

// The sample game's level screen and office, no day loaded.
class BonusTest : public testsupport::SampleGame {
protected:
    void StartApp() override {
        SampleGame::StartApp();
        level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        ASSERT_NE(gBonusObject, nullptr);
        gBonusObject->SetVisibleFlag(true);
        gBonusObject->SetActive(true);
    }
    // A chain read from "office" children given as text.
    void LoadChain(BonusChain& chain, const std::string& configs) {
        ASSERT_TRUE(doc.load_string(("<office>" + configs + "</office>").c_str()));
        chain.Load(doc.child("office"));
    }
    // The visible popup parts of a name, in part order.
    static std::vector<Skin*> Shown(const char* name) {
        std::vector<Skin*> out;
        for (const auto& part : gBonusObject->GetParts()) {
            if (part->GetName() == name && part->GetVisibleFlag()) out.push_back(part.get());
        }
        return out;
    }
    static void Run(float seconds) {
        FrameTime frame(0.05f);
        for (float t = 0; t < seconds; t += 0.05f) gBonusObject->Update();
    }

    LevelScreen* level = nullptr;
    pugi::xml_document doc;
};

TEST_F(BonusTest, StagesThreeAndFiveAwardOnEveryStepFromThere) {
    BonusChain chain;
    LoadChain(chain, R"(<bonus_config rush_timeout="2">
                          <bonus_stages action="3" bonus="10" loc_str="bonus_chain_3"/>
                          <bonus_stages action="5" bonus="25" loc_str="bonus_chain_5"/>
                        </bonus_config>)");
    Item* worker = FindObject("worker02a");
    struct Case {
        int kind;
        int money;   // booked by this step
    };
    const Case steps[] = {{1, 0}, {1, 0}, {1, 10}, {1, 10}, {1, 25}, {1, 25}, {1, 25},
                          {0, 0}, {1, 0}, {1, 0}, {1, 10}};
    int step = 0;
    for (const Case& c : steps) {
        const int before = level->GetMoney();
        chain.Step(c.kind, worker);
        EXPECT_EQ(level->GetMoney() - before, c.money) << "step " << step;
        ++step;
    }
    ASSERT_NE(chain.GetCurrentStage(), nullptr);
    EXPECT_EQ(chain.GetCurrentStage()->text, app->GetLocTable()->Lookup("bonus_chain_3"));
    EXPECT_FALSE(chain.GetCurrentStage()->text.empty());
    // The award shows at the worker's "bonus" place with the stage's text.
    std::vector<Skin*> shown = Shown("bonus");
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back()->GetText(), chain.GetCurrentStage()->text);
}

TEST_F(BonusTest, RushTimeoutBreaksTheRun) {
    struct Case {
        const char* what;
        const char* configs;
        bool timesOut;
        float timeout;
        size_t stages;
    };
    const Case cases[] = {
        {"a time-out of 0 breaks at the next update", R"(<bonus_config rush_timeout="0"><bonus_stages action="2"/></bonus_config>)", true, 0, 1},
        {"no time-out: never", R"(<bonus_config><bonus_stages action="2"/></bonus_config>)", false, 0, 1},
        {"configurations append, the last time-out wins",
         R"(<bonus_config rush_timeout="0"><bonus_stages action="2"/></bonus_config>
            <bonus_config rush_timeout="7"><bonus_stages action="4"/><bonus_stages/></bonus_config>
            <bonus_config><bonus_stages action="6"/></bonus_config>)", true, 7, 4},
    };
    for (const Case& c : cases) {
        BonusChain chain;
        LoadChain(chain, c.configs);
        EXPECT_EQ(chain.GetStages().size(), c.stages) << c.what;
        EXPECT_EQ(chain.HasRushTimeout(), c.timesOut) << c.what;
        EXPECT_EQ(chain.GetRushTimeout(), c.timeout) << c.what;
        chain.Step(BonusChain::kAdvance, nullptr);
        chain.Step(c.timeout > 0 ? c.timeout - 0.5f : 0.01f);
        EXPECT_EQ(chain.GetCount(), c.timesOut && c.timeout == 0 ? 0 : 1) << c.what;
        chain.Step(1.0f);
        EXPECT_EQ(chain.GetCount(), c.timesOut ? 0 : 1) << c.what;
    }
}

TEST_F(BonusTest, AwardForNoObjectBooksWithoutAPopup) {
    BonusChain chain;
    LoadChain(chain, R"(<bonus_config><bonus_stages action="1" bonus="40"/></bonus_config>)");
    chain.Step(BonusChain::kAdvance, nullptr);
    EXPECT_EQ(level->GetMoney(), 40);
    EXPECT_TRUE(Shown("bonus").empty());
    // Without a first stage, the first step earns nothing.
    BonusChain later;
    LoadChain(later, R"(<bonus_config><bonus_stages action="2" bonus="40"/></bonus_config>)");
    later.Step(BonusChain::kAdvance, nullptr);
    EXPECT_EQ(level->GetMoney(), 40);
}

TEST_F(BonusTest, CashPopupsByAmount) {
    struct Case {
        int amount;
        const char16_t* caption;   // null: nothing shown
        uint32_t colour;           // set by the event's effect
    };
    const Case cases[] = {{0, nullptr, 0}, {30, u"$+30", 0x5AFF00FF}, {-30, u"$-30", 0xFF0000FF}};
    Item* client = FindObject("client03");
    ASSERT_NE(client, nullptr);
    Skin* place = client->FindPartByName("cash");
    ASSERT_NE(place, nullptr);
    for (const Case& c : cases) {
        gBonusObject->Show(ItemBonus::kCash, client, c.amount);
        std::vector<Skin*> shown = Shown("cash");
        if (!c.caption) {
            EXPECT_TRUE(shown.empty()) << c.amount;
            continue;
        }
        ASSERT_EQ(shown.size(), 1u) << c.amount;
        Skin* popup = shown[0];
        EXPECT_EQ(popup->GetText(), c.caption) << c.amount;
        EXPECT_EQ(popup->GetOffset().mX, place->GetOffset().mX + client->GetPosX() + client->GetOffsX());
        EXPECT_EQ(popup->GetOffset().mY, place->GetOffset().mY + client->GetPosY() + client->GetOffsY());
        Run(0.05f);
        EXPECT_EQ(popup->Color(), c.colour) << c.amount;
        Run(1.5f);
        EXPECT_FALSE(popup->GetVisibleFlag()) << c.amount << ": its effect hides it at the end";
    }
}

TEST_F(BonusTest, PopupPoolHasItsLimit) {
    Item* client = FindObject("client03");
    int cashParts = 0;
    for (const auto& part : gBonusObject->GetParts()) cashParts += part->GetName() == "cash";
    ASSERT_GE(cashParts, 3);
    for (int i = 0; i <= cashParts; ++i) gBonusObject->Show(ItemBonus::kCash, client, 10 + i);
    EXPECT_EQ(static_cast<int>(Shown("cash").size()), cashParts) << "one more while all are up shows nothing";
    EXPECT_EQ(gBonusObject->FreePart("cash"), nullptr);
    Run(1.5f);
    EXPECT_NE(gBonusObject->FreePart("cash"), nullptr) << "free again once their effects ended";
    gBonusObject->Show(ItemBonus::kCash, FindObject("trash_bin"), 10);
    EXPECT_TRUE(Shown("cash").empty()) << "a target without a cash place";
    gBonusObject->Show(ItemBonus::kCash, nullptr, 10);
    EXPECT_TRUE(Shown("cash").empty());
}

// What the sample office gives the workers, the chain and the popups.
TEST_F(BonusTest, SampleDataOfWorkersAndBonuses) {
    int cash = 0, bonus = 0;
    for (const auto& part : gBonusObject->GetParts()) {
        if (part->GetName() == "cash") {
            ++cash;
            EXPECT_TRUE(part->HasMessage("on_cash") && part->HasMessage("on_penalty")) << "one effect for both";
        } else if (part->GetName() == "bonus") {
            ++bonus;
            EXPECT_TRUE(part->HasMessage("on_bonus"));
        }
    }
    EXPECT_GE(cash, 3);
    EXPECT_GE(bonus, 2);

    const BonusChain* chain = level->GetBonusChain();
    ASSERT_NE(chain, nullptr);
    EXPECT_GE(chain->GetStages().size(), 2u);
    EXPECT_TRUE(chain->HasRushTimeout());
    for (pugi::xpath_node xn : gOfficeDoc->select_nodes("/office/bonus_config/bonus_stages")) {
        const std::string key = OfficeText(xn.node(), "loc_str");
        EXPECT_TRUE(app->GetLocTable()->Has(key)) << key;
    }

    // The worker reactions end, so the worker returns to its own look.
    const char* const reactions[] = {"attention", "disruption_reaction", "conference_reaction", "disruptive_action",
                                     "idle_usual", "idle_done"};
    ASSERT_FALSE(gWorkers.empty());
    ASSERT_FALSE(gWorkerDefs.empty());
    for (Worker* worker : gWorkers) {
        Skin* up = worker->FindPartByName(Worker::kReactionPart);
        ASSERT_NE(up, nullptr) << worker->GetName();
        EXPECT_NE(worker->FindPartByName("bonus"), nullptr) << worker->GetName() << ": a place for chain popups";
        for (const auto& [skin, def] : gWorkerDefs) {
            for (const char* reaction : reactions) {
                const AnimRecord* record = up->GetPlayer()->FindRecord(Worker::kReactionPart + skin + reaction);
                ASSERT_NE(record, nullptr) << skin << " " << reaction;
                EXPECT_NE(record->block.mode, kAnimLoop) << skin << " " << reaction;
                EXPECT_GE(record->block.frameCount, 2) << skin << " " << reaction;
            }
        }
    }

    // Each worker and its table come before its board and indicators.
    std::vector<std::string> order;
    for (Item* item : gObjects) order.push_back(item->GetName());
    auto at = [&](const std::string& name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    for (Worker* worker : gWorkers) {
        const std::string& name = worker->GetName();
        const std::string table = "table" + name.substr(6);
        for (const std::string& after : {name + "_hp", name + "_bubble"}) {
            EXPECT_LT(at(name), at(after)) << after;
            EXPECT_LT(at(table), at(after)) << after;
        }
    }
    for (Item* item : gObjects) {
        auto* board = dynamic_cast<Specialization*>(item);
        if (board == nullptr) continue;
        ASSERT_NE(board->GetWorker(), nullptr) << board->GetName();
        ASSERT_NE(board->GetTable(), nullptr) << board->GetName();
        EXPECT_LT(at(board->GetWorker()->GetName()), at(board->GetName()));
        EXPECT_LT(at(board->GetTable()->GetName()), at(board->GetName()));
    }
}

} // namespace
