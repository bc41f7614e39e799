#pragma once
#include <algorithm>
#include <string>
#include <vector>
#include "game/app/sound.h"

namespace testsupport {

// Installed for its life: records the names of the sounds the game plays.
class RecordingSounds : public SoundPlayObserver {
public:
    RecordingSounds() { SetSoundPlayObserver(this); }
    ~RecordingSounds() override {
        if (GetSoundPlayObserver() == this) SetSoundPlayObserver(nullptr);
    }
    void SoundPlayed(const std::string& name) override { played.push_back(name); }

    int Count(const std::string& name) const {
        return static_cast<int>(std::count(played.begin(), played.end(), name));
    }
    void Clear() { played.clear(); }

    std::vector<std::string> played;
};

} // namespace testsupport
