#include "game/app/sound.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <cstdlib>
#include <SDL_mixer.h>
#include "framework/resources/resource_manager.h"
#include "tests/game/app/game_folder.h"
#include "tests/support/recording_sounds.h"

using gametest::GameFolder;

namespace {

// Runs on SDL's dummy audio driver (the test environment sets it).
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        std::string error;
        device = AudioDevice::Open(&error);
        ASSERT_NE(device, nullptr) << error;
        folder.Write("sounds/long.wav", gametest::MakeWav(3000));
        folder.Write("sounds/short.wav", gametest::MakeWav(200));
        folder.Write("sounds/bad.wav", "RIFF....WAVEnothing");
    }
    void TearDown() override {
        music.reset();
        sounds.reset();
        device.reset();
    }
    void MakeSounds() {
        sounds = std::make_unique<SoundManager>(*device);
        std::string error;
        ASSERT_TRUE(sounds->AddSound("steps", "sounds\\long.wav", "game", true, error)) << error;
        ASSERT_TRUE(sounds->AddSound("ring", "sounds\\long.wav", "game", false, error)) << error;
        ASSERT_TRUE(sounds->AddSound("hover", "sounds\\long.wav", "menu", false, error)) << error;
    }
    GameFolder folder;
    std::unique_ptr<AudioDevice> device;
    std::unique_ptr<SoundManager> sounds;
    std::unique_ptr<MusicManager> music;
};

