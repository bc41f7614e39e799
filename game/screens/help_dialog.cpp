#include "game/screens/help_dialog.h"

#include "framework/app/widget_manager.h"

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
