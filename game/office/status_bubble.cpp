#include "game/office/status_bubble.h"
#include <cstdio>
#include "game/office/level_link.h"
#include "game/office/skin.h"
#include "game/office/status_source.h"

namespace {

// A break's countdown moves the cloud to the empty chair. Both parts take both
// pairs: were each to take one, the clock would float far from its cloud.
constexpr EffectPoint kTimerOffsets[] = {{-31, 51}, {25, -25}};
constexpr EffectPoint kTimerOffset{kTimerOffsets[0].x + kTimerOffsets[1].x, kTimerOffsets[0].y + kTimerOffsets[1].y};

bool Shakes(const std::string& icon) { return icon == "snore" || icon == "scandal"; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string OrderAnim(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0%03x", value);
    return text;
}

void SetOffset(Skin* part, EffectPoint offset) {
    if (part) part->EffectOffset() = offset;
}

void StopPart(Skin* part) {
    if (part) part->Stop();
}

} // namespace

StatusBubble::StatusBubble() = default;

StatusBubble::~StatusBubble() = default;

const char* StatusBubble::BubbleShape(StatusHp::OwnerKind kind, bool lastOrder, const std::string& icon) {
    switch (kind) {
    case StatusHp::kWorker:
        if (icon == "sleep" || icon == "timer") return "cloud";
        if (icon == "snore") return "aggro";
        return "right";
    case StatusHp::kClient:
        if (icon == "scandal") return "aggro";
        return lastOrder ? "right" : "multi_right";
    default:
        return "right";
    }
}

std::string StatusBubble::TimerAnim(float left) {
    if (left > 0.8f) return "timer00";
    if (left > 0.6f) return "timer01";
    if (left > 0.4f) return "timer02";
    if (left > 0.2f) return "timer03";
    if (left > 0.0f) return "timer04";
    return "timer";
}

bool StatusBubble::ProductAnims(const std::string& code, std::string& first, std::string& second) {
    if (code.size() < 4 || code[0] != '0') return false;
    const int kind = HexDigit(code[1]);
    const int item = HexDigit(code[3]);
    if (kind < 0 || item < 0) return false;
    second.clear();
    if (kind == 1) {
        first = code;
        return true;
    }
    first = OrderAnim(0x100 + item);
    second = OrderAnim(kind * 0x100);
    return true;
}

void StatusBubble::Load(XmlNode node) {
    Item::Load(node);
    bubblePart_ = FindPartByName("status_bubble");
    typePart_ = FindPartByName("status_type");
    productPart1_ = FindPartByName("status_production", 0);
    productPart2_ = FindPartByName("status_production", 1);
    for (Skin* part : {bubblePart_, typePart_, productPart1_, productPart2_}) {
        if (part) part->AcquireImages();
    }
    kind_ = StatusHp::FindStatusOwner(name_, owner_, source_);
    if (owner_) SetPos(owner_->GetPosX(), owner_->GetPosY());
}

void StatusBubble::SetActive(bool active) {
    Item::SetActive(active);
    if (active) {
        lastOrderFlag_ = 0;
        currentIcon_.clear();
        visible_ = 0;
        for (Skin* part : {bubblePart_, typePart_, productPart1_, productPart2_}) StopPart(part);
        SetEventEnabled("product_highlight", false);
    } else {
        if (HasEvent("product_highlight") && IsEventEnabled("product_highlight")) {
            FireEvent("hide_product_highlight");
            SetEventEnabled("product_highlight", false);
        }
        if (Shakes(currentIcon_)) {
            FireEvent("shake_stop");
            bool lastOrder = false;
            std::string icon;
            if (source_ && source_->GetIconName(lastOrder, icon)) ShowIcon(lastOrder, icon);
        }
    }
    SetVisible(active);
}

void StatusBubble::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    visible_ = 0;
    SetActive(false);
}

void StatusBubble::Update() {
    Item::Update();
    if (!IsActive() && IsVisible()) return;
    // Without an owner there is nothing to show, whatever a level command said.
    const bool shown = source_ != nullptr && source_->IsShown();
    bool lastOrder = false;
    std::string icon;
    if (shown != IsActive()) {
        SetActive(shown);
        if (shown && source_->GetIconName(lastOrder, icon)) {
            lastOrderFlag_ = lastOrder ? 1 : 0;
            ShowIcon(lastOrder, icon);
        }
    }
    if (!shown) return;
    if (!source_->GetIconName(lastOrder, icon)) {
        currentIcon_.clear();
        return;
    }
    lastOrderFlag_ = lastOrder ? 1 : 0;
    if (Shakes(currentIcon_) && icon != currentIcon_) {
        FireEvent("shake_stop");
        ShowIcon(lastOrder, icon);
    }
    if (Shakes(icon) && icon != currentIcon_) {
        FireEvent("shake_start");
        ShowIcon(lastOrder, icon);
    }
    if (kind_ == StatusHp::kClient) {
        const bool carried = !icon.empty() && LevelLink::BossCarries() == icon;
        const bool lit = HasEvent("product_highlight") && IsEventEnabled("product_highlight");
        if (carried && HasEvent("product_highlight") && !lit) {
            SetEventEnabled("product_highlight", true);
            FireEvent("product_highlight");
        } else if (!carried && lit) {
            FireEvent("hide_product_highlight");
            SetEventEnabled("product_highlight", false);
        }
    }
    if (icon == "timer") ShowIcon(lastOrder, icon);
    currentIcon_ = icon;
}

void StatusBubble::ShowIcon(bool lastOrder, const std::string& icon) {
    StatusHp::PlayIfNew(bubblePart_, BubbleShape(kind_, lastOrder, icon));
    std::string first, second;
    if (!icon.starts_with("0") || !ProductAnims(icon, first, second)) {
        if (icon == "timer") {
            SetOffset(bubblePart_, kTimerOffset);
            SetOffset(typePart_, kTimerOffset);
            float left = 0.0f;
            if (source_) source_->GetValue(left);
            StatusHp::PlayIfNew(typePart_, TimerAnim(left));
        } else {
            SetOffset(bubblePart_, {});
            SetOffset(typePart_, {});
            StatusHp::PlayIfNew(typePart_, icon);
        }
        StopPart(productPart1_);
        StopPart(productPart2_);
    } else {
        SetOffset(bubblePart_, {});
        SetOffset(typePart_, {});
        StatusHp::PlayIfNew(productPart1_, first);
        if (second.empty()) {
            StopPart(productPart2_);
        } else {
            StatusHp::PlayIfNew(productPart2_, second);
        }
        StopPart(typePart_);
    }
    for (Skin* part : {bubblePart_, typePart_, productPart1_, productPart2_}) {
        if (part) part->AcquireImages();
    }
}
