#include "platform/sdl/SdlEventMapping.h"

#include <SDL.h>

bool mayReclaimFocus(const SDL_Event& sdlEvent) {
    return sdlEvent.type == SDL_WINDOWEVENT &&
           (sdlEvent.window.event == SDL_WINDOWEVENT_EXPOSED || sdlEvent.window.event == SDL_WINDOWEVENT_ENTER);
}

bool translateSdlEvent(const SDL_Event& sdlEvent, bool focusOrphaned, DisplayEvent* event) {
    switch (sdlEvent.type) {
    case SDL_QUIT: *event = DisplayEvent::CloseRequest; return true;
    case SDL_KEYDOWN:
        *event = sdlEvent.key.keysym.sym == SDLK_ESCAPE ? DisplayEvent::EscapeKey : DisplayEvent::OtherKey;
        return true;
    case SDL_WINDOWEVENT:
        switch (sdlEvent.window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED: *event = DisplayEvent::Activated; return true;
        case SDL_WINDOWEVENT_HIDDEN:
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED: *event = DisplayEvent::Deactivated; return true;
        case SDL_WINDOWEVENT_CLOSE: *event = DisplayEvent::CloseRequest; return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_ENTER:
            if (!focusOrphaned) return false;
            *event = DisplayEvent::Activated;
            return true;
        default: return false;
        }
    default: return false;
    }
}
