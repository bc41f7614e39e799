#include "game/app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include "framework/display/dd_interface.h"
#include "framework/resources/file_access.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/paths.h"
#include "platform/url.h"
#include "platform/window.h"

namespace {

class GameFileAccess : public Zephra::FileAccess {
public:
    bool ReadFile(const std::string& path, std::string& bytes) override { return PakReadAll(path, bytes); }
    std::string LastError() const override { return PakLastError(); }
};

GameFileAccess gGameFileAccess;

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= s.size()) return false;
        char c = s[at + i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

} // namespace

std::string GameDirFromEnvironment() {
    const char* dir = std::getenv("PEMBERLY_DATA");
    return dir && *dir ? std::string(dir) : platform::ExecutableDir();
}

void InstallGameFileAccess(bool install) { Zephra::SetFileAccess(install ? &gGameFileAccess : nullptr); }

void InstallGameDisplay(OfficeApp& app) {
    platform::DirectXConfig& config = platform::DirectXConfig::Get();
    config.FromDesktop();
    std::string error;
    if (!config.ApplyEnvironment(&error)) std::fprintf(stderr, "display settings: %s\n", error.c_str());
    error.clear();
    if (!platform::Direct3DConfig::Get().ApplyEnvironment(&error))
        std::fprintf(stderr, "display settings: %s\n", error.c_str());
    app.mDDrawModule = platform::LoadModule("ddraw.dll");
    app.InstallDisplay(std::make_unique<Zephra::DDInterface>(&app));
}

std::string PlayUrlFromText(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        size_t start = pos;
        while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
        if (StartsWithNoCase(text, start, "URL=")) {
            std::string url = text.substr(start + 4, end - start - 4);
            while (!url.empty() && (url.back() == '\r' || url.back() == ' ' || url.back() == '\t')) url.pop_back();
            return url;
        }
        pos = end + 1;
    }
    return {};
}

int RunGame(const std::string& gameDir, bool openUrl) {
    PakSetGameDir(gameDir);
    if (PakResolvePath(kPlayUrlFile).empty()) {
        platform::ShowMessageBox(kCorruptFilesTitle, kCorruptFilesText);
        return 1;
    }
    InstallGameFileAccess(true);
    int status = 0;
    {
        auto app = std::make_unique<OfficeApp>();
        InstallGameDisplay(*app);
        if (app->Init()) app->Start();
        else status = 1;
        if (app->HasFailed()) status = 1;
    }
    if (status == 0 && openUrl) {
        std::string text;
        std::string url = PakReadAll(kPlayUrlFile, text) ? PlayUrlFromText(text) : std::string();
        if (!url.empty()) platform::OpenUrl(url);
    }
    InstallGameFileAccess(false);
    return status;
}
