#pragma once
#include "game/screens/paged_dialog.h"

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
