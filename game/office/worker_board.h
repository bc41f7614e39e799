#pragma once
#include <string>
#include "game/office/pickable.h"

// A worker's specialization board: its skin shows the worker's code
// ("spec_l" + second digit + "t" + fourth digit) and a click on it reaches
// the table and, through it, the worker.
class Specialization : public Pickable {
public:
    // The skin of a four-character code, empty for any other.
    static std::string SkinOfCode(const std::string& code);

    void Load(XmlNode node) override;
    void OnCommand(XmlNode node) override;
    // Forwarded to the linked table; refused without one.
    bool Interact(Item* other, int phase, int& value) override;
    void OnAnimFinished(Skin*, const std::string&) override {}
    // The board stands for its worker: what is collected through it comes
    // from the worker.
    Item* FindOwner() override;

    void ClearHover() { hover_ = 0; }
    Item* GetWorker() const { return worker_; }
    Item* GetTable() const { return table_; }

private:
    Item* worker_ = nullptr;
    Item* table_ = nullptr;
    uint8_t hover_ = 0;
};
