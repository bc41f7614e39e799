#pragma once
#include <string>
#include <vector>
#include "game/office/client_slots.h"
#include "game/office/pickable.h"

namespace testsupport {

// A client in a slot that records what the level and the phone ask of it.
// A spawn shows and activates it; Leave ends the visit.
class FakeSlotClient : public Pickable, public SlotClient {
public:
    struct SpawnCall {
        std::string defName;
        bool byPhone;
        int slot;
        std::vector<std::string> orders;
    };

    explicit FakeSlotClient(const std::string& name, int slot = -1) {
        SetName(name);
        if (slot >= 0) ClientSlots::Add(this, slot);
    }
    ~FakeSlotClient() override {
        for (int i = 0; i < kClientSlotCount; ++i) {
            if (gClientSlots[i] == this) ClientSlots::Add(nullptr, i);
        }
    }

    void Leave() {
        state = kStateIdle;
        SetVisibleFlag(false);
        SetActiveFlag(false);
    }

    // As a client does: a level's command leaves it hidden and inactive until it spawns.
    void OnCommand(XmlNode node) override {
        Item::OnCommand(node);
        SetVisibleFlag(false);
        SetActive(false);
        state = kStateIdle;
    }

    Pickable* GetClientObject() override { return this; }
    int GetClientState() const override { return state; }
    bool Spawn(const std::string& defName, bool byPhone, int slot, const std::vector<std::string>& orders) override {
        spawns.push_back({defName, byPhone, slot, orders});
        state = byPhone ? kStateCalling : 0;
        defName_ = defName;
        SetVisibleFlag(!byPhone);
        SetActiveFlag(true);
        return true;
    }
    void OnPresentation() override { ++presentations; }
    void OnPhoneAnswered() override { ++answered; }
    const std::string& GetDefName() const override { return defName_; }

    bool IsShown() override { return IsActive() && (state == 0 || state == 1 || state == 4); }
    bool GetFlag() override { return false; }
    bool GetFlag2() override { return false; }
    bool GetValue(float& value) override {
        value = ringLeft;
        return state != kStateCalling;
    }
    bool GetIconName(bool&, std::string&) override { return false; }
    bool GetName(std::string&) override { return false; }

    int state = kStateIdle;
    float ringLeft = 75.0f;
    std::vector<SpawnCall> spawns;
    int presentations = 0;
    int answered = 0;

private:
    std::string defName_;
};

} // namespace testsupport
