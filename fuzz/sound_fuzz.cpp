// Sound files as the game's sound code takes them: decoded as a sound and
// played, then opened as a music stream.
#include <memory>
#include <string>
#include "fuzz/fuzz_support.h"
#include "game/app/sound.h"

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AudioDevice* device = &fuzz::Audio();
    fuzz::WriteGameFile("sounds/fuzz.wav", data, size);
    {
        SoundManager sounds(*device);
        std::string error;
        if (sounds.AddSound("fuzz", "sounds\\fuzz.wav", "game", false, error)) {
            FUZZ_CHECK(sounds.HasSound("fuzz"), "added sound missing");
            sounds.Play("fuzz");
            std::unique_ptr<SoundInstance> instance(sounds.CreateInstance("fuzz"));
            FUZZ_CHECK(instance != nullptr, "no instance");
            instance->Play();
            instance->Stop();
            sounds.StopGroup("game");
        } else {
            FUZZ_CHECK(!error.empty() && !sounds.HasSound("fuzz"), "failure without a reason");
        }
    }
    {
        MusicManager music(*device);
        std::string error;
        if (!music.AddMusic("fuzz", "sounds\\fuzz.wav", error))
            FUZZ_CHECK(!error.empty() && !music.HasMusic("fuzz"), "failure without a reason");
    }
    return 0;
}
