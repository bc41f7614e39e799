#pragma once
#include "game/office/item.h"

// An office object the player can click: counts clicks, tests clickability,
// forwards hovers to its owner and shows up to two queue signs ("checkmark"
// parts) for the persons queued to it. Registered in gPickables.
class Pickable : public Item {
public:
    static constexpr int kQueueSigns = 2;

    Pickable();
    ~Pickable() override;

    virtual void OnClick() { ++clicks_; }
    virtual void ResetClicks() { clicks_ = 0; }
    // Active, visible and allowed (by the tutorial rules).
    virtual bool IsClickable(bool allowed) const;

    void SetActive(bool active) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;
    void OnCommand(XmlNode node) override;

    void InitQueueSigns();
    // Shows the next queue sign; only a trace when none is left.
    void FlagQueued();
    // Hides the sign shown last.
    void UnflagQueued();

    int GetClicks() const { return clicks_; }
    Skin* GetQueueSign(int i) const { return queueSigns_[i]; }
    bool IsQueueSignShown(int i) const { return queueSignShown_[i] != 0; }

protected:
    Skin* queueSigns_[kQueueSigns] = {nullptr, nullptr};
    uint8_t queueSignShown_[kQueueSigns] = {0, 0};
    int clicks_ = 0;
};
