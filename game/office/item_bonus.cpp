#include "game/office/item_bonus.h"
#include <cstdio>
#include "game/app/game_util.h"
#include "game/office/skin.h"

namespace {

constexpr int kRestWidth = 100;
constexpr int kShowWidth = 204;
constexpr int kCaptionHeight = 30;

std::u16string Widen(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

} // namespace

void ItemBonus::SetActive(bool active) {
    Item::SetActive(active);
    for (auto& part : parts_) {
        part->PlayAnim("idle", false);
        part->SetText(u"$", kRestWidth, kCaptionHeight);
        part->SetVisibleFlag(false);
    }
}

Skin* ItemBonus::FreePart(const std::string& name) const {
    for (const auto& part : parts_) {
        if (part->GetName() == name && !part->GetVisibleFlag()) return part.get();
    }
    return nullptr;
}

void ItemBonus::Show(int kind, Item* target, int amount, const std::u16string& text) {
    if (amount == 0 || target == nullptr) return;
    if (kind != kBonus && kind != kCash) return;
    const char* name = kind == kBonus ? "bonus" : "cash";
    Skin* popup = FreePart(name);
    if (popup == nullptr) return;
    Skin* place = target->FindPartByName(name);
    if (place == nullptr) return;

    const Zephra::Point at = place->GetOffset();
    popup->SetOffset({at.mX + target->GetPosX() + target->GetOffsX(), at.mY + target->GetPosY() + target->GetOffsY()});
    popup->SetBaseScalePoint(place->GetBaseScalePoint());

    std::u16string caption = text;
    if (kind == kCash) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, amount > 0 ? "$%+i" : "$%-i", amount);
        caption = Widen(buffer);
    }
    if (kind == kCash && caption.empty()) return;
    popup->SetText(caption, kShowWidth, kCaptionHeight);
    popup->SetVisibleFlag(true);
    if (kind == kBonus) {
        popup->FireMessage("on_bonus");
    } else {
        popup->FireMessage(amount > 0 ? "on_cash" : "on_penalty");
    }
    popup->SetVisibleFlag(true);
}
