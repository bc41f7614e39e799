#include "game/office/client_slots.h"
#include "game/office/pickable.h"

SlotClient* gClientSlots[kClientSlotCount] = {};
int gClientSlotCount = 0;

namespace ClientSlots {

void Add(SlotClient* client, int slot) {
    if (slot < 0 || slot >= kClientSlotCount) return;
    if (gClientSlots[slot] == nullptr && client != nullptr) ++gClientSlotCount;
    if (gClientSlots[slot] != nullptr && client == nullptr) --gClientSlotCount;
    gClientSlots[slot] = client;
}

SlotClient* Get(int slot) { return slot >= 0 && slot < kClientSlotCount ? gClientSlots[slot] : nullptr; }

int FindIdle() {
    for (int i = 0; i < kClientSlotCount; ++i) {
        SlotClient* client = gClientSlots[i];
        if (client && client->GetClientState() == SlotClient::kStateIdle && !client->GetClientObject()->IsVisible())
            return i;
    }
    return -1;
}

SlotClient* FindByName(const std::string& name) {
    for (SlotClient* client : gClientSlots) {
        if (client && client->GetClientObject()->GetName() == name) return client;
    }
    return nullptr;
}

bool AnyPresent() {
    for (SlotClient* client : gClientSlots) {
        if (client && (client->GetClientObject()->IsVisible() || client->GetClientObject()->IsActive())) return true;
    }
    return false;
}

void UpdateAll() {
    for (SlotClient* client : gClientSlots) {
        if (client && client->GetClientObject()->IsActive() && client->GetClientState() != SlotClient::kStateCalling)
            client->OnPresentation();
    }
}

void Clear() {
    for (SlotClient*& client : gClientSlots) client = nullptr;
    gClientSlotCount = 0;
}

} // namespace ClientSlots
