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

// The help pictures ("help"), over everything, from the main menu and the
// escape menu.
class HelpDialog : public PagedDialog {
public:
    HelpDialog(OfficeApp* app, XmlNode layouts);
    void OnShow() override;
    void OnHide() override;
};

// The career and survival hiscore tables ("hiscores"): page 0 the career,
// page 1 survival, ten lines each, the current player's lines highlighted.
class HiscoresDialog : public PagedDialog {
public:
    HiscoresDialog(OfficeApp* app, XmlNode layouts);
    void OnShow() override;
    void OnHide() override;
    void ListNames(ScreenNames& names) const override;

private:
    void FillTable(int page, bool survival);
};
