#include "platform/sdl/X11WindowWatch.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#if defined(INTRO_SDL_WITH_X11) && defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>

namespace {

Display* watchedDisplay = nullptr;
std::atomic<unsigned long> watchedWindow{0};
std::atomic<unsigned long> lostWindow{0};  // errors naming this window are expected and swallowed
std::atomic<bool> lost{false};
int (*previousHandler)(Display*, XErrorEvent*) = nullptr;

// An error about our own window means it is gone (destroyed by another client). Once it is, SDL's
// own handling of the window's last events fails on it too, naming other ids: every BadWindow and
// BadDrawable from then on is part of the same loss. Anything else goes to the handler that was
// there before (SDL's, then Xlib's report and exit).
int catchWindowErrors(Display* display, XErrorEvent* error) {
    unsigned long resource = error->resourceid;
    bool ours = resource != 0 && (resource == watchedWindow.load() || resource == lostWindow.load());
    bool aftermath =
        (lost.load() || lostWindow.load() != 0) && (error->error_code == BadWindow || error->error_code == BadDrawable);
    if (ours && resource == watchedWindow.load()) lost.store(true);
    if (ours || aftermath) return 0;
    return previousHandler ? previousHandler(display, error) : 0;
}

// The server is gone, and with it everything the show could draw on. Xlib's own handler would print
// its report and exit through the static destructors while the mixing worker still runs; this ends
// the process as a missing display does, without running them. Xlib requires it not to return.
int reportLostServer(Display* display) {
    std::fprintf(stderr, "display: lost the connection to the X server %s\n", DisplayString(display));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

void X11WindowWatch::attach(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watchedDisplay = info.info.x11.display;
    watchedWindow.store(info.info.x11.window);
    lostWindow.store(0);
    lost.store(false);
    int (*installed)(Display*, XErrorEvent*) = XSetErrorHandler(catchWindowErrors);
    if (installed != catchWindowErrors) previousHandler = installed;
    XSetIOErrorHandler(reportLostServer);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void X11WindowWatch::detach() {
    if (watchedDisplay == nullptr) return;
    lostWindow.store(watchedWindow.load());
    watchedWindow.store(0);
    lost.store(false);
    watchedDisplay = nullptr;
    SDL_EventState(SDL_SYSWMEVENT, SDL_DISABLE);
}

void X11WindowWatch::noteEvent(const SDL_Event& sdlEvent) {
    if (sdlEvent.type != SDL_SYSWMEVENT || sdlEvent.syswm.msg == nullptr) return;
    const SDL_SysWMmsg& message = *sdlEvent.syswm.msg;
    if (message.subsystem != SDL_SYSWM_X11) return;
    const XEvent& event = message.msg.x11.event;
    if (event.type == DestroyNotify && event.xdestroywindow.window == watchedWindow.load()) lost.store(true);
}

bool X11WindowWatch::windowLost() { return watchedDisplay != nullptr && lost.load(); }

bool X11WindowWatch::focusOrphaned() {
    if (watchedDisplay == nullptr) return false;
    // A window manager is the one client that redirects the root window's structure changes.
    XWindowAttributes root;
    if (XGetWindowAttributes(watchedDisplay, DefaultRootWindow(watchedDisplay), &root) == 0) return false;
    if (root.all_event_masks & SubstructureRedirectMask) return false;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(watchedDisplay, &focus, &revert);
    return focus == None || focus == PointerRoot;
}

#else

void X11WindowWatch::attach(SDL_Window*) {}
void X11WindowWatch::detach() {}
void X11WindowWatch::noteEvent(const SDL_Event&) {}
bool X11WindowWatch::windowLost() { return false; }
bool X11WindowWatch::focusOrphaned() { return false; }

#endif
