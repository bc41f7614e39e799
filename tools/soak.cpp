// Plays the real game headless for a while with seeded random input a player
// could give (clicks on what is on screen, stray clicks, keys, typed names)
// and records every few seconds the memory in use, the frame time and the
// number of live widgets, office objects and images. Ends with a summary; the
// status is non-zero on a crash, a sanitizer report, memory that keeps
// growing, or a pref.dat that no longer reads.
//
//   soak [--seconds N] [--every N] [--seed N] [--allow-mb N] [--data DIR]
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/app/widget.h"
#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/prefs.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "game/office/level_screen.h"
#include "game/office/office.h"
#include "platform/input.h"
#include "tests/support/headless_home.h"
#include "tools/memory_trend.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Options {
    double seconds = 60;
    double every = 5;
    double allowMb = 1;     // growth always allowed
    unsigned seed = 1;
    std::string data;
};

// Heap bytes in use: the sanitizer's count under ASan (its quarantine makes
// the resident size useless), else the allocator's.
size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
#endif
}

size_t CountWidgets(const Zephra::WidgetContainer* c) {
    size_t n = 0;
    for (const Zephra::Widget* w : c->mWidgets) n += 1 + CountWidgets(w);
    return n;
}

struct Sample {
    double at = 0;
    size_t heap = 0;
    double frameMeanMs = 0;
    double frameMaxMs = 0;
    size_t widgets = 0;
    size_t objects = 0;
    size_t images = 0;
    int restarts = 0;
    bool inLevel = false;
};

class SoakApp : public OfficeApp {
public:
    SoakApp(const std::string& prefs, std::mt19937& rng) : OfficeApp(prefs), mRng(rng) {}

    void ShowError(const std::string& text, const std::string& title) override {
        std::fprintf(stderr, "soak: error shown: %s: %s\n", title.c_str(), text.c_str());
    }

    bool StepMainLoop(bool topLevel) override {
        if (mStopAt != SteadyClock::time_point{} && SteadyClock::now() >= mStopAt) Shutdown();
        if (!IsShuttingDown() && mUpdateCount > 0 && QueuedInputCount() == 0 && ++mSteps % 40 == 0) Act();
        if (mOnStep) mOnStep(*this);
        return OfficeApp::StepMainLoop(topLevel);
    }

    void DrawFrame() override {
        auto t0 = SteadyClock::now();
        OfficeApp::DrawFrame();
        double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
        mFrameSum += ms;
        mFrameMax = std::max(mFrameMax, ms);
        ++mFrames;
    }

    SteadyClock::time_point mStopAt{};
    std::function<void(SoakApp&)> mOnStep;
    double mFrameSum = 0, mFrameMax = 0;
    long mFrames = 0;

private:
    struct Target {
        int x, y, w, h;
    };

    void Collect(Zephra::Widget* w, int ox, int oy, std::vector<Target>& out) {
        if (!w->mVisible || w->mDisabled) return;
        const int x = ox + w->mX, y = oy + w->mY;
        if (w->mMouseVisible && w->mWidth > 0 && w->mHeight > 0) out.push_back({x, y, w->mWidth, w->mHeight});
        for (Zephra::Widget* c : w->mWidgets) Collect(c, x, y, out);
    }

    void Post(platform::EventKind kind, int x = 0, int y = 0, int click = 0, int key = 0, char16_t ch = 0) {
        platform::InputEvent e;
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.clickCount = click;
        e.key = key;
        e.ch = ch;
        PostEvent(e);
    }

