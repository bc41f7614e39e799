#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/app/pak_file.h"
#include "game/app/sound.h"
#include "game/app/startup.h"
#include "platform/clock.h"

namespace fs = std::filesystem;

namespace fuzz {
namespace {

std::string gGameDir;
std::string gRootDir;
// The log, whatever QuietStderr does with stderr meanwhile.
int gLog = 2;

void WriteBytes(const fs::path& path, const uint8_t* data, size_t size) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

void RemoveRoot() {
    std::error_code ec;
    if (!gRootDir.empty()) fs::remove_all(gRootDir, ec);
}

class StepClock : public platform::Clock {
public:
    uint64_t NowMs() override { return now_ += kStepMs; }
    void SleepMs(uint32_t ms) override { now_ += ms; }
private:
    static constexpr uint64_t kStepMs = 500;
    std::atomic<uint64_t> now_{1000000};
};

} // namespace

// A private folder with the game folder copy and the user folders.
void SetUpFolders() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/pemberly-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    gRootDir = templ;
    gGameDir = gRootDir + "/game";
    fs::copy(PEMBERLY_SOURCE_DIR "/data", gGameDir, fs::copy_options::recursive);
    fs::create_directories(gRootDir + "/config");
    fs::create_directories(gRootDir + "/share");
    setenv("XDG_CONFIG_HOME", (gRootDir + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (gRootDir + "/share").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::atexit(RemoveRoot);
    PakSetGameDir(gGameDir);
    InstallGameFileAccess(true);
}

void InstallStepClock() {
    // Kept to the end: the application reads it while it goes at exit.
    platform::SetClock(new StepClock);
}

const std::string& GameDir() { return gGameDir; }

std::string GamePath(const std::string& name) { return gGameDir + "/" + name; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    WriteBytes(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void WriteGameFile(const std::string& name, const uint8_t* data, size_t size) { WriteBytes(GamePath(name), data, size); }

void WriteGameFile(const std::string& name, const std::string& bytes) { WriteFile(GamePath(name), bytes); }

std::string SampleFile(const std::string& name) {
    fs::path source = fs::path(PEMBERLY_SOURCE_DIR "/data") / name;
    std::error_code ec;
    return fs::is_regular_file(source, ec) ? ReadFile(source.string()) : std::string();
}

void RestoreGameFile(const std::string& name) {
    fs::path source = fs::path(PEMBERLY_SOURCE_DIR "/data") / name;
    std::error_code ec;
    if (fs::is_regular_file(source, ec)) WriteGameFile(name, ReadFile(source.string()));
    else fs::remove(GamePath(name), ec);
}

void RemoveGameFiles(const std::string& folder, const std::string& prefix) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(GamePath(folder), ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0) fs::remove(e.path(), ec);
}

bool TakeSetAside(const std::string& path, const std::string& bytes) {
    const fs::path file(path);
    const std::string prefix = file.filename().string() + ".bad-";
    bool kept = false;
    for (const fs::directory_entry& e : fs::directory_iterator(file.parent_path()))
        if (e.path().filename().string().rfind(prefix, 0) == 0) {
            kept = kept || ReadFile(e.path().string()) == bytes;
            fs::remove(e.path());
        }
    return kept;
}

AudioDevice& Audio() {
    static AudioDevice* device = [] {
        std::string error;
        AudioDevice* opened = AudioDevice::Open(&error).release();
        FUZZ_CHECK(opened != nullptr, "no audio device: " + error);
        return opened;
    }();
    return *device;
}

void Seeds::Add(const std::string& name, const std::string& bytes) {
    fs::create_directories(dir_);
    WriteFile((fs::path(dir_) / ("made-" + name)).string(), bytes);
}

QuietStderr::QuietStderr() : saved_(dup(2)) {
    std::fflush(stderr);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, 2);
        close(null);
    }
}

QuietStderr::~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
        dup2(saved_, 2);
        close(saved_);
    }
}

void Fail(const char* file, int line, const std::string& what) {
    dprintf(gLog, "\n%s:%d: invariant broken: %s\n", file, line, what.c_str());
    std::abort();
}

} // namespace fuzz

// With PEMBERLY_FUZZ_SEEDS set the target writes the seeds its writers make
// into that folder and exits; otherwise libFuzzer runs.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Sanitizer reports and broken invariants reach the log also while a
    // target hushes the game's warnings.
    const int log = dup(2);
    if (log >= 0) {
        fuzz::gLog = log;
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(log)));
    }
    fuzz::SetUpFolders();
    fuzz::InstallStepClock();
    const char* seeds = std::getenv("PEMBERLY_FUZZ_SEEDS");
    if (seeds && *seeds) {
        fuzz::Seeds writer(seeds);
        fuzz::WriteSeeds(writer);
        std::exit(0);
    }
    return 0;
}