TEST_F(SoundTest, UnknownAndBrokenSounds) {
    MakeSounds();
    sounds->Play("nothing");
    EXPECT_EQ(sounds->CreateInstance("nothing"), nullptr);
    std::string error;
    EXPECT_FALSE(sounds->AddSound("bad", "sounds\\bad.wav", "game", false, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(sounds->AddSound("gone", "sounds\\gone.wav", "game", false, error));
    EXPECT_FALSE(sounds->HasSound("bad"));
    sounds->PauseGroup("no such group");
    sounds->StopGroup("no such group");
    EXPECT_EQ(sounds->ActiveChannels("game"), 0);
}

TEST_F(SoundTest, ObserverSeesEveryKnownSoundAskedFor) {
    MakeSounds();
    std::unique_ptr<SoundInstance> ring(sounds->CreateInstance("ring"));
    {
        testsupport::RecordingSounds seen;
        sounds->Play("hover");
        sounds->Play("nothing");
        ring->Play();
        sounds->Play("hover");
        EXPECT_EQ(seen.played, (std::vector<std::string>{"hover", "ring", "hover"})) << "unknown names play nothing";
    }
    EXPECT_EQ(GetSoundPlayObserver(), nullptr) << "the observer leaves with its recorder";
    sounds->Play("hover");
}

TEST_F(SoundTest, InstancePlayStopAndResume) {
    MakeSounds();
    std::unique_ptr<SoundInstance> steps(sounds->CreateInstance("steps"));
    ASSERT_NE(steps, nullptr);
    EXPECT_FALSE(steps->IsPlaying());
    steps->Play();
    EXPECT_TRUE(steps->IsPlaying());
    steps->Play();  // already playing: still one channel
    EXPECT_EQ(sounds->ActiveChannels("game"), 1);
    steps->Stop();
    EXPECT_FALSE(steps->IsPlaying());
    EXPECT_EQ(sounds->ActiveChannels("game"), 0);
    steps->Stop();

    steps->Play();
    sounds->PauseGroup("game");
    EXPECT_TRUE(steps->IsPaused());
    steps->Play();  // resumes the paused channel
    EXPECT_TRUE(steps->IsPlaying());
    EXPECT_EQ(sounds->ActiveChannels("game"), 1);

    // Deleting a playing instance stops its channel.
    steps.reset();
    EXPECT_EQ(sounds->ActiveChannels("game"), 0);
}

TEST_F(SoundTest, GroupsPauseResumeAndStopTheirOwnChannels) {
    MakeSounds();
    std::unique_ptr<SoundInstance> steps(sounds->CreateInstance("steps"));
    steps->Play();
    sounds->Play("ring");
    sounds->Play("ring");
    sounds->Play("hover");
    EXPECT_EQ(sounds->ActiveChannels("game"), 3);
    EXPECT_EQ(sounds->ActiveChannels("menu"), 1);

    sounds->PauseGroup("game");
    EXPECT_TRUE(steps->IsPaused());
    int pausedGame = 0;
    for (int ch = 0; ch < SoundManager::kChannels; ++ch)
        if (Mix_Playing(ch) && Mix_Paused(ch)) ++pausedGame;
    EXPECT_EQ(pausedGame, 3);  // the menu sound plays on

    sounds->ResumeGroup("game");
    EXPECT_TRUE(steps->IsPlaying());
    for (int ch = 0; ch < SoundManager::kChannels; ++ch) EXPECT_FALSE(Mix_Paused(ch) && Mix_Playing(ch));

    sounds->StopGroup("game");
    EXPECT_EQ(sounds->ActiveChannels("game"), 0);
    EXPECT_FALSE(steps->IsPlaying());
    EXPECT_EQ(sounds->ActiveChannels("menu"), 1);
    steps->Play();  // an instance plays again after its group was stopped
    EXPECT_TRUE(steps->IsPlaying());
}

TEST_F(SoundTest, VolumeIsClamped) {
    MakeSounds();
    sounds->SetVolume(150);
    EXPECT_EQ(sounds->GetVolume(), 100);
    EXPECT_EQ(Mix_Volume(0, -1), MIX_MAX_VOLUME);
    sounds->SetVolume(-20);
    EXPECT_EQ(sounds->GetVolume(), 0);
    EXPECT_EQ(Mix_Volume(0, -1), 0);
    sounds->SetVolume(50);
    EXPECT_EQ(Mix_Volume(0, -1), MIX_MAX_VOLUME / 2);

    music = std::make_unique<MusicManager>(*device);
    music->SetVolume(1000);
    EXPECT_EQ(music->GetVolume(), 100);
    EXPECT_EQ(Mix_VolumeMusic(-1), MIX_MAX_VOLUME);
    music->SetVolume(-1);
    EXPECT_EQ(Mix_VolumeMusic(-1), 0);
}

TEST_F(SoundTest, InstancesOutlivingTheirManagerAreInert) {
    MakeSounds();
    std::unique_ptr<SoundInstance> steps(sounds->CreateInstance("steps"));
    steps->Play();
    sounds.reset();
    EXPECT_FALSE(steps->IsPlaying());
    steps->Play();
    steps->Stop();
}

TEST_F(SoundTest, ReplacingASoundStopsItsChannels) {
    MakeSounds();
    std::unique_ptr<SoundInstance> steps(sounds->CreateInstance("steps"));
    steps->Play();
    std::string error;
    ASSERT_TRUE(sounds->AddSound("steps", "sounds\\short.wav", "menu", false, error));
    EXPECT_FALSE(steps->IsPlaying());
    EXPECT_EQ(sounds->ActiveChannels("game"), 0);
    steps->Play();
    EXPECT_EQ(sounds->ActiveChannels("menu"), 1);
}

TEST_F(SoundTest, MusicSwitchesAtOnceWithoutFade) {
    folder.Write("music/a.wav", gametest::MakeWav(1000));
    folder.Write("music/b.wav", gametest::MakeWav(1000));
    music = std::make_unique<MusicManager>(*device);
    std::string error;
    ASSERT_TRUE(music->AddMusic("a", "music\\a.wav", error)) << error;
    ASSERT_TRUE(music->AddMusic("b", "music\\b.wav", error)) << error;
    EXPECT_FALSE(music->AddMusic("c", "music\\missing.wav", error));
    music->SetFadeMs(0);
    music->Play("a");
    EXPECT_EQ(music->Current(), "a");
    EXPECT_TRUE(Mix_PlayingMusic());
    music->Play("nothing");
    EXPECT_EQ(music->Current(), "a");
    music->Play("b");
    EXPECT_EQ(music->Current(), "b");
    EXPECT_TRUE(music->Pending().empty());
    music->Stop();
    EXPECT_TRUE(music->Current().empty());
    EXPECT_FALSE(Mix_PlayingMusic());
}

TEST_F(SoundTest, MusicCrossFades) {
    folder.Write("music/a.wav", gametest::MakeWav(2000));
    folder.Write("music/b.wav", gametest::MakeWav(2000));
    music = std::make_unique<MusicManager>(*device);
    std::string error;
    ASSERT_TRUE(music->AddMusic("a", "music\\a.wav", error)) << error;
    ASSERT_TRUE(music->AddMusic("b", "music\\b.wav", error)) << error;
    music->SetFadeMs(30);
    music->Play("a");  // nothing to fade out: starts fading in at once
    EXPECT_EQ(music->Current(), "a");
    music->Play("a");
    EXPECT_TRUE(music->Pending().empty());
    music->Play("b");
    EXPECT_EQ(music->Current(), "a");
    EXPECT_EQ(music->Pending(), "b");
    EXPECT_EQ(Mix_FadingMusic(), MIX_FADING_OUT);
    // Wait (bounded) for the audio thread to finish the fade-out.
    for (int i = 0; i < 500 && !music->Pending().empty(); ++i) {
        SDL_Delay(10);
        music->Update();
    }
    EXPECT_EQ(music->Current(), "b");
    EXPECT_TRUE(music->Pending().empty());
    EXPECT_TRUE(Mix_PlayingMusic());
}

// A WAVE file of the given format; declared overrides the data chunk's length.
std::string Wave(uint32_t rate, uint16_t channels, uint16_t bits, size_t dataBytes, long long declared = -1) {
    std::string b;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF)); };
    auto u16 = [&](uint16_t v) { b.push_back(static_cast<char>(v & 0xFF)); b.push_back(static_cast<char>(v >> 8)); };
    b += "RIFF";
    u32(static_cast<uint32_t>(36 + dataBytes));
    b += "WAVEfmt ";
    u32(16); u16(1); u16(channels); u32(rate); u32(rate * channels * bits / 8);
    u16(static_cast<uint16_t>(channels * bits / 8)); u16(bits);
    b += "data";
    u32(declared < 0 ? static_cast<uint32_t>(dataBytes) : static_cast<uint32_t>(declared));
    b.append(dataBytes, '\x40');
    return b;
}

