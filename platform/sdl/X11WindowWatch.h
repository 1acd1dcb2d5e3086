#pragma once

struct SDL_Window;
union SDL_Event;

// What SDL does not tell about a window on an X11 server: whether it was destroyed from outside,
// whether a window manager runs, and whether anyone holds the keyboard focus. Each call does
// nothing (or answers false) when the window is not on an X11 server. Main thread only; one
// window at a time.
struct X11WindowWatch {
    // Starts watching window: from now on an X error about it marks it lost instead of ending the
    // process with Xlib's report, and the server's note of its destruction is passed as an SDL
    // system event (see noteEvent). A connection to the server that breaks (the server ended or was
    // killed) ends the process at once with status 1 and one line on stderr naming the display.
    static void attach(SDL_Window* window);
    // Stops watching; errors about the old window are still swallowed (it may be gone already).
    static void detach();
    // Looks at one SDL system event for the destruction of the watched window.
    static void noteEvent(const SDL_Event& sdlEvent);
    // True once the watched window has been destroyed from outside.
    static bool windowLost();
    // True when no window manager runs on the window's screen and no window holds the keyboard focus.
    static bool focusOrphaned();
};
