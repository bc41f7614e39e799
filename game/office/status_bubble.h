#pragma once
#include <cstdint>
#include <string>
#include "game/office/item.h"
#include "game/office/status_hp.h"

class StatusSource;

// The speech or thought bubble over a worker, a client or the phone: the
// owner's icon (a countdown refreshed every frame, or an order code drawn by
// two product parts), a shape by owner and icon, shaking while the owner
// snores or makes a scandal, and a client's wanted product highlighted while
// the boss carries it.
class StatusBubble : public Item {
public:
    StatusBubble();
    ~StatusBubble() override;

    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    void OnCommand(XmlNode node) override;
    void Update() override;

    void ShowIcon(bool lastOrder, const std::string& icon);

    // The bubble's shape for an owner kind and icon.
    static const char* BubbleShape(StatusHp::OwnerKind kind, bool lastOrder, const std::string& icon);
    // "timer" with the suffix of the time left (a fraction), "timer" alone at none.
    static std::string TimerAnim(float left);
    // The animations of the two product parts for an order code; the second
    // is empty when the first shows the code alone. False for a code that is
    // not an order (too short, not beginning with "0").
    static bool ProductAnims(const std::string& code, std::string& first, std::string& second);

    Item* GetOwnerItem() const { return owner_; }
    StatusHp::OwnerKind GetOwnerKind() const { return kind_; }
    const std::string& GetCurrentIcon() const { return currentIcon_; }

private:
    Item* owner_ = nullptr;
    StatusSource* source_ = nullptr;
    StatusHp::OwnerKind kind_ = StatusHp::kNone;
    Skin* bubblePart_ = nullptr;
    Skin* typePart_ = nullptr;
    Skin* productPart1_ = nullptr;
    Skin* productPart2_ = nullptr;
    uint8_t lastOrderFlag_ = 0;
    std::string currentIcon_;
};
