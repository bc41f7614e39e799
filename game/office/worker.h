#pragma once
#include <memory>
#include <string>
#include "game/office/game_params.h"
#include "game/office/item.h"
#include "game/office/status_source.h"

class SoundInstance;

// A worker at a table: takes an order paper whose code it can transform,
// works for a time its stamina decides, then holds the transformed code
// until the boss collects it. Working drains stamina; at none it sleeps and
// snores, disturbing the others; idle workers recover and now and then take
// a break at the mini bar. Registered in gWorkers; reached through its table
// ("table" + the same suffix).
class Worker : public Item, public StatusSource {
public:
    // `state`; 2 and 3 are not used by the worker itself.
    enum State {
        kInactive = -1,
        kIdle = 0,         // waiting for a paper or holding finished work
        kWorking = 1,
        kWantsBreak = 4,
        kOnBreak = 5,      // at the mini bar, hidden
        kAsleep = 6,
    };
    // The part whose finished reactions count down.
    static constexpr const char* kReactionPart = "worker_up";

    Worker();
    ~Worker() override;

    // The first worker whose name the text begins with (an indicator named
    // after its worker finds it), or null.
    static Worker* FindByName(const std::string& text);

    void SetActive(bool active) override;
    void OnCommand(XmlNode node) override;
    void Update() override;
    // Phase 1 remembers what the person carries and writes the state into
    // value; phase 0 acts on what was remembered.
    bool Interact(Item* other, int phase, int& value) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;

    // StatusSource.
    bool IsShown() override;
    bool GetFlag() override;
    bool GetFlag2() override { return false; }
    bool GetValue(float& value) override;
    bool GetIconName(bool& lastOrder, std::string& name) override;
    bool GetName(std::string& name) override;
    using Item::GetName;

    std::string GetSpecialization() const { return transformTo_; }

    void SetState(int state);
    // Back from the mini bar: shown, full stamina, idle.
    void EndBreak();
    void RollBreakIntent();
    void AddStamina(float delta);
    bool IsProtected() const;
    bool CanTake(const std::string& code) const;
    bool IsWorkDone() const;
    void TransformCode();
    // What the worker makes of a code it takes; empty for one it refuses.
    std::string ProductOf(const std::string& code) const;
    void PlayReaction(const std::string& name, int count);
    // Every other visible, awake worker is disturbed by a snore.
    void Disrupt();
    // Only while asleep: back to the held work or to working on the paper.
    void WakeUp();
    // Sent by the boss to every visible worker when his conference ends.
    void OnConferenceEnd();
    void ResetWorker();

    int GetState() const { return state_; }
    float GetStamina() const { return stamina_; }
    void SetStamina(float stamina) { stamina_ = stamina; }
    float GetProgress() const { return progress_; }
    float GetBreakIntent() const { return breakIntent_; }
    float GetProtectTime() const { return protectTime_; }
    float GetBreakTime() const { return breakTime_; }
    void SetBreakTime(float seconds) { breakTime_ = seconds; }
    bool IsSnoring() const { return snoring_ != 0; }
    bool IsHovered() const { return hovered_ != 0; }
    const std::string& GetTransformFrom() const { return transformFrom_; }
    const std::string& GetTransformTo() const { return transformTo_; }
    const std::string& GetReaction() const { return reaction_; }
    const std::string& GetBaseAnim() const { return baseAnim_; }
    const WorkerDef& GetDef() const { return def_; }
    Item* GetTable() const { return table_; }

private:
    bool BossBlocksBreak() const;
    void GiveMoney();
    void ChooseBaseAnim();
    void StartReaction();
    void StartIdleUsual();
    void FindTable();

    Item* table_ = nullptr;
    int state_ = kInactive;
    uint8_t hovered_ = 0;
    std::string transformFrom_;
    std::string transformTo_;
    std::string baseAnim_;
    std::string reaction_;
    int reactionCount_ = 0;
    float stamina_ = 100.0f;
    float progress_ = 0.0f;
    float snoreTimer_ = 0.0f;
    uint8_t snoring_ = 0;
    float breakIntent_ = 0.0f;
    float protectTime_ = 0.0f;
    int baseAnimIndex_ = -1;
    WorkerDef def_;
    std::unique_ptr<SoundInstance> snoreSound_;
    float breakTime_ = 0.0f;
    uint8_t startingReaction_ = 0;
    // What the person carried at phase 1 of the current interaction.
    std::string offered_;
};
