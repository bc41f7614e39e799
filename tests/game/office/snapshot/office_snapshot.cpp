#include "tests/game/office/snapshot/office_snapshot.h"
#include "framework/graphics/graphics.h"
#include "framework/resources/image_lib.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/office/item.h"
#include "game/office/office.h"
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
            // What a day's command does to every object it names.
            XmlDocument command;
            command.append_child("object").append_attribute("anim") = "idle";
            for (Item* item : gObjects) item->OnCommand(command.child("object"));
            office.BuildDrawOrder();
            office.Draw(g);
        }
    }
    InstallGameFileAccess(false);
    return loaded;
}

} // namespace officesnap
