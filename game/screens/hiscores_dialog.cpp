#include "game/screens/hiscores_dialog.h"

#include <string>
#include "game/app/office_app.h"
#include "platform/text.h"

HiscoresDialog::HiscoresDialog(OfficeApp* app, XmlNode layouts) : PagedDialog(app, "scores") {
    LoadByName(layouts, "hiscores");
}

void HiscoresDialog::OnShow() {
    SetPage(0);
    FillTable(1, true);
    FillTable(0, false);
}

void HiscoresDialog::OnHide() { SetPage(-1); }

void HiscoresDialog::FillTable(int page, bool survival) {
    if (mApp == nullptr || page >= static_cast<int>(mPages.size())) return;
    const RecordTable::Table& table = mApp->GetRecordTable().GetTable(survival);
    const std::u16string& player = mApp->GetCurrentProfile().name;
    TextTable* vars = mApp->GetTextVars();
    for (size_t i = 0; i < table.size(); ++i) {
        UiControl* line = mPages[static_cast<size_t>(page)]->FindChild("line" + std::to_string(i));
        if (line == nullptr) continue;
        const HiscoreEntry& entry = table[i];
        EnableControl(line->FindChild("back"), entry.name == player);
        // The name reaches the label through a variable, whose value is shown
        // as it stands: a '%' in a player's name is no variable.
        const std::string var = "hiscorename" + std::to_string(page) + "_" + std::to_string(i);
        vars->Set(var, entry.name);
        SetLabel(line->FindChild("text1"), platform::Utf8ToUtf16("%" + var + "%"));
        SetLabel(line->FindChild("text2"),
                 entry.name.empty() ? std::u16string() : platform::Utf8ToUtf16(std::to_string(entry.score)));
    }
}

void HiscoresDialog::ListNames(ScreenNames& names) const {
    PagedDialog::ListNames(names);
    for (size_t page = 0; page < 2; ++page) {
        const UiControl* p = page < mPages.size() ? mPages[page] : nullptr;
        const std::string prefix = "scores page " + std::to_string(page) + " ";
        names.members.emplace_back(prefix, p);
        for (int i = 0; i < 10; ++i) {
            const UiControl* line = p ? p->FindChild("line" + std::to_string(i)) : nullptr;
            const std::string l = prefix + "line" + std::to_string(i);
            names.members.emplace_back(l, line);
            for (const char* part : {"back", "text1", "text2"})
                names.members.emplace_back(l + " " + part, line ? line->FindChild(part) : nullptr);
        }
    }
}