    void Click(int x, int y, int click) {
        Post(platform::EventKind::MouseMove, x, y);
        Post(platform::EventKind::MouseDown, x, y, click);
        Post(platform::EventKind::MouseUp, x, y, click);
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRng); }

    void Act() {
        const int roll = Pick(100);
        if (roll < 55) {
            // Something on screen, the open dialog's first.
            std::vector<Target> targets;
            Zephra::Widget* modal = mWidgetManager->GetModal();
            if (modal) {
                Zephra::Point p = modal->GetAbsPos();
                Collect(modal, p.mX - modal->mX, p.mY - modal->mY, targets);
            } else {
                for (Zephra::Widget* w : mWidgetManager->mWidgets) Collect(w, 0, 0, targets);
            }
            if (targets.empty()) return;
            const Target& t = targets[static_cast<size_t>(Pick(static_cast<int>(targets.size())))];
            Click(t.x + Pick(std::max(t.w, 1)), t.y + Pick(std::max(t.h, 1)), 1);
        } else if (roll < 75) {
            Click(Pick(mWidth), Pick(mHeight), Pick(8) == 0 ? -1 : 1);
        } else if (roll < 80) {
            Post(platform::EventKind::MouseMove, Pick(mWidth), Pick(mHeight));
        } else if (roll < 92) {
            static const int keys[] = {platform::VK_ESCAPE, platform::VK_RETURN, platform::VK_SPACE,
                                       platform::VK_BACK,   platform::VK_TAB,    platform::VK_LEFT,
                                       platform::VK_RIGHT,  platform::VK_UP,     platform::VK_DOWN,
                                       platform::VK_F1,     platform::VK_PAUSE,  'P'};
            const int key = keys[Pick(static_cast<int>(std::size(keys)))];
            Post(platform::EventKind::KeyDown, 0, 0, 0, key);
            Post(platform::EventKind::KeyUp, 0, 0, 0, key);
        } else {
            // A typed letter, as into a name box.
            const char16_t ch = static_cast<char16_t>('a' + Pick(26));
            Post(platform::EventKind::Char, 0, 0, 0, 0, ch);
        }
    }

    std::mt19937& mRng;
    long mSteps = 0;
};

struct SeededScore {
    bool survival;
    std::u16string name;
    int32_t score;
};

std::vector<SeededScore> SeedHiscores(const std::string& path) {
    const std::vector<SeededScore> scores = {
        {false, u"Soak", 900}, {false, u"Soak", 400}, {true, u"Soak", 5000}, {true, u"Soak", 2000}};
    PrefsFile prefs(path);
    prefs.Load();
    for (const SeededScore& k : scores) prefs.Records().AddScore(k.survival, k.name, k.score);
    if (!prefs.Save(nullptr)) std::fprintf(stderr, "soak: pref.dat could not be written\n");
    return scores;
}

// Still in its table, or pushed out by ten better scores.
bool ScoreKept(const RecordTable::Table& table, const SeededScore& k) {
    int better = 0;
    for (const HiscoreEntry& e : table) {
        if (e.name == k.name && e.score == k.score) return true;
        better += e.score >= k.score;
    }
    return better == prefs::kHiscoreEntries;
}

