#include "game/office/phone.h"
#include "game/app/office_app.h"
#include "game/office/client_slots.h"
#include "game/office/skin.h"

Phone::Phone() {
    OfficeApp* app = GetApp();
    if (app && app->GetSoundManager()) ringSound_.reset(app->GetSoundManager()->CreateInstance("phone_ring"));
}

Phone::~Phone() = default;

void Phone::SetActive(bool active) {
    Pickable::SetActive(active);
    caller_ = nullptr;
    ringing_ = 0;
    if (active) {
        StopRinging();
    } else {
        // The ring must not outlive the phone's part in the day.
        if (ringSound_) ringSound_->Stop();
        for (auto& part : parts_) part->ReleaseImages();
    }
}

bool Phone::Interact(Item* other, int phase, int&) {
    if (other == nullptr || other->GetName() != "boss") return false;
    if (phase == 0 && ringing_) answered_ = 1;
    return true;
}

void Phone::Ring(SlotClient* client) {
    caller_ = client;
    answered_ = 0;
    PlayAnim("ring");
    ringing_ = 1;
    if (ringSound_) ringSound_->Play();
}

void Phone::StopRinging() {
    PlayAnim("idle");
    ringing_ = 0;
    if (ringSound_) ringSound_->Stop();
}

void Phone::NotifyCaller() {
    if (caller_) caller_->OnPhoneAnswered();
}

bool Phone::IsShown() { return caller_ != nullptr && ringing_; }

bool Phone::GetValue(float& value) {
    if (caller_ == nullptr || !ringing_) return false;
    caller_->GetValue(value);
    return true;
}

bool Phone::GetIconName(bool&, std::string& name) {
    if (caller_ == nullptr) return false;
    name = caller_->GetDefName();
    return true;
}
