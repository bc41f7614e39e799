#include "game/screens/help_dialog.h"

#include <string>
#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/ui/ui_button.h"
#include "platform/text.h"

void PagedDialog::AddChild(const std::string& name, UiControl* control) {
    UiControl::AddChild(name, control);
    if (Bind(name, "prev_btn", control, mPrev) || Bind(name, "next_btn", control, mNext) ||
        Bind(name, "close", control, mClose))
        return;
    if (name.find(mPageWord) != std::string::npos) {
        mPages.push_back(control);
        control->SetVisible(false);
    }
}

void PagedDialog::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (is(mClose)) {
        Hide();
    } else if (is(mPrev)) {
        SetPage(mCurrent - 1);
    } else if (is(mNext)) {
        SetPage(mCurrent + 1);
    }
}

void PagedDialog::SetPage(int n) {
    const int count = static_cast<int>(mPages.size());
    if (mCurrent >= 0 && mCurrent < count) mPages[static_cast<size_t>(mCurrent)]->Hide();
    mCurrent = n;
    const bool inside = mCurrent >= 0 && mCurrent < count;
    if (inside) mPages[static_cast<size_t>(mCurrent)]->Show();
    EnableControl(mPrev, inside && mCurrent != 0);
    EnableControl(mNext, inside && mCurrent != count - 1);
}

void PagedDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"prev_btn", mPrev}, {"next_btn", mNext}, {"close", mClose}});
}

HelpDialog::HelpDialog(OfficeApp* app, XmlNode layouts) : PagedDialog(app, "page") { LoadByName(layouts, "help"); }

void HelpDialog::OnShow() {
    if (mWidgetManager) mWidgetManager->BringToFront(this);
    SetPage(0);
    SetLevelFocus(false);
}

void HelpDialog::OnHide() {
    SetPage(-1);
    SetLevelFocus(true);
}

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
