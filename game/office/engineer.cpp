#include "game/office/engineer.h"
#include "game/office/office_globals.h"

bool Engineer::Interact(Item* other, int phase, int&) {
    if (other == nullptr) return false;
    const std::string& name = other->GetName();
    if (name != "stereo_system" && name != "air_conditioner") return false;
    if (phase == 0) {
        SetWait(kRepairSeconds, kRepairEnded);
        PlayAnim("engineer_repair");
    }
    return true;
}

void Engineer::OnNotify(int code) {
    if (code == kRepairEnded) PlayAnim("engineer_idle");
}

void Engineer::Update() {
    Person::Update();
    if (!IsVisible()) return;
    if (IsWalking()) {
        if (animName_ != "engineer_move") PlayAnim("engineer_move");
    } else if (!IsWaiting() || HasCurrentTarget()) {
        SetOrientation("b", false);
        if (animName_ != "engineer_idle") PlayAnim("engineer_idle");
    }
}

float Engineer::GetMoveSpeed() const { return gGameParams.engineer_move_speed; }
