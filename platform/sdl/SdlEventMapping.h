#pragma once
#include "platform/DisplayBackend.h"

union SDL_Event;

// True for the SDL events after which the window may have to take the keyboard focus back by
// itself: it was exposed or the pointer entered it.
bool mayReclaimFocus(const SDL_Event& sdlEvent);

// The display event for one SDL event, if it maps to one (false: the event is skipped).
// focusOrphaned says that no window manager runs and no window holds the keyboard focus; then an
// exposed or entered window counts as activated, since nobody else will ever give it the focus.
bool translateSdlEvent(const SDL_Event& sdlEvent, bool focusOrphaned, DisplayEvent* event);
