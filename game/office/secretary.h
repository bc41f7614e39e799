#pragma once
#include "game/office/person.h"

// Fetches coffee cups from the coffee machine for clients and gives
// presentations; walks home when idle.
class Secretary : public Person {
public:
    enum DisplayState { kIdle = 0, kMovingEmpty = 1, kMovingWithCup = 2, kPresenting = 3 };
    // Wait code of a presentation.
    static constexpr int kPresentationEnded = 2;
    static constexpr const char* kCup = "coffe_cup";

    Secretary() : Person(true, false) {}

    void SetActive(bool active) override;
    void QueueTarget(Item* item) override;
    Item* ExchangeTarget(Item* item) override;
    bool Interact(Item* other, int phase, int& value) override;
    void OnNotify(int code) override;
    void Update() override;
    float GetMoveSpeed() const override;

    int GetDisplayState() const { return displayState_; }
    bool CarriesCup() const { return stateKey_ == kCup; }
    bool ReturnsHome() const { return returnsHome_ != 0; }

    // Whose name begins with "client": a client or a client's place.
    static bool IsClientObject(const Item* item);

private:
    // Sets the orientation (not passed on) and starts the animation on the
    // parts that know it, with the orientation.
    void Show(const char* animName, const char* orientation);

    int displayState_ = kIdle;
};
