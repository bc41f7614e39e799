#include "platform/clipboard.h"

#include <SDL.h>

namespace platform {
namespace {

// The clipboard belongs to SDL's video subsystem; the reference taken here is
// kept for the life of the process.
bool EnsureVideo() {
    static bool held = false;
    if (held) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    held = true;
    return true;
}

} // namespace

std::string GetClipboardText() {
    if (!EnsureVideo()) return {};
    char* text = SDL_GetClipboardText();
    if (!text) return {};
    std::string out(text);
    SDL_free(text);
    return out;
}

bool SetClipboardText(const std::string& text) {
    if (!EnsureVideo()) return false;
    return SDL_SetClipboardText(text.c_str()) == 0;
}

} // namespace platform
