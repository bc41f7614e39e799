#include "game/app/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <climits>
#include "framework/resources/file_access.h"
#include "framework/resources/resource_manager.h"
#include "game/app/sound_file.h"
#include "game/app/xml_access.h"

namespace {

SoundPlayObserver* gPlayObserver = nullptr;

int ToMixVolume(int volume) { return volume * MIX_MAX_VOLUME / 100; }
int ClampVolume(int volume) { return std::clamp(volume, 0, 100); }

// The table entries below root at path, as (name, manifest id, element).
struct TableEntry {
    std::string name;
    std::string res;
    XmlNode node;
};

bool ReadTable(const std::string& tablePath, const char* xpath, std::vector<TableEntry>& out,
               std::unique_ptr<XmlDocument>& doc, std::vector<std::string>& errors) {
    if (!XmlLoadDocument(doc, tablePath)) {
        errors.push_back(XmlLastError());
        return false;
    }
    XmlForEachNode(
        doc->document_element(), xpath,
        [](XmlNode node, void* a, void* b) {
            auto* list = static_cast<std::vector<TableEntry>*>(a);
            auto* errs = static_cast<std::vector<std::string>*>(b);
            TableEntry entry;
            entry.node = node;
            if (!XmlGetAttrString(node, "name", entry.name) || entry.name.empty() ||
                !XmlGetAttrString(node, "res", entry.res) || entry.res.empty()) {
                errs->push_back(std::string("<") + node.name() + "> without name or res");
                return true;
            }
            list->push_back(std::move(entry));
            return true;
        },
        &out, &errors);
    return true;
}

} // namespace

void SetSoundPlayObserver(SoundPlayObserver* observer) { gPlayObserver = observer; }
SoundPlayObserver* GetSoundPlayObserver() { return gPlayObserver; }

// ---------------------------------------------------------------------------

std::unique_ptr<AudioDevice> AudioDevice::Open(std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = SDL_GetError();
        return nullptr;
    }
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        if (error) *error = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    return std::unique_ptr<AudioDevice>(new AudioDevice());
}

AudioDevice::~AudioDevice() {
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// ---------------------------------------------------------------------------

SoundInstance::~SoundInstance() {
    if (!manager_) return;
    Stop();
    manager_->instances_.erase(this);
}

void SoundInstance::Play() {
    if (!manager_) return;
    const SoundManager::Sound* sound = manager_->Find(name_);
    if (!sound) return;
    if (gPlayObserver) gPlayObserver->SoundPlayed(name_);
    if (channel_ >= 0 && manager_->channels_[channel_].instance == this && manager_->ChannelLive(channel_, sound)) {
        if (Mix_Paused(channel_)) Mix_Resume(channel_);
        return;
    }
    channel_ = manager_->StartChannel(*sound, this, sound->loop ? -1 : 0);
}

void SoundInstance::Stop() {
    if (!manager_ || channel_ < 0) return;
    SoundManager::Channel& ch = manager_->channels_[channel_];
    if (ch.instance == this) {
        Mix_HaltChannel(channel_);
        ch = {};
    }
    channel_ = -1;
}

bool SoundInstance::IsPlaying() const {
    return manager_ && channel_ >= 0 && manager_->channels_[channel_].instance == this &&
           manager_->ChannelLive(channel_, manager_->channels_[channel_].sound) && !Mix_Paused(channel_);
}

bool SoundInstance::IsPaused() const {
    return manager_ && channel_ >= 0 && manager_->channels_[channel_].instance == this &&
           manager_->ChannelLive(channel_, manager_->channels_[channel_].sound) && Mix_Paused(channel_);
}

// ---------------------------------------------------------------------------

SoundManager::SoundManager(AudioDevice& device) {
    (void)device;
    int n = Mix_AllocateChannels(kChannels);
    channels_.resize(static_cast<size_t>(std::max(n, 0)));
    SetVolume(volume_);
}

SoundManager::~SoundManager() {
    Mix_HaltChannel(-1);
    for (SoundInstance* instance : instances_) {
        instance->manager_ = nullptr;
        instance->channel_ = -1;
    }
    for (auto& [name, sound] : sounds_) Mix_FreeChunk(sound->chunk);
}

const SoundManager::Sound* SoundManager::Find(const std::string& name) const {
    auto it = sounds_.find(name);
    return it != sounds_.end() ? it->second.get() : nullptr;
}

bool SoundManager::AddSound(const std::string& name, const std::string& path, const std::string& group,
                            bool loop, std::string& error) {
    std::string bytes;
    if (!Zephra::GetFileAccess().ReadFile(path, bytes)) {
        error = "Failed to read sound " + name + " from " + path + Zephra::ReadFailureReason();
        return false;
    }
    SoundFileInfo info;
    std::string why;
    if (!InspectSoundFile(bytes, info, why)) {
        error = "Failed to decode sound " + name + " from " + path + ": " + why;
        return false;
    }
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate, &format, &channels) &&
        DecodedSoundBytes(info, static_cast<uint32_t>(rate), channels, SDL_AUDIO_BITSIZE(format) / 8) >
            kMaxDecodedBytes) {
        error = "Failed to decode sound " + name + " from " + path + ": it would take more than " +
                std::to_string(kMaxDecodedBytes >> 20) + " MB";
        return false;
    }
    SDL_RWops* rw = bytes.size() <= INT_MAX ? SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()))
                                            : nullptr;
    Mix_Chunk* chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
    if (!chunk) {
        error = "Failed to decode sound " + name + " from " + path + ": " + Mix_GetError();
        return false;
    }
    auto it = sounds_.find(name);
    if (it != sounds_.end()) {
        ForgetSound(it->second.get());
        Mix_FreeChunk(it->second->chunk);
        sounds_.erase(it);
    }
    auto sound = std::make_unique<Sound>();
    sound->chunk = chunk;
    sound->group = group;
    sound->loop = loop;
    sounds_.emplace(name, std::move(sound));
    return true;
}

