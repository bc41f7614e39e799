#include "game/office/worker_board.h"
#include "game/office/office_objects.h"
#include "game/office/worker.h"

std::string Specialization::SkinOfCode(const std::string& code) {
    if (code.size() != 4) return std::string();
    return std::string("spec_l") + code[1] + "t" + code[3];
}

void Specialization::Load(XmlNode node) {
    Item::Load(node);
    std::string workerName, tableName;
    XmlGetAttrString(node, "worker", workerName);
    XmlGetAttrString(node, "table", tableName);
    for (Item* item : gObjects) {
        if (item->GetName() == workerName) worker_ = item;
        if (item->GetName() == tableName) table_ = item;
    }
}

void Specialization::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    hover_ = 0;
    auto* worker = dynamic_cast<Worker*>(worker_);
    if (worker == nullptr) return;
    const std::string skin = SkinOfCode(worker->GetSpecialization());
    if (skin.empty()) return;
    SetSkin(skin, false);
    PlayAnim("idle");
}

bool Specialization::Interact(Item* other, int phase, int& value) {
    return table_ ? table_->Interact(other, phase, value) : false;
}

Item* Specialization::FindOwner() { return worker_ ? worker_ : this; }
