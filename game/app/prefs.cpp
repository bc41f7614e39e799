#include "game/app/prefs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/guarded_file.h"
#include "platform/text.h"

using namespace prefs;

namespace {

// At most 259 units, never half a surrogate pair, ending at an embedded NUL.
std::u16string CutName(const std::u16string& s) {
    size_t n = std::min(s.size(), kNameUnits - 1);
    if (n < s.size() && n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
    std::u16string out = s.substr(0, n);
    size_t nul = out.find(u'\0');
    if (nul != std::u16string::npos) out.resize(nul);
    return out;
}

// At most 259 bytes, never half a UTF-8 character, ending at an embedded NUL.
std::string CutNarrow(const std::string& s) {
    size_t n = std::min(s.size(), kNameUnits - 1);
    if (n < s.size())
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    std::string out = s.substr(0, n);
    size_t nul = out.find('\0');
    if (nul != std::string::npos) out.resize(nul);
    return out;
}

// Field-by-field little-endian writing.
class Writer {
public:
    void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Bytes(const uint8_t* p, size_t n) { out_.append(reinterpret_cast<const char*>(p), n); }
    void Zeros(size_t n) { out_.append(n, '\0'); }
    // The text as CutNarrow leaves it, NUL-padded to 260 bytes.
    void Narrow(const std::string& s) {
        std::string cut = CutNarrow(s);
        out_.append(cut);
        Zeros(kNameUnits - cut.size());
    }
    // The text as CutName leaves it, NUL-padded to 260 units.
    void Wide(const std::u16string& s) {
        std::u16string cut = CutName(s);
        for (char16_t c : cut) {
            U8(static_cast<uint8_t>(c & 0xFF));
            U8(static_cast<uint8_t>(c >> 8));
        }
        Zeros((kNameUnits - cut.size()) * 2);
    }
    std::string& Out() { return out_; }
private:
    std::string out_;
};

// Field-by-field little-endian reading; the caller checks sizes first.
class Reader {
public:
    Reader(const std::string& data, size_t pos) : data_(data), pos_(pos) {}
    uint8_t U8() { return static_cast<uint8_t>(data_[pos_++]); }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32() {
        uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    void Skip(size_t n) { pos_ += n; }
    std::string Narrow() {
        const char* p = data_.data() + pos_;
        size_t n = strnlen(p, kNameUnits - 1);
        pos_ += kNameUnits;
        return std::string(p, n);
    }
    std::u16string Wide() {
        std::u16string s;
        for (size_t i = 0; i < kNameUnits; ++i) {
            char16_t c = static_cast<char16_t>(U8() | (U8() << 8));
            if (c == 0 || s.size() == kNameUnits - 1) {
                pos_ += (kNameUnits - 1 - i) * 2;
                break;
            }
            s.push_back(c);
        }
        return s;
    }
private:
    const std::string& data_;
    size_t pos_;
};

int32_t ClampVolume(int32_t v) { return std::clamp<int32_t>(v, 0, 100); }

void WriteProfile(Writer& w, const ProfileRecord& p) {
    w.Narrow(p.bossKind);
    w.Wide(p.name);
    w.I32(p.reachedDay);
    for (int32_t m : p.bestMoney) w.I32(m);
    w.F32(p.secondsPlayed);
}

ProfileRecord ReadProfile(Reader& r) {
    ProfileRecord p;
    p.bossKind = r.Narrow();
    p.name = r.Wide();
    p.reachedDay = std::clamp<int32_t>(r.I32(), 1, kLastReachedDay);
    for (int32_t& m : p.bestMoney) m = r.I32();
    float s = r.F32();
    p.secondsPlayed = (std::isfinite(s) && s > 0) ? s : 0.0f;
    return p;
}

// The record as the file will hold it.
ProfileRecord Bounded(const ProfileRecord& p) {
    ProfileRecord b = p;
    b.bossKind = CutNarrow(p.bossKind);
    b.name = CutName(p.name);
    b.reachedDay = std::clamp<int32_t>(p.reachedDay, 1, kLastReachedDay);
    if (!std::isfinite(b.secondsPlayed) || b.secondsPlayed < 0) b.secondsPlayed = 0;
    return b;
}

} // namespace

int RecordTable::AddScore(bool survival, const std::u16string& name, int32_t score) {
    if (score < 1) return kHiscoreEntries;
    Table& t = GetTable(survival);
    int place = 0;
    while (place < kHiscoreEntries && t[place].score > score) ++place;
    if (place == kHiscoreEntries) return kHiscoreEntries;
    for (int i = kHiscoreEntries - 1; i > place; --i) t[i] = t[i - 1];
    t[place] = HiscoreEntry{CutName(name), score};
    return place;
}

PrefsFile::PrefsFile(std::string path) : path_(std::move(path)) {}

void PrefsFile::SetDefaults() {
    header_ = PrefsHeader{};
    records_ = RecordTable{};
    profiles_.clear();
    currentSlot_ = -1;
}

void PrefsFile::EnsureLoaded() {
    if (!loaded_) Load();
}

bool PrefsFile::Load() {
    platform::RemoveStaleTemps(path_);
    loaded_ = true;
    lastError_.clear();
    saveBlocked_ = false;
    std::string bytes, why;
    const platform::GuardedRead read = platform::ReadGuarded(path_, kMaxFileSize, bytes, why);
    if (read == platform::GuardedRead::kMissing || read == platform::GuardedRead::kUnreadable) {
        SetDefaults();
        if (read == platform::GuardedRead::kMissing) return true;
        saveBlocked_ = true;
        lastError_ = path_ + " cannot be read (" + why + "); the default settings are used.";
        return false;
    }
    if (read == platform::GuardedRead::kTooLarge) why = "file too large";
    else if (Parse(bytes, why)) return true;
    SetDefaults();
    lastError_ = platform::SetAsideDamaged(path_, why, saveBlocked_);
    return false;
}

bool PrefsFile::Parse(const std::string& bytes, std::string& why) {
    if (bytes.size() > kMaxFileSize) {
        why = "file too large";
        return false;
    }
    if (bytes.size() < kProfilesOffset) {
        why = "file too short";
        return false;
    }
    if (std::memcmp(bytes.data(), kMagic, 4) != 0) {
        why = "not a pref.dat file";
        return false;
    }
    Reader r(bytes, 4);
    uint32_t version = r.U32();
    if (version != kVersion) {
        why = "unknown version " + std::to_string(version);
        return false;
    }
    int32_t count = r.I32();
    int32_t current = r.I32();
    size_t holds = (bytes.size() - kProfilesOffset) / kProfileSize;
    if (count < 0 || static_cast<size_t>(count) > holds) {
        why = "profile count " + std::to_string(count) + " but room for " + std::to_string(holds);
        return false;
    }
    r.Skip(4);
    PrefsHeader header;
    header.musicVolume = ClampVolume(r.I32());
    header.sfxVolume = ClampVolume(r.I32());
    header.windowed = r.U8() != 0 ? 1 : 0;
    header.muted = r.U8() != 0 ? 1 : 0;
    r.Skip(2);

    RecordTable records;
    for (bool survival : {false, true}) {
        for (HiscoreEntry& e : records.GetTable(survival)) {
            e.name = r.Wide();
            e.score = r.I32();
        }
    }
    std::vector<ProfileRecord> profiles;
    profiles.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) profiles.push_back(ReadProfile(r));

    header_ = header;
    records_ = records;
    profiles_ = std::move(profiles);
    currentSlot_ = (current >= 0 && current < count) ? current : -1;
    return true;
}

std::string PrefsFile::Serialize() const {
    Writer w;
    w.Bytes(kMagic, 4);
    w.U32(kVersion);
    w.I32(static_cast<int32_t>(profiles_.size()));
    w.I32(currentSlot_);
    w.U32(0);
    w.I32(ClampVolume(header_.musicVolume));
    w.I32(ClampVolume(header_.sfxVolume));
    w.U8(header_.windowed ? 1 : 0);
    w.U8(header_.muted ? 1 : 0);
    w.Zeros(2);
    for (bool survival : {false, true}) {
        for (const HiscoreEntry& e : records_.GetTable(survival)) {
            w.Wide(e.name);
            w.I32(e.score);
        }
    }
    for (const ProfileRecord& p : profiles_) WriteProfile(w, p);
    return std::move(w.Out());
}

bool PrefsFile::WriteFile(const std::string& bytes) {
    if (saveBlocked_) {
        lastError_ = path_ + " was not saved: the damaged file there has not been set aside.";
        return false;
    }
    std::string why;
    if (!platform::ReplaceFile(path_, bytes, why)) {
        lastError_ = path_ + " was not saved: " + why;
        return false;
    }
    return true;
}

void PrefsFile::ReadAllProfiles(std::vector<ProfileRecord>& list) {
    EnsureLoaded();
    list.insert(list.end(), profiles_.begin(), profiles_.end());
}

void PrefsFile::SetCurrentSlot(int slot) {
    EnsureLoaded();
    currentSlot_ = (slot >= 0 && slot < ProfileCount()) ? slot : -1;
}

bool PrefsFile::ReadProfileSlot(int slot, ProfileRecord& out) {
    EnsureLoaded();
    if (slot < 0 || slot >= ProfileCount()) return false;
    out = profiles_[static_cast<size_t>(slot)];
    currentSlot_ = slot;
    return true;
}

int PrefsFile::CreateProfile(const std::u16string& name, const std::string& bossKind, ProfileRecord& out) {
    EnsureLoaded();
    ProfileRecord p;
    p.name = CutName(name);
    p.bossKind = CutNarrow(bossKind);
    int oldSlot = currentSlot_;
    profiles_.push_back(p);
    currentSlot_ = ProfileCount() - 1;
    if (!WriteFile(Serialize())) {
        profiles_.pop_back();
        currentSlot_ = oldSlot;
        return -1;
    }
    out = p;
    return currentSlot_;
}

bool PrefsFile::DeleteProfileSlot(int slot) {
    EnsureLoaded();
    if (slot < 0 || slot >= ProfileCount()) return false;
    std::vector<ProfileRecord> oldProfiles = profiles_;
    int oldSlot = currentSlot_;
    profiles_.erase(profiles_.begin() + slot);
    if (currentSlot_ == slot) currentSlot_ = -1;
    else if (currentSlot_ > slot) --currentSlot_;
    if (!WriteFile(Serialize())) {
        profiles_ = std::move(oldProfiles);
        currentSlot_ = oldSlot;
        return false;
    }
    return true;
}

bool PrefsFile::Save(const ProfileRecord* current) {
    EnsureLoaded();
    if (current && currentSlot_ >= 0 && currentSlot_ < ProfileCount()) {
        ProfileRecord& slot = profiles_[static_cast<size_t>(currentSlot_)];
        ProfileRecord old = slot;
        slot = Bounded(*current);
        if (!WriteFile(Serialize())) {
            slot = old;
            return false;
        }
        return true;
    }
    return WriteFile(Serialize());
}
