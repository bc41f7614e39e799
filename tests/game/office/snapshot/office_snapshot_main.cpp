// Draws the sample office into a PNG: office_snapshot <game folder> <out.png>
#include <cstdio>
#include "framework/resources/image_lib.h"
#include "game/app/office_app.h"
#include "tests/game/office/snapshot/office_snapshot.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <game folder> <out.png>\n", argv[0]);
        return 2;
    }
    OfficeApp app;
    app.mNoWindow = true;
    Zephra::MemoryImage picture;
    std::string error;
    if (!officesnap::DrawOffice(argv[1], picture, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!Zephra::ImageLib::WritePngImage(argv[2], picture, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
        return 1;
    }
    return 0;
}