int RunSoak(const Options& opt) {
    namespace fs = std::filesystem;
    const fs::path home = testsupport::MakeHeadlessHome("soak");
    setenv("PEMBERLY_NO_URL", "1", 1);
    const std::string prefsPath = (home / "pref.dat").string();

    PakSetGameDir(opt.data);
    InstallGameFileAccess(true);
    GameComposition composition;
    OfficeApp::SetGameHooks(&composition);

    // Hiscores the player is unlikely to reach, that no play may lose.
    const std::vector<SeededScore> seeded = SeedHiscores(prefsPath);

    std::mt19937 rng(opt.seed);
    std::vector<Sample> samples;
    const auto start = SteadyClock::now();
    const auto end = start + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(opt.seconds));
    auto nextSample = start;
    int restarts = 0;
    int status = 0;
    std::printf("%8s %10s %9s %9s %8s %8s %7s %8s %6s\n", "seconds", "heap MB", "frame ms", "max ms", "widgets",
                "objects", "images", "restarts", "where");
    while (SteadyClock::now() < end) {
        auto app = std::make_unique<SoakApp>(prefsPath, rng);
        InstallGameDisplay(*app);
        if (!app->Init()) {
            std::fprintf(stderr, "soak: the game did not start\n");
            status = 1;
            break;
        }
        app->mStopAt = end;
        app->mOnStep = [&](SoakApp& a) {
            const auto now = SteadyClock::now();
            if (now < nextSample) return;
            nextSample += std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(opt.every));
            Sample s;
            s.at = std::chrono::duration<double>(now - start).count();
            s.heap = HeapInUse();
            s.frameMeanMs = a.mFrames ? a.mFrameSum / static_cast<double>(a.mFrames) : 0;
            s.frameMaxMs = a.mFrameMax;
            a.mFrameSum = a.mFrameMax = 0;
            a.mFrames = 0;
            s.widgets = CountWidgets(a.mWidgetManager);
            LevelScreen* level = a.GetLevelScreen();
            s.objects = level && level->GetOffice() ? level->GetOffice()->ObjectCount() : 0;
            s.inLevel = level && level->mVisible && level->mWidgetManager;
            s.images = a.LiveMemoryImageCount();
            s.restarts = restarts;
            samples.push_back(s);
            std::printf("%8.0f %10.2f %9.3f %9.3f %8zu %8zu %7zu %8d %6s\n", s.at, s.heap / 1048576.0, s.frameMeanMs,
                        s.frameMaxMs, s.widgets, s.objects, s.images, s.restarts, s.inLevel ? "level" : "menus");
            std::fflush(stdout);
        };
        app->Start();
        app.reset();
        if (SteadyClock::now() < end) ++restarts;  // the player quit the game: start it again
    }
    OfficeApp::SetGameHooks(nullptr);
    InstallGameFileAccess(false);

    // The profiles and hiscores must still read.
    PrefsFile prefs(prefsPath);
    if (fs::exists(prefsPath) && !prefs.Load()) {
        std::fprintf(stderr, "soak: pref.dat does not read afterwards: %s\n", prefs.LastError().c_str());
        status = 1;
    } else {
        std::vector<ProfileRecord> profiles;
        prefs.ReadAllProfiles(profiles);
        int scores[2] = {};
        for (int survival = 0; survival < 2; ++survival)
            for (const HiscoreEntry& e : prefs.Records().GetTable(survival != 0)) scores[survival] += e.score > 0;
        std::printf("soak: pref.dat reads: %zu profiles, %d career and %d survival hiscores\n", profiles.size(),
                    scores[0], scores[1]);
        for (const SeededScore& k : seeded)
            if (!ScoreKept(prefs.Records().GetTable(k.survival), k)) {
                std::fprintf(stderr, "soak: the %s hiscore %d was lost\n", k.survival ? "survival" : "career", k.score);
                status = 1;
            }
    }
    // A pref.dat the game could not read would have been set aside.
    std::error_code listError;
    for (const auto& entry : fs::directory_iterator(home, listError))
        if (entry.path().filename().string().rfind("pref.dat.bad-", 0) == 0) {
            std::fprintf(stderr, "soak: the game set pref.dat aside as unreadable: %s\n", entry.path().c_str());
            status = 1;
        }
    std::vector<memtrend::Sample> memory;
    for (const Sample& s : samples) memory.push_back({s.at, s.heap, s.inLevel});
    const memtrend::Verdict verdict = memtrend::JudgeGrowth(memory, opt.seconds, opt.allowMb);
    size_t lo = SIZE_MAX, hi = 0;
    for (const Sample& s : samples) lo = std::min(lo, s.heap), hi = std::max(hi, s.heap);
    std::printf("soak: %.0f s, %zu samples, %d restarts, heap %.2f..%.2f MB; %s%s\n", opt.seconds, samples.size(),
                restarts, samples.empty() ? 0 : lo / 1048576.0, hi / 1048576.0, verdict.why.c_str(),
                verdict.grows ? ": MEMORY GROWS" : "");
    if (verdict.grows) status = 1;
    std::error_code ec;
    fs::remove_all(home, ec);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    opt.data = std::string(PEMBERLY_SOURCE_DIR) + "/data";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds") opt.seconds = std::atof(argv[i + 1]);
        else if (a == "--every") opt.every = std::atof(argv[i + 1]);
        else if (a == "--allow-mb") opt.allowMb = std::atof(argv[i + 1]);
        else if (a == "--seed") opt.seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (a == "--data") opt.data = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: soak [--seconds N] [--every N] [--seed N] [--allow-mb N] [--data DIR]\n");
            return 2;
        }
    }
    std::fflush(stdout);
    // The game runs in a child so that a crash still ends with a summary.
    const pid_t child = fork();
    if (child < 0) return RunSoak(opt);
    if (child == 0) std::exit(RunSoak(opt));  // exit, not _exit: the leak check runs at exit
    int ws = 0;
    waitpid(child, &ws, 0);
    if (WIFSIGNALED(ws)) {
        std::printf("soak: CRASHED with signal %d (%s), seed %u\n", WTERMSIG(ws), strsignal(WTERMSIG(ws)), opt.seed);
        return 3;
    }
    const int code = WIFEXITED(ws) ? WEXITSTATUS(ws) : 1;
    std::printf("soak: %s (status %d), seed %u\n", code == 0 ? "passed" : "FAILED", code, opt.seed);
    return code;
}
