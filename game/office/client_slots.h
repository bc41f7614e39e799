#pragma once
#include <string>
#include <vector>
#include "game/office/status_source.h"

class Pickable;

// What the level, the phone and the persons ask of a client: the client class
// implements it and takes its slot when it loads.
class SlotClient : public StatusSource {
public:
    static constexpr int kStateCalling = 9;   // ringing the phone
    static constexpr int kStateIdle = 10;     // no visit under way

    virtual Pickable* GetClientObject() = 0;
    virtual int GetClientState() const = 0;
    // Starts a visit of the named client definition; false when the office has none.
    virtual bool Spawn(const std::string& defName, bool byPhone, int slot,
                       const std::vector<std::string>& orders) = 0;
    virtual void OnPresentation() = 0;
    virtual void OnPhoneAnswered() = 0;
    virtual const std::string& GetDefName() const = 0;
};

constexpr int kClientSlotCount = 8;
// The eight client slots and the number of filled ones; the level clears them.
extern SlotClient* gClientSlots[kClientSlotCount];
extern int gClientSlotCount;

namespace ClientSlots {
// Stores the client in the slot and counts it; a slot outside 0..7 is ignored.
void Add(SlotClient* client, int slot);
SlotClient* Get(int slot);
// The first slot whose client is idle and not visible; -1 when none.
int FindIdle();
// The first slot client of that object name, or null.
SlotClient* FindByName(const std::string& name);
// A client that is visible or active, in any slot.
bool AnyPresent();
// The presentation reaches every active slot client that is not calling.
void UpdateAll();
void Clear();
} // namespace ClientSlots
