#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// "pref.dat": the settings header, the career and survival hiscore tables and
// the player profiles. Layout (little-endian, see docs/pref-dat.md):
//   0      header, 32 bytes
//   32     career hiscores, 10 x (UTF-16 name[260], int32 score)
//   5272   survival hiscores, same
//   10512  profile records, 1,028 bytes each

namespace prefs {
constexpr uint8_t kMagic[4] = {'P', 'R', 'E', 'F'};
constexpr uint32_t kVersion = 1;
constexpr size_t kNameUnits = 260;   // a stored name holds at most 259 units + NUL
constexpr int kCareerDays = 60;
constexpr int kLastReachedDay = 61;  // the career is finished
constexpr int kHiscoreEntries = 10;
constexpr size_t kHeaderSize = 32;
constexpr size_t kHiscoreEntrySize = kNameUnits * 2 + 4;
constexpr size_t kHiscoreTableSize = kHiscoreEntries * kHiscoreEntrySize;
constexpr size_t kProfilesOffset = kHeaderSize + 2 * kHiscoreTableSize;
constexpr size_t kProfileSize = 1028;
// A larger file is not a pref.dat.
constexpr size_t kMaxFileSize = 16u << 20;
} // namespace prefs

// One player profile, 1,028 bytes on disk.
struct ProfileRecord {
    std::string bossKind;           // "man" or "woman"; char[260] on disk
    std::u16string name;            // UTF-16 [260] on disk
    int32_t reachedDay = 1;         // the next career day to play, 1..61
    int32_t bestMoney[prefs::kCareerDays] = {};  // day 1 first
    float secondsPlayed = 0;
};

// The settings of the header (bytes 20, 24, 28 and 29 on disk).
struct PrefsHeader {
    int32_t musicVolume = 100;  // 0..100
    int32_t sfxVolume = 100;    // 0..100
    uint8_t windowed = 1;       // 1 windowed, 0 full screen
    uint8_t muted = 0;          // 1 muted
    // The volumes to apply: 0 while muted.
    int AppliedMusicVolume() const { return muted ? 0 : musicVolume; }
    int AppliedSfxVolume() const { return muted ? 0 : sfxVolume; }
};

struct HiscoreEntry {
    std::u16string name;
    int32_t score = 0;
};

// The career and survival hiscore tables, ten entries each, best first.
class RecordTable {
public:
    using Table = std::array<HiscoreEntry, prefs::kHiscoreEntries>;
    Table& GetTable(bool survival) { return survival ? survival_ : career_; }
    const Table& GetTable(bool survival) const { return survival ? survival_ : career_; }
    // Enters the score below every entry with a greater score (so above equal
    // ones); the rest move down. The place 0..9, or 10 when it is not among the ten or
    // the score is below 1 (such a score is not entered).
    int AddScore(bool survival, const std::u16string& name, int32_t score);
private:
    Table career_{};
    Table survival_{};
};

// The pref.dat file and its contents in memory. The application keeps its
// current profile itself and passes it to Save; the settings and the hiscore
// tables live here (Header(), Records()).
//
// Loading: a missing file gives the defaults. A file that does not parse (bad
// magic or version, short, a profile count the file does not hold, too big) is
// renamed to "pref.dat.bad-<UTC time>" (never deleted or overwritten),
// LastError() says so and the defaults are used. Values read are bounded:
// names end within 260 units, volumes 0..100, reached day 1..61, seconds played
// finite and not negative, a current slot outside the profiles becomes -1.
//
// Saving writes the whole file to a temporary file in the same folder, syncs it
// and renames it over pref.dat. When a file that exists could neither be read
// nor set aside, saving is refused so that it is not overwritten.
class PrefsFile {
public:
    explicit PrefsFile(std::string path);

    // Reads the file (again). False when it existed but could not be used;
    // LastError() then holds a text the application can show or log.
    bool Load();
    bool Loaded() const { return loaded_; }
    const std::string& LastError() const { return lastError_; }
    const std::string& Path() const { return path_; }

    PrefsHeader& Header() { return header_; }
    const PrefsHeader& Header() const { return header_; }
    RecordTable& Records() { return records_; }
    const RecordTable& Records() const { return records_; }
    int ProfileCount() const { return static_cast<int>(profiles_.size()); }
    // The slot of the current profile, -1 for none.
    int CurrentSlot() const { return currentSlot_; }
    // Makes the slot current; -1, or a slot that does not exist, for none.
    void SetCurrentSlot(int slot);

    // The operations below load the file first when it was not loaded yet.
    // Appends every profile record.
    void ReadAllProfiles(std::vector<ProfileRecord>& list);
    // Copies the slot's record into out and makes the slot current; false for
    // a slot that does not exist (out and the current slot unchanged).
    bool ReadProfileSlot(int slot, ProfileRecord& out);
    // Appends a profile (reached day 1) with the name and boss kind cut to
    // what the file holds, makes it current, copies it into out and saves.
    // The new slot, or -1 when saving failed (nothing changes then).
    int CreateProfile(const std::u16string& name, const std::string& bossKind, ProfileRecord& out);
    // Removes the slot and saves; later slots move down. A current slot above
    // it moves down with its profile; removing the current slot leaves no
    // current profile (-1). False for a slot that does not exist or when
    // saving failed (nothing changes then).
    bool DeleteProfileSlot(int slot);
    // Writes the header, both hiscore tables and every profile; current, when
    // given and a profile is current, replaces the current slot's record.
    bool Save(const ProfileRecord* current);

    // The file image of the contents.
    std::string Serialize() const;

private:
    // Takes the contents from a file image; false (nothing changed) with the
    // reason when it does not parse.
    bool Parse(const std::string& bytes, std::string& why);
    void EnsureLoaded();
    void SetDefaults();
    bool WriteFile(const std::string& bytes);

    std::string path_;
    std::string lastError_;
    bool loaded_ = false;
    bool saveBlocked_ = false;
    PrefsHeader header_;
    RecordTable records_;
    std::vector<ProfileRecord> profiles_;
    int currentSlot_ = -1;
};
