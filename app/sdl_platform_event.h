#pragma once
// The event SdlEventLoop hands its client, as SDL gave it. Only the .cpp files of the loop and of
// the window procedure include this, so no other header sees SDL's types.
#include <SDL.h>

struct PlatformEvent {
    SDL_Event sdl;
};
