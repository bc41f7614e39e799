#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The game's sounds and music over SDL2_mixer. The sound table "cfg\sounds.xml"
// names every sound and music stream by a game name ("click", "main_menu") and
// points it at a sound or music id of the resource manifest (docs/tables.md).

struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

namespace Zephra {
class ResourceManager;
}

// The opened audio device. Without one the game runs silent: there is then no
// sound manager and no music manager.
class AudioDevice {
public:
    // Opens the default device; null when there is none.
    static std::unique_ptr<AudioDevice> Open(std::string* error = nullptr);
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

private:
    AudioDevice() = default;
};

class SoundManager;

// Told of every sound a manager is asked to play (a known name, once or by an
// instance); tests install one to see what the game played.
class SoundPlayObserver {
public:
    virtual ~SoundPlayObserver() = default;
    virtual void SoundPlayed(const std::string& name) = 0;
};

// Not owned; null uninstalls.
void SetSoundPlayObserver(SoundPlayObserver* observer);
SoundPlayObserver* GetSoundPlayObserver();

// A sound bound to one channel at a time, owned by whoever made it. Deleting it
// stops its channel.
class SoundInstance {
public:
    ~SoundInstance();
    SoundInstance(const SoundInstance&) = delete;
    SoundInstance& operator=(const SoundInstance&) = delete;

    // Resumes the paused channel, else starts the sound unless it is playing.
    void Play();
    void Stop();
    bool IsPlaying() const;
    bool IsPaused() const;
    const std::string& Name() const { return name_; }

private:
    friend class SoundManager;
    SoundInstance(SoundManager* manager, std::string name) : manager_(manager), name_(std::move(name)) {}
    SoundManager* manager_;     // null once the manager is gone
    std::string name_;
    int channel_ = -1;
};

// Sounds by game name; each belongs to a group so that the sounds of a scene
// can be paused, resumed or stopped together.
class SoundManager {
public:
    static constexpr int kChannels = 32;
    // A sound is decoded into memory whole: larger ones are refused (about
    // six minutes of 44.1 kHz stereo).
    static constexpr uint64_t kMaxDecodedBytes = uint64_t(64) << 20;

    // The device must outlive the manager.
    explicit SoundManager(AudioDevice& device);
    ~SoundManager();
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    // Decodes the sound file at the game path; a name already present is
    // replaced. False, with the reason, when the file cannot be read or
    // decoded, is no WAVE or Ogg Vorbis file (sound_file.h) or would decode to
    // more than kMaxDecodedBytes.
    bool AddSound(const std::string& name, const std::string& path, const std::string& group,
                  bool loop, std::string& error);
    // The "sounds/sound" entries of the sound table's root, their files taken
    // from the manifest's sound ids. Entries that fail are skipped; their
    // reasons are collected in errors. Returns the number of sounds added.
    int LoadTable(const Zephra::ResourceManager& resources, const std::string& tablePath,
                  std::vector<std::string>& errors);
    bool HasSound(const std::string& name) const { return sounds_.count(name) != 0; }

    // Plays the sound once; an unknown name does nothing.
    void Play(const std::string& name);
    // A new instance owned by the caller, or null for an unknown name.
    SoundInstance* CreateInstance(const std::string& name);

    void PauseGroup(const std::string& group);
    void ResumeGroup(const std::string& group);
    void StopGroup(const std::string& group);
    // Channels of the group that are playing (paused ones included).
    int ActiveChannels(const std::string& group) const;

    // 0..100, clamped.
    void SetVolume(int volume);
    int GetVolume() const { return volume_; }

private:
    friend class SoundInstance;
    struct Sound {
        Mix_Chunk* chunk = nullptr;
        std::string group;
        bool loop = false;
    };
    struct Channel {
        const Sound* sound = nullptr;
        SoundInstance* instance = nullptr;
    };
    // Starts the sound on a free channel, recording who plays it; -1 when none is free.
    int StartChannel(const Sound& sound, SoundInstance* instance, int loops);
    // The channel still plays (or holds paused) what we started there.
    bool ChannelLive(int channel, const Sound* sound) const;
    void ForgetSound(const Sound* sound);
    const Sound* Find(const std::string& name) const;

    std::map<std::string, std::unique_ptr<Sound>> sounds_;
    std::vector<Channel> channels_;
    std::set<SoundInstance*> instances_;
    int volume_ = 100;
};

// Music streams by game name; one plays at a time, looping.
class MusicManager {
public:
    static constexpr int kDefaultFadeMs = 500;

    explicit MusicManager(AudioDevice& device);
    ~MusicManager();
    MusicManager(const MusicManager&) = delete;
    MusicManager& operator=(const MusicManager&) = delete;

    // The stream's file is read at once, its header checked as a sound's
    // (sound_file.h), and decoded while it plays.
    bool AddMusic(const std::string& name, const std::string& path, std::string& error);
    // The "music/stream" entries of the sound table (see SoundManager::LoadTable).
    int LoadTable(const Zephra::ResourceManager& resources, const std::string& tablePath,
                  std::vector<std::string>& errors);
    bool HasMusic(const std::string& name) const { return music_.count(name) != 0; }

    // Cross-fades to the named stream: the current one fades out, then the new
    // one fades in (started by Update once the fade-out is over). The stream
    // that plays or is about to play is left alone; an unknown name does nothing.
    void Play(const std::string& name);
    void Stop();
    // Starts the waiting stream when the fade-out has ended; call every update.
    void Update();
    // The stream that plays (or fades in), empty for none.
    const std::string& Current() const { return current_; }
    // The stream waiting for the fade-out to end, empty for none.
    const std::string& Pending() const { return pending_; }

    // 0..100, clamped.
    void SetVolume(int volume);
    int GetVolume() const { return volume_; }
    // 0 switches at once.
    void SetFadeMs(int ms) { fadeMs_ = ms < 0 ? 0 : ms; }

private:
    struct Stream {
        std::string bytes;          // the file, read by the decoder while the stream plays
        Mix_Music* music = nullptr;
    };
    void StartPending();

    std::map<std::string, std::unique_ptr<Stream>> music_;
    std::string current_;
    std::string pending_;
    int volume_ = 100;
    int fadeMs_ = kDefaultFadeMs;
};
