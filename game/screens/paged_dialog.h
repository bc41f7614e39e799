#pragma once
#include <vector>
#include "game/screens/screen_kit.h"

class UiButton;

// A dialog that pages through its page children with prev and next arrows
// and closes with close. Children whose name holds the page word are pages.
class PagedDialog : public Screen {
public:
    UiButton* mPrev = nullptr;
    UiButton* mNext = nullptr;
    UiButton* mClose = nullptr;
    std::vector<UiControl*> mPages;
    int mCurrent = -1;

    PagedDialog(OfficeApp* app, const char* pageWord) : Screen(nullptr, app), mPageWord(pageWord) {}

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void ListNames(ScreenNames& names) const override;

    // Hides the current page, shows page n (none outside the pages); the
    // arrows are enabled where there is a page to go to.
    void SetPage(int n);

private:
    const char* mPageWord;
};
