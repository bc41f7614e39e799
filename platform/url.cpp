#include "platform/url.h"

#include <SDL.h>
#include <cstdio>

namespace platform {
namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= s.size()) return false;
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

} // namespace

bool IsOpenableUrl(const std::string& url) {
    size_t rest;
    if (StartsWithNoCase(url, "http://")) rest = 7;
    else if (StartsWithNoCase(url, "https://")) rest = 8;
    else return false;
    // There must be a host after the scheme.
    if (rest >= url.size() || url[rest] == '/') return false;
    for (char ch : url) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool OpenUrl(const std::string& url) {
    if (!IsOpenableUrl(url)) {
        std::fprintf(stderr, "Refusing to open \"%s\": not an http or https address\n", url.c_str());
        return false;
    }
    if (SDL_OpenURL(url.c_str()) != 0) {
        std::fprintf(stderr, "Cannot open \"%s\": %s\n", url.c_str(), SDL_GetError());
        return false;
    }
    return true;
}

} // namespace platform
