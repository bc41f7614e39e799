#pragma once
#include <string>
#include <vector>
#include "game/office/pickable.h"

// A door: a manual one opens on a click, hands itself to its target persons
// as their current target once open, and closes when none of them is visible.
class Door : public Pickable {
public:
    enum Type { kNone = 0, kManual = 1, kAuto = 2 };  // "type": "manual", "auto"

    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    void Update() override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;

    // A manual door showing "idle" opens.
    void OpenByClick();

    int GetDoorType() const { return doorType_; }
    bool IsOpened() const { return opened_ != 0; }
    const std::vector<Item*>& GetTargets() const { return targets_; }

private:
    std::vector<std::string> targetNames_;
    std::vector<Item*> targets_;
    int doorType_ = kNone;
    uint8_t opened_ = 0;
};
