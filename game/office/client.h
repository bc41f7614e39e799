#pragma once
#include <string>
#include <vector>
#include "game/office/client_slots.h"
#include "game/office/game_params.h"
#include "game/office/pickable.h"

// A client at a client place: spawned from a client definition into its
// slot, it decides on its orders, waits for the boss to take and bring them,
// pays by its patience and orders again or leaves. Patience drains while it
// waits; run dry, the client leaves angrily and costs money and a life;
// below the definition's scandal level it makes scandals that lower every
// other client's patience. A visit may start with a call on the phone.
class Client : public Pickable, public SlotClient {
public:
    // `state`: the visit's steps; -1 after construction and reset.
    enum State {
        kArrived = 0,     // shown; starts waiting next frame
        kWaiting = 1,     // for the boss to take the order
        kDeciding = 2,
        kOrdered = 3,
        kServing = 4,     // waiting for the order to be delivered
        kDelivered = 5,
        kPaying = 6,
        kLeaving = 7,
        kNoWork = 8,
        kCalling = kStateCalling,
        kInactive = kStateIdle,
    };
    // Index into ClientMoodAnimNames; -1 is none.
    enum Mood {
        kMoodNone = -1,
        kMoodGreen = 0,
        kMoodYellow = 1,
        kMoodRed = 2,
        kMoodThinking = 3,
        kMoodPresentation = 4,
        kMoodCoffee = 5,
        kMoodContent = 6,
        kMoodAngry = 7,
        kMoodGratitude = 8,
        kMoodScandal = 9,
    };
    // Tutorial events a client sends or asks about.
    static constexpr int kEventVisit = 1;      // a visit starts; also gates patience changes
    static constexpr int kEventOrderTaken = 3;
    static constexpr int kEventOneOrder = 4;
    static constexpr int kEventMoreOrders = 9;
    // Below this the patience has run out.
    static constexpr float kPatienceEmpty = 0.0001f;
    static constexpr float kPatienceFull = 100.0f;
    // The tens-digit mood change stays quiet above this.
    static constexpr float kTensMoodLimit = 99.0f;

    Client();
    ~Client() override;

    // Item.
    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    void Reset() override;
    void OnCommand(XmlNode node) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;
    void Update() override;
    // The boss takes an order or brings it; the secretary brings coffee.
    bool Interact(Item* other, int phase, int& value) override;

    // SlotClient.
    Pickable* GetClientObject() override { return this; }
    int GetClientState() const override { return state_; }
    bool Spawn(const std::string& defName, bool byPhone, int slot, const std::vector<std::string>& orders) override;
    void OnPresentation() override;
    void OnPhoneAnswered() override;
    const std::string& GetDefName() const override { return defName_; }

    // StatusSource.
    bool IsShown() override;
    bool GetFlag() override { return hovered_ != 0; }
    // The boss carries exactly this client's current order.
    bool GetFlag2() override;
    // The patience, or while calling the ring time left in percent (false then).
    bool GetValue(float& value) override;
    bool GetIconName(bool& lastOrder, std::string& name) override;
    bool GetName(std::string&) override { return false; }

    void ShowClient();
    bool NextOrder();
    void AddPatience(float delta);
    // Whole money only; negative amounts are losses.
    void Pay(float amount);
    void SetMood(int mood, bool lock, bool force);
    void UpdateMood();
    // Every other active client that is not calling loses (or gains) patience.
    void ScandalEffect(float delta);

    int GetState() const { return state_; }
    const ClientDef* GetDef() const { return def_; }
    float GetPatience() const { return patience_; }
    int GetMood() const { return mood_; }
    bool IsMoodLocked() const { return moodLocked_ != 0; }
    bool IsScandalActive() const { return scandalActive_ != 0; }
    int GetOrderIndex() const { return orderIndex_; }
    const std::vector<std::string>& GetOrders() const { return orders_; }
    float GetServiceTime() const { return serviceTime_; }
    float GetTimer() const { return timer_; }
    const std::string& GetDebugText() const { return debugText_; }

private:
    // The next order becomes the current one and its service time starts.
    void GiveOrder();
    void PayForOrder();
    void UpdatePatience();
    void UpdateCalling();
    bool IsCallTaken() const;
    bool IsLastOrder() const;
    void ShowCash(int amount);

    const ClientDef* def_ = nullptr;
    int state_ = -1;
    int orderIndex_ = -1;
    std::vector<std::string> orders_;
    std::string defName_;
    std::string debugText_;
    float serviceTime_ = 0.0f;
    float timer_ = 0.0f;
    float patience_ = 0.0f;
    uint8_t scandalActive_ = 0;
    float scandalTimer_ = 0.0f;
    int mood_ = kMoodNone;
    uint8_t moodLocked_ = 0;
    uint8_t hovered_ = 0;
};
