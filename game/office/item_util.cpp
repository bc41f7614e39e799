#include "game/office/item_util.h"
#include "game/app/office_app.h"
#include "game/office/item.h"

void PlayOfficeSound(const std::string& name) {
    OfficeApp* app = GetApp();
    if (app && app->GetSoundManager()) app->GetSoundManager()->Play(name);
}

void SwitchHover(Item& item, uint8_t& hoverShown, bool hovered, const char* rest, bool backToRest) {
    if (hovered && !hoverShown) {
        if (item.GetAnimName() == rest) item.PlayAnim("hover");
    } else if (!hovered && hoverShown) {
        if (item.GetAnimName() == "hover" && backToRest) item.PlayAnim(rest);
    }
    hoverShown = hovered ? 1 : 0;
}