int SoundManager::LoadTable(const Zephra::ResourceManager& resources, const std::string& tablePath,
                            std::vector<std::string>& errors) {
    std::unique_ptr<XmlDocument> doc;
    std::vector<TableEntry> entries;
    if (!ReadTable(tablePath, "sounds/sound", entries, doc, errors)) return 0;
    int added = 0;
    for (const TableEntry& entry : entries) {
        std::string path = resources.GetSoundPath(entry.res);
        if (path.empty()) {
            errors.push_back("sound " + entry.name + ": no sound id " + entry.res + " in the manifest");
            continue;
        }
        std::string group;
        XmlGetAttrString(entry.node, "group", group);
        uint8_t loop = 0;
        XmlGetAttrBool(entry.node, "loop", loop);
        std::string error;
        if (AddSound(entry.name, path, group, loop != 0, error)) ++added;
        else errors.push_back(error);
    }
    return added;
}

bool SoundManager::ChannelLive(int channel, const Sound* sound) const {
    if (channel < 0 || channel >= static_cast<int>(channels_.size()) || !sound) return false;
    return channels_[channel].sound == sound && Mix_Playing(channel) && Mix_GetChunk(channel) == sound->chunk;
}

int SoundManager::StartChannel(const Sound& sound, SoundInstance* instance, int loops) {
    int channel = Mix_PlayChannel(-1, sound.chunk, loops);
    if (channel < 0 || channel >= static_cast<int>(channels_.size())) {
        if (channel >= 0) Mix_HaltChannel(channel);
        return -1;
    }
    channels_[channel] = {&sound, instance};
    return channel;
}

void SoundManager::ForgetSound(const Sound* sound) {
    for (size_t i = 0; i < channels_.size(); ++i) {
        if (channels_[i].sound != sound) continue;
        Mix_HaltChannel(static_cast<int>(i));
        channels_[i] = {};
    }
}

void SoundManager::Play(const std::string& name) {
    const Sound* sound = Find(name);
    if (!sound) return;
    if (gPlayObserver) gPlayObserver->SoundPlayed(name);
    StartChannel(*sound, nullptr, 0);
}

SoundInstance* SoundManager::CreateInstance(const std::string& name) {
    if (!Find(name)) return nullptr;
    auto* instance = new SoundInstance(this, name);
    instances_.insert(instance);
    return instance;
}

void SoundManager::PauseGroup(const std::string& group) {
    for (size_t i = 0; i < channels_.size(); ++i) {
        int ch = static_cast<int>(i);
        if (ChannelLive(ch, channels_[i].sound) && channels_[i].sound->group == group) Mix_Pause(ch);
    }
}

void SoundManager::ResumeGroup(const std::string& group) {
    for (size_t i = 0; i < channels_.size(); ++i) {
        int ch = static_cast<int>(i);
        if (ChannelLive(ch, channels_[i].sound) && channels_[i].sound->group == group) Mix_Resume(ch);
    }
}

