/* What the fault matrix asks an X server about the show's window, or sends it:
 *   window-probe close WINDOW   sends the request a window manager sends when its close button is
 *                               pressed (WM_PROTOCOLS / WM_DELETE_WINDOW)
 *   window-probe lit WINDOW     prints how many pixels of the window are not black (0 until the show
 *                               has presented a picture into it) and a hash of all of them
 *   window-probe mapped WINDOW  prints 1 while the window is viewable, 0 when it is unmapped (as an
 *                               iconified window is) or gone
 *   window-probe managed        prints 1 when a window manager runs (a client redirects the root
 *                               window's structure changes), else 0
 * Exits 1 with one line on stderr when the display cannot be opened or the window is gone (for
 * close and lit). */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int ignoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

static int sendCloseRequest(Display* display, Window window) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

/* Cuts the span from start over length to 0..limit; false when nothing is left. */
static int clip(int* start, int* length, int limit) {
    if (*start < 0) {
        *length += *start;
        *start = 0;
    }
    if (*start + *length > limit) *length = limit - *start;
    return *length > 0;
}

/* Read from the screen (the root window) where the window lies on it: a window that sticks out of the
 * screen, as a full-screen one framed by a window manager does, cannot be read as a whole. */
static int countLitPixels(Display* display, Window window) {
    XWindowAttributes attributes, screen;
    Window root = DefaultRootWindow(display), child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(display, window, &attributes) || !XGetWindowAttributes(display, root, &screen) ||
        !XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
        fprintf(stderr, "window-probe: no window 0x%lx\n", window);
        return 1;
    }
    long lit = 0;
    unsigned long hash = 2166136261u;
    int width = attributes.width, height = attributes.height;
    if (attributes.map_state == IsViewable && clip(&x, &width, screen.width) && clip(&y, &height, screen.height)) {
        XImage* image = XGetImage(display, root, x, y, (unsigned)width, (unsigned)height, AllPlanes, ZPixmap);
        if (image != NULL) {
            for (int row = 0; row < image->height; ++row)
                for (int column = 0; column < image->width; ++column) {
                    unsigned long pixel = XGetPixel(image, column, row);
                    lit += pixel != 0;
                    hash = (hash ^ pixel) * 16777619u;
                }
            XDestroyImage(image);
        }
    }
    printf("%ld %lx\n", lit, hash);
    return 0;
}

static int printMapped(Display* display, Window window) {
    XWindowAttributes attributes;
    int viewable = XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    printf("%d\n", viewable);
    return 0;
}

static int printManaged(Display* display) {
    XWindowAttributes root;
    int managed = XGetWindowAttributes(display, DefaultRootWindow(display), &root) &&
                  (root.all_event_masks & SubstructureRedirectMask) != 0;
    printf("%d\n", managed);
    return 0;
}

int main(int argc, char** argv) {
    int managedRequest = argc == 2 && strcmp(argv[1], "managed") == 0;
    if (argc != 3 && !managedRequest) {
        fprintf(stderr, "usage: window-probe close|lit|mapped WINDOW-ID, or window-probe managed\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "window-probe: cannot open display\n");
        return 1;
    }
    /* A window that goes away while it is looked at is answered as gone, not with Xlib's exit. */
    XSetErrorHandler(ignoreErrors);
    Window window = managedRequest ? None : (Window)strtoul(argv[2], NULL, 0);
    int status = 2;
    if (managedRequest)
        status = printManaged(display);
    else if (strcmp(argv[1], "close") == 0)
        status = sendCloseRequest(display, window);
    else if (strcmp(argv[1], "lit") == 0)
        status = countLitPixels(display, window);
    else if (strcmp(argv[1], "mapped") == 0)
        status = printMapped(display, window);
    else
        fprintf(stderr, "window-probe: unknown request %s\n", argv[1]);
    XCloseDisplay(display);
    return status;
}
