#pragma once
#include <memory>
#include "game/office/pickable.h"
#include "game/office/status_source.h"

class SlotClient;
class SoundInstance;

// The phone a client rings before its visit; the boss answers it.
class Phone : public Pickable, public StatusSource {
public:
    Phone();
    ~Phone() override;

    void SetActive(bool active) override;
    // Accepts the boss only; the boss does the rest.
    bool Interact(Item* other, int phase, int& value) override;

    void Ring(SlotClient* client);
    void StopRinging();
    // The caller hears the call was answered.
    void NotifyCaller();
    void ForgetCaller() { caller_ = nullptr; }
    bool IsRinging() const { return ringing_ != 0; }
    // Set once the boss took the call, until the phone rings again.
    bool IsAnswered() const { return answered_ != 0; }
    SlotClient* GetCaller() const { return caller_; }

    bool IsShown() override;
    bool GetFlag() override { return true; }
    bool GetFlag2() override { return true; }
    bool GetValue(float& value) override;
    bool GetIconName(bool& lastOrder, std::string& name) override;
    bool GetName(std::string&) override { return false; }

private:
    SlotClient* caller_ = nullptr;
    uint8_t ringing_ = 0;
    uint8_t answered_ = 0;
    std::unique_ptr<SoundInstance> ringSound_;
};
