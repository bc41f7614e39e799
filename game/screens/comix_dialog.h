#pragma once
#include <string>
#include "game/screens/screen_kit.h"

class UiButton;

// The comics over the office ("comix"): five full pages, each with its button
// on; the pictures follow the player's boss ("comix<page>_<man|woman>"). Page
// 1 opens the career and leads to page 2, which can go back; pages 2 to 4 end
// in the day's briefing, page 5 (after the last day) in the menus.
class ComixDialog : public Screen {
public:
    static constexpr int kPages = 5;

    UiDialog* mPages[kPages] = {};
    UiButton* mButtons[kPages] = {};
    UiButton* mPrevBtn = nullptr;
    int mPage = 0;  // 0-based

    ComixDialog(OfficeApp* app, XmlNode layouts);

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnActivate() override;
    void OnShow() override;
    void OnHide() override;
    void ListNames(ScreenNames& names) const override;

    // Pages 1..5; others change nothing.
    void SetPage(int page);
};
