#pragma once
#include <string>
#include "game/screens/screen_kit.h"

class UiButton;

// The day's briefing over the office ("briefing"): the boss, the day's text
// and the month's calendar with the day marked, or the day's own picture
// ("brief_l<day>") when there is one. Continue starts the play.
class BriefingDialog : public Screen {
public:
    // The calendar cell of the day on the month page: 25 by 38 pixels a cell.
    static constexpr int kCellWidth = 25;
    static constexpr int kCellHeight = 38;

    HeldPicture mBoss;
    HeldPicture mCalendar;
    UiButton* mContinue = nullptr;
    UiControl* mNewflash = nullptr;
    UiControl* mBriefingText = nullptr;
    UiControl* mCallendarMark = nullptr;
    UiControl* mContextHelp = nullptr;

    BriefingDialog(OfficeApp* app, XmlNode layouts);

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;

    void SetText(const std::u16string& text);
};

// Where a career day's cell lies on a month page of cells of the given size
// whose first cell starts at (x, y).
Zephra::Point CalendarMarkAt(int day, int x, int y, int cellWidth, int cellHeight);

// The keyboard goes back to the office; nothing without a level in the tree.
void FocusLevel(OfficeApp* app);
