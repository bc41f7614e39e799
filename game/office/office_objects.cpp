#include "game/office/office_objects.h"
#include "game/office/item.h"

std::vector<Item*> gObjects;
std::vector<Pickable*> gPickables;
float gFrameTime = 0.0f;
ZOrder* gZOrder = nullptr;

Item* FindObject(std::string_view name) {
    for (Item* item : gObjects) {
        if (item->GetName() == name) return item;
    }
    return nullptr;
}
