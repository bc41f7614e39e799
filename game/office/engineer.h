#pragma once
#include "game/office/person.h"

// Repairs the broken air conditioner and stereo system; hidden while idle at home.
class Engineer : public Person {
public:
    static constexpr float kRepairSeconds = 5.0f;
    // Wait code of a repair.
    static constexpr int kRepairEnded = 4;

    Engineer() : Person(true, true) {}

    bool Interact(Item* other, int phase, int& value) override;
    void OnNotify(int code) override;
    void Update() override;
    float GetMoveSpeed() const override;
};
