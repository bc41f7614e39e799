#include "game/screens/paged_dialog.h"

#include "game/ui/ui_button.h"

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
