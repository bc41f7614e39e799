#include "game/office/bonus_chain.h"
#include <algorithm>
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/office/item_bonus.h"
#include "game/office/level_link.h"
#include "game/office/office_globals.h"

void BonusChain::Load(XmlNode office) {
    stages_.clear();
    current_ = -1;
    OfficeApp* app = GetApp();
    TextTable* loc = app ? app->GetLocTable() : nullptr;
    for (XmlNode config : office.children("bonus_config")) {
        float rush = 0.0f;
        if (XmlGetAttrFloat(config, "rush_timeout", rush)) {
            rushTimeout_ = rush;
            hasRushTimeout_ = true;
        }
        for (XmlNode element : config.children("bonus_stages")) {
            Stage stage;
            XmlGetAttrInt(element, "action", stage.actions);
            if (XmlGetAttrInt(element, "bonus", stage.money))
                stage.money = std::clamp(stage.money, -kMaxBonus, kMaxBonus);
            std::string key;
            if (XmlGetAttrString(element, "loc_str", key) && loc) stage.text = loc->Lookup(key);
            stages_.push_back(std::move(stage));
        }
    }
}

void BonusChain::Step(int kind, Item* object) {
    if (kind == kBreak) {
        count_ = 0;
        time_ = 0.0f;
        current_ = -1;
        return;
    }
    if (kind != kAdvance) return;
    ++count_;
    time_ = 0.0f;
    for (size_t i = 0; i < stages_.size(); ++i) {
        if (stages_[i].actions == count_) {
            current_ = static_cast<int>(i);
            break;
        }
    }
    if (current_ >= 0) AwardStage(object);
}

void BonusChain::AwardStage(Item* object) {
    const Stage* stage = GetCurrentStage();
    if (stage == nullptr) return;
    if (object && gBonusObject) gBonusObject->Show(ItemBonus::kBonus, object, stage->money, stage->text);
    LevelLink::AddMoney(stage->money);
}

void BonusChain::Step(float seconds) {
    time_ += seconds;
    if (hasRushTimeout_ && time_ >= rushTimeout_) Step(kBreak, nullptr);
}