void SoundManager::StopGroup(const std::string& group) {
    for (size_t i = 0; i < channels_.size(); ++i) {
        int ch = static_cast<int>(i);
        if (channels_[i].sound && channels_[i].sound->group == group) {
            if (ChannelLive(ch, channels_[i].sound)) Mix_HaltChannel(ch);
            channels_[i] = {};
        }
    }
}

int SoundManager::ActiveChannels(const std::string& group) const {
    int n = 0;
    for (size_t i = 0; i < channels_.size(); ++i)
        if (ChannelLive(static_cast<int>(i), channels_[i].sound) && channels_[i].sound->group == group) ++n;
    return n;
}

void SoundManager::SetVolume(int volume) {
    volume_ = ClampVolume(volume);
    Mix_Volume(-1, ToMixVolume(volume_));
}

// ---------------------------------------------------------------------------

MusicManager::MusicManager(AudioDevice& device) {
    (void)device;
    SetVolume(volume_);
}

MusicManager::~MusicManager() {
    // A stream that is fading out would make freeing it wait for the fade.
    Mix_HaltMusic();
    for (auto& [name, stream] : music_) Mix_FreeMusic(stream->music);
}

bool MusicManager::AddMusic(const std::string& name, const std::string& path, std::string& error) {
    auto stream = std::make_unique<Stream>();
    if (!Zephra::GetFileAccess().ReadFile(path, stream->bytes)) {
        error = "Failed to read music " + name + " from " + path + Zephra::ReadFailureReason();
        return false;
    }
    SoundFileInfo info;
    std::string why;
    if (!InspectSoundFile(stream->bytes, info, why)) {
        error = "Failed to decode music " + name + " from " + path + ": " + why;
        return false;
    }
    SDL_RWops* rw = stream->bytes.size() <= INT_MAX
                        ? SDL_RWFromConstMem(stream->bytes.data(), static_cast<int>(stream->bytes.size()))
                        : nullptr;
    stream->music = rw ? Mix_LoadMUS_RW(rw, 1) : nullptr;
    if (!stream->music) {
        error = "Failed to decode music " + name + " from " + path + ": " + Mix_GetError();
        return false;
    }
    auto it = music_.find(name);
    if (it != music_.end()) {
        if (current_ == name) Stop();
        if (pending_ == name) pending_.clear();
        Mix_FreeMusic(it->second->music);
        music_.erase(it);
    }
    music_.emplace(name, std::move(stream));
    return true;
}

int MusicManager::LoadTable(const Zephra::ResourceManager& resources, const std::string& tablePath,
                            std::vector<std::string>& errors) {
    std::unique_ptr<XmlDocument> doc;
    std::vector<TableEntry> entries;
    if (!ReadTable(tablePath, "music/stream", entries, doc, errors)) return 0;
    int added = 0;
    for (const TableEntry& entry : entries) {
        std::string path = resources.GetMusicPath(entry.res);
        if (path.empty()) {
            errors.push_back("music " + entry.name + ": no music id " + entry.res + " in the manifest");
            continue;
        }
        std::string error;
        if (AddMusic(entry.name, path, error)) ++added;
        else errors.push_back(error);
    }
    return added;
}

void MusicManager::Play(const std::string& name) {
    if (!music_.count(name) || name == pending_) return;
    if (name == current_ && pending_.empty()) return;
    pending_ = name;
    if (fadeMs_ > 0 && Mix_PlayingMusic()) {
        if (Mix_FadingMusic() == MIX_FADING_OUT || Mix_FadeOutMusic(fadeMs_)) return;
    }
    Mix_HaltMusic();
    StartPending();
}

void MusicManager::Stop() {
    pending_.clear();
    current_.clear();
    Mix_HaltMusic();
}

void MusicManager::Update() {
    if (!pending_.empty() && !Mix_PlayingMusic()) StartPending();
}

void MusicManager::StartPending() {
    auto it = music_.find(pending_);
    pending_.clear();
    current_.clear();
    if (it == music_.end()) return;
    int rc = fadeMs_ > 0 ? Mix_FadeInMusic(it->second->music, -1, fadeMs_) : Mix_PlayMusic(it->second->music, -1);
    if (rc == 0) current_ = it->first;
}

void MusicManager::SetVolume(int volume) {
    volume_ = ClampVolume(volume);
    Mix_VolumeMusic(ToMixVolume(volume_));
}