// The wave with one more chunk inserted before its first.
std::string WithChunkFirst(const std::string& wave, const std::string& id, const std::string& body) {
    std::string chunk = id;
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<char>((body.size() >> (8 * i)) & 0xFF));
    return wave.substr(0, 12) + chunk + body + wave.substr(12);
}

// One Ogg page holding one packet.
std::string OggPage(const std::string& packet, int declaredExtra = 0) {
    std::string b = "OggS";
    b += std::string(22, '\0');
    b += static_cast<char>(1);
    b += static_cast<char>(packet.size() + declaredExtra);
    return b + packet;
}

// Files a modder might hand the game: each is refused with its reason before
// the decoder sees it; the sound and music managers keep nothing of it.
TEST_F(SoundTest, HostileSoundFilesAreRefusedBeforeDecoding) {
    std::string vorbisHead = std::string("\x01vorbis", 7) + std::string(4, '\0') + "\x02" + std::string("\x44\xAC\0\0", 4);
    vorbisHead += std::string(12, '\0') + "\xB8\x01";
    struct Case {
        const char* what;
        std::string file;
        const char* why;  // empty: loads
    };
    const Case cases[] = {
        {"1 Hz, upsampled 44100 times", Wave(1, 1, 16, 4000), "rate of 1 Hz"},
        {"2 GB data chunk in 44 bytes", Wave(22050, 1, 16, 0, 0x7FFFFFF0), "declares 2147483632 bytes"},
        {"no channels", Wave(22050, 0, 16, 100), "0 channels"},
        {"zero bits", Wave(22050, 1, 0, 100), "0 bits per sample"},
        {"8 MB of 8-bit mono at 22 kHz", Wave(22050, 1, 8, 8u << 20), "more than 64 MB"},
        {"a MIDI file", "MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xFF\x2F\0", "neither"},
        {"an Ogg page cut short", OggPage(vorbisHead, 40), "declares 70 bytes, 30 remain"},
        {"Opus in Ogg", OggPage(std::string("OpusHead") + std::string(30, '\1')), "not Vorbis"},
        {"Vorbis with 200 channels", OggPage(vorbisHead.substr(0, 11) + "\xC8" + vorbisHead.substr(12)), "200 channels"},
        // A decoder reads the first chunk of a kind: 22,016 channels at 1,140,859,392 Hz.
        {"an absurd format chunk before a sane one",
         WithChunkFirst(Wave(22050, 1, 16, 100), "fmt ", Wave(1140859392u, 22016, 16, 0).substr(20, 16)),
         "second format chunk"},
        {"two data chunks", WithChunkFirst(Wave(22050, 1, 16, 100), "data", std::string(4000, '\x40')),
         "second data chunk"},
        {"a format chunk too short to read",
         WithChunkFirst(Wave(22050, 1, 16, 100).substr(0, 12), "fmt ", std::string("\1\0\1\0", 4)),
         "format chunk of 4 bytes"},
        {"a plain short sound", gametest::MakeWav(50), ""},
    };
    sounds = std::make_unique<SoundManager>(*device);
    music = std::make_unique<MusicManager>(*device);
    for (const Case& c : cases) {
        folder.Write("sounds/hostile.wav", c.file);
        std::string error;
        bool ok = sounds->AddSound("hostile", "sounds\\hostile.wav", "game", false, error);
        EXPECT_EQ(ok, *c.why == 0) << c.what << ": " << error;
        EXPECT_EQ(sounds->HasSound("hostile"), ok) << c.what;
        if (!ok) {
            EXPECT_NE(error.find(c.why), std::string::npos) << c.what << ": " << error;
        }
        // Music checks the same header, but not the decoded size: it streams.
        std::string musicError;
        bool musicOk = music->AddMusic("hostile", "sounds\\hostile.wav", musicError);
        if (std::string(c.why).find("MB") == std::string::npos) {
            EXPECT_EQ(musicOk, ok) << c.what << ": " << musicError;
        }
        sounds = std::make_unique<SoundManager>(*device);
        music = std::make_unique<MusicManager>(*device);
    }
}

