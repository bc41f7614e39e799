// The least a game of this kind can cost: a plain SDL2 program that presents
// an 800 x 600 frame of its own pixels 100 times a second (the game's frame
// rate), in a window or scaled onto a full-screen desktop, and does nothing
// else. bench/cpu_share.py runs it beside the game and reads the game's CPU
// time as a multiple of this one's.
//
// Usage: present_anchor [--fullscreen] [--seconds S]   (S 0: until closed or killed)
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    bool fullscreen = false;
    double seconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fullscreen") == 0)
            fullscreen = true;
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--fullscreen] [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    // The window's own pixels, sent to the X server as they are: no renderer
    // (without a graphics card, a software GL driver) behind the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("present_anchor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                                          fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!window || !frame) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        return 1;
    }
    const Uint64 start = SDL_GetTicks64();
    Uint64 next = start;
    for (int n = 0;; ++n) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_QUIT) seconds = -1;
        if (seconds < 0 || (seconds > 0 && SDL_GetTicks64() - start >= Uint64(seconds * 1000))) break;
        // Something moves, so that each frame is a new one.
        SDL_FillRect(frame, nullptr, SDL_MapRGB(frame->format, 32, 48, 64));
        SDL_Rect box{n % 700, 250, 100, 100};
        SDL_FillRect(frame, &box, SDL_MapRGB(frame->format, 220, 180, 40));
        SDL_Surface* target = SDL_GetWindowSurface(window);
        if (!target) break;
        if (target->w == 800 && target->h == 600) {
            SDL_BlitSurface(frame, nullptr, target, nullptr);
        } else {
            // The picture scaled whole into the screen, aspect kept and centred.
            const double scale = SDL_min(target->w / 800.0, target->h / 600.0);
            SDL_Rect to{int((target->w - 800 * scale) / 2), int((target->h - 600 * scale) / 2), int(800 * scale),
                        int(600 * scale)};
            SDL_BlitScaled(frame, nullptr, target, &to);
        }
        SDL_UpdateWindowSurface(window);
        next += 10;
        const Uint64 now = SDL_GetTicks64();
        if (next > now)
            SDL_Delay(Uint32(next - now));
        else
            next = now;   // late: no catching up in a burst
    }
    SDL_FreeSurface(frame);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
