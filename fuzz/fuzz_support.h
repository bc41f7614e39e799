#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class AudioDevice;

// What the fuzz targets share. A target is one file, <name>_fuzz.cpp, that
// defines LLVMFuzzerTestOneInput and fuzz::WriteSeeds, plus one line in
// fuzz/CMakeLists.txt; its dictionary, if any, is fuzz/dicts/<name>.dict.
//
// Every process runs on its own copy of the sample game folder (data/), with
// the game's file functions and the framework's file access pointed at it and
// the user folders (settings.ini, pref.dat) inside it. SDL runs headless.

namespace fuzz {

// Makes the folders (called before the first input).
void SetUpFolders();
// Gives the game a clock of its own: it moves only when read (half a second
// each time) or slept on, so that an input replays the same way every time
// and the game's waits for wall-clock time (the load screen's) end at once.
void InstallStepClock();
// The copy of the game folder.
const std::string& GameDir();
// The real path of a game file ('/' separated, relative to the folder).
std::string GamePath(const std::string& name);
// Replaces a game file with the input.
void WriteGameFile(const std::string& name, const uint8_t* data, size_t size);
void WriteGameFile(const std::string& name, const std::string& bytes);
// Puts the sample's own file back (removes it when the sample has none).
void RestoreGameFile(const std::string& name);
// The sample's own file, empty when it has none.
std::string SampleFile(const std::string& name);
// Removes the files of a folder of the copy whose names start with prefix
// (what a loader set aside).
void RemoveGameFiles(const std::string& folder, const std::string& prefix);

// Removes the files that a loader set aside from path ("<path>.bad-...");
// true when one of them held exactly bytes.
bool TakeSetAside(const std::string& path, const std::string& bytes);

// The audio device (SDL's dummy driver), opened on first use and kept.
AudioDevice& Audio();

// Whole files at real paths; ReadFile gives "" for a missing file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Seeds written by the project's own writers, beside those taken from data/.
class Seeds {
public:
    explicit Seeds(std::string dir) : dir_(std::move(dir)) {}
    void Add(const std::string& name, const std::string& bytes);
private:
    std::string dir_;
};
// Defined by each target.
void WriteSeeds(Seeds& seeds);

// Sends stderr to /dev/null while it lives (warnings the game prints on
// every refused input would flood the logs).
class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;
private:
    int saved_;
};

// Reports a broken invariant and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Fail(const char* file, int line, const std::string& what);

} // namespace fuzz

#define FUZZ_CHECK(cond, what)                                                   \
    do {                                                                         \
        if (!(cond)) ::fuzz::Fail(__FILE__, __LINE__, std::string(#cond) + ": " + (what)); \
    } while (0)
