#include "tests/game/office/snapshot/office_snapshot.h"
#include <memory>
#include <vector>
#include "framework/graphics/graphics.h"
#include "framework/resources/image_lib.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/office/item.h"
#include "game/office/office.h"
#include "game/office/office_config.h"
#include "game/office/office_globals.h"
#include "game/office/z_order.h"
#include "game/office/office_objects.h"

namespace officesnap {

bool DrawOffice(const std::string& gameDir, Zephra::MemoryImage& out, std::string& error) {
    PakSetGameDir(gameDir);
    InstallGameFileAccess(true);
    Office office;
    const bool loaded = office.Load();
    if (!loaded) error = office.LastError();

    out.Create(kWidth, kHeight);
    {
        Zephra::Graphics g(&out);
        Zephra::MemoryImage ground;
        if (Zephra::ImageLib::LoadImage(kGroundPath, ground, error)) g.DrawImage(&ground, 0, 0);
        if (loaded) {
            // Objects of classes the program does not build yet stand in as
            // plain items, so the whole sample shows.
            std::vector<std::unique_ptr<Item>> standIns;
            for (XmlNode object : gOfficeDoc->child("office").child("objects").children("object")) {
                if (FindObjectFactory(object.attribute("class").as_string())) continue;
                standIns.push_back(std::make_unique<Item>());
                standIns.back()->LoadFromConfig(object);
            }
            // What a day's command does to every object it names.
            XmlDocument command;
            command.append_child("object").append_attribute("anim") = "idle";
            for (Item* item : gObjects) item->OnCommand(command.child("object"));
            // The money and bonus popups show only while money is earned.
            if (Item* popups = FindObject("bonus")) popups->SetVisible(false);
            office.BuildDrawOrder();
            office.Draw(g);
            gZOrder->Reset();
        }
    }
    InstallGameFileAccess(false);
    return loaded;
}

} // namespace officesnap
