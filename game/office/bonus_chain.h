#pragma once
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/level_screens.h"

class Item;

// Rewards a quick run of successful actions: each success counts up, and at a
// configured count the player earns that stage's money, shown at the object
// that acted. A pause longer than the rush time-out, or a failure, starts
// the count again. The level owns one and steps its timer.
class BonusChain : public LevelBonus {
public:
    // Step kinds.
    static constexpr int kBreak = 0;
    static constexpr int kAdvance = 1;

    // A stage's bonus money is held to +-kMaxBonus as it is read, as the
    // office's tuning values are: one award never takes the money to its limit.
    static constexpr int kMaxBonus = 1000000;

    struct Stage {
        int actions = 0;
        int money = 0;
        std::u16string text;
    };

    // Every "bonus_config" child of the office element appends its
    // "bonus_stages"; the last "rush_timeout" given wins.
    void Load(XmlNode office);
    void Step(int kind, Item* object);
    // Shows the current stage at the object (when there is one) and books its money.
    void AwardStage(Item* object);

    // LevelBonus.
    void Reset() override { Step(kBreak, nullptr); }
    void Step(float seconds) override;
    void Action(int kind, Item* object) override { Step(kind, object); }

    const std::vector<Stage>& GetStages() const { return stages_; }
    const Stage* GetCurrentStage() const { return current_ >= 0 ? &stages_[static_cast<size_t>(current_)] : nullptr; }
    int GetCount() const { return count_; }
    float GetTime() const { return time_; }
    // Absent when no configuration names one: the chain then never times out.
    bool HasRushTimeout() const { return hasRushTimeout_; }
    float GetRushTimeout() const { return rushTimeout_; }

private:
    std::vector<Stage> stages_;
    int current_ = -1;     // index into stages_, -1 for none
    int count_ = 0;
    float time_ = 0.0f;
    float rushTimeout_ = 0.0f;
    bool hasRushTimeout_ = false;
};
