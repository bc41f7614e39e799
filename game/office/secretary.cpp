#include "game/office/secretary.h"
#include "game/office/client_slots.h"
#include "game/office/office_globals.h"
#include "game/office/period_item.h"

bool Secretary::IsClientObject(const Item* item) { return item != nullptr && item->NameStartsWith("client"); }

void Secretary::SetActive(bool active) {
    Person::SetActive(active);
    if (!active) return;
    LoadHeldParts("secretary");
    SetOrientation("", false);
    PlayAnimIfKnown("secretary_idle", true);
    displayState_ = kIdle;
}

void Secretary::QueueTarget(Item* item) {
    // Standing at the machine, she takes the cup at once for a client.
    if (!IsWalking() && currentPoint_ == "coffeemachine" && IsClientObject(item) && gCoffeeMachine) {
        stateKey_ = gCoffeeMachine->GetStateKey();
        gCoffeeMachine->SetReady(false);
    }
    Person::QueueTarget(item);
}

Item* Secretary::ExchangeTarget(Item* item) {
    if (item == nullptr) returnsHome_ = 1;
    return Person::ExchangeTarget(item);
}

bool Secretary::Interact(Item* other, int phase, int&) {
    if (other == nullptr) return false;
    if (other->GetName() == "coffeemachine") {
        returnsHome_ = 0;
        if (!IsClientObject(NextQueuedTarget())) return false;
        if (phase == 0) stateKey_ = other->GetStateKey();
        return true;
    }
    if (other->GetName() == "presentation_place") {
        if (phase == 0) SetWait(gGameParams.presentation_timeout, kPresentationEnded);
        return true;
    }
    if (IsClientObject(other)) {
        if (phase == 0 && CarriesCup()) stateKey_.clear();
        return true;
    }
    return false;
}

void Secretary::OnNotify(int code) {
    if (code == kPresentationEnded) ClientSlots::UpdateAll();
}

void Secretary::Show(const char* animName, const char* orientation) {
    SetOrientation(orientation, false);
    PlayAnimIfKnown(animName, true);
}

void Secretary::Update() {
    Person::Update();
    switch (displayState_) {
    case kIdle:
        if (IsWalking()) {
            Show("secretary_move_empty", "tr");
            displayState_ = kMovingEmpty;
        }
        if (IsWaiting()) {
            Show("secretary_presentation", "");
            displayState_ = kPresenting;
        }
        break;
    case kMovingEmpty:
        if (!IsWalking()) {
            Show("secretary_idle", "");
            displayState_ = kIdle;
        }
        if (CarriesCup()) {
            Show("secretary_move_full", "tr");
            displayState_ = kMovingWithCup;
        }
        break;
    case kMovingWithCup:
        if (!IsWalking()) {
            Show("secretary_idle", "");
            displayState_ = kIdle;
        }
        if (!CarriesCup()) {
            Show("secretary_move_empty", "tr");
            displayState_ = kMovingEmpty;
        }
        break;
    case kPresenting:
        if (!IsWaiting()) {
            Show("secretary_idle", "");
            displayState_ = kIdle;
        }
        break;
    default:
        break;
    }
}

float Secretary::GetMoveSpeed() const { return gGameParams.secretary_move_speed; }