TEST_F(SoundTest, TablesTakeFilesFromTheManifest) {
    folder.Write("properties/resources.xml",
                 "<resources><group id=\"Game\">"
                 "<sound id=\"SND_LONG\" path=\"sounds\\long.wav\"/><sound id=\"SND_BAD\" path=\"sounds\\bad.wav\"/>"
                 "<music id=\"MUS_A\" path=\"sounds\\short.wav\"/></group></resources>");
    folder.Write("cfg/sounds.xml",
                 "<audio><sounds>"
                 "<sound name=\"steps\" res=\"SND_LONG\" group=\"game\" loop=\"true\"/>"
                 "<sound name=\"bad\" res=\"SND_BAD\"/><sound name=\"none\" res=\"SND_NONE\"/><sound name=\"x\"/>"
                 "</sounds><music><stream name=\"menu\" res=\"MUS_A\"/><stream name=\"gone\" res=\"MUS_GONE\"/></music>"
                 "</audio>");
    Zephra::ResourceManager resources;
    ASSERT_TRUE(resources.ParseResourcesFile());
    MakeSounds();
    music = std::make_unique<MusicManager>(*device);
    std::vector<std::string> errors;
    EXPECT_EQ(sounds->LoadTable(resources, "cfg\\sounds.xml", errors), 1);
    EXPECT_EQ(errors.size(), 3u);
    errors.clear();
    EXPECT_EQ(music->LoadTable(resources, "cfg\\sounds.xml", errors), 1);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(music->HasMusic("menu"));
    std::unique_ptr<SoundInstance> steps(sounds->CreateInstance("steps"));
    ASSERT_NE(steps, nullptr);
    steps->Play();
    EXPECT_EQ(sounds->ActiveChannels("game"), 1);
    errors.clear();
    EXPECT_EQ(sounds->LoadTable(resources, "cfg\\missing.xml", errors), 0);
    EXPECT_EQ(errors.size(), 1u);
}

} // namespace
