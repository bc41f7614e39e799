#pragma once
#include <memory>
#include <string>
#include <vector>
#include "framework/graphics/memory_image.h"
#include "game/office/anim_file.h"
#include "game/office/item.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"

namespace officetest {

// A record of frameCount frames; frame i lies at x = 10 * i in the picture.
inline AnimRecord MakeRecord(const std::string& name, int mode, int fps, int frameCount, int boxWidth = 0) {
    AnimRecord record;
    record.animName = name;
    record.imageName = "images\\office\\" + name + ".png";
    record.boxWidth = boxWidth;
    record.block.mode = mode;
    record.block.fps = fps;
    record.block.frameCount = frameCount;
    for (int i = 0; i < frameCount; ++i) record.block.frames.push_back({10 * i, 0, 10, 10, 0, 0});
    return record;
}

// A picture of width x height of one ARGB colour.
inline std::shared_ptr<Zephra::MemoryImage> MakePicture(int width, int height, uint32_t argb) {
    auto image = std::make_shared<Zephra::MemoryImage>(nullptr);
    image->Create(width, height);
    std::fill(image->GetBits(), image->GetBits() + width * height, argb);
    image->BitsChanged();
    return image;
}

// Steps gFrameTime seconds per update; restores the frame time afterwards.
class FrameTime {
public:
    explicit FrameTime(float dt) : old_(gFrameTime) { gFrameTime = dt; }
    ~FrameTime() { gFrameTime = old_; }
private:
    float old_;
};

// The level seam with a hovered object and a survival flag of the test's choosing.
class FakeLevel : public OfficeLevel {
public:
    FakeLevel() { SetOfficeLevel(this); }
    ~FakeLevel() override { SetOfficeLevel(nullptr); }
    Item* GetHoveredObject() override { return hovered; }
    bool IsSurvival() override { return survival; }
    void ApplySkinEntry(const AddEntry& entry) override { entries.push_back(entry); }

    Item* hovered = nullptr;
    bool survival = false;
    std::vector<AddEntry> entries;
};

} // namespace officetest
