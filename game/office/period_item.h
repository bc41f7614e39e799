#pragma once
#include <string>
#include "game/office/pickable.h"

// A reloading item (safe, coffee machine, conference place, cupboard,
// presentation place, air conditioner, stereo system): after each use it
// counts visible, active frame time up to a rolled timeout and becomes ready.
// For the air conditioner and the stereo system ready means broken.
class PeriodItem : public Pickable {
public:
    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    void Update() override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;
    // The boss, the secretary and the engineer, while ready and when they do
    // not already carry this item's thing.
    bool Interact(Item* other, int phase, int& value) override;

    void SetReady(bool ready);
    bool IsReady() const { return ready_ != 0; }
    float GetElapsed() const { return elapsed_; }
    float GetTimeout() const { return timeout_; }
    bool HasReloadParams() const { return minTimeout_ != nullptr && maxTimeout_ != nullptr; }
    Skin* GetSignalPart() const { return signalPart_; }

private:
    void RollTimeout();
    void ShowSignal(bool shown, bool withEvents);

    uint8_t hoverShown_ = 0;
    const float* minTimeout_ = nullptr;
    const float* maxTimeout_ = nullptr;
    float elapsed_ = 0.0f;
    float timeout_ = 0.0f;
    uint8_t ready_ = 0;
    std::string thing_;
    Skin* signalPart_ = nullptr;
};
