// The show in a web page: the canvas, the page's sound and the browser's text drawing, the embedded
// song. Started with the argument --check it instead runs the show as the capture tool does
// (app/web/Check.h) and prints the hashes of its frames and sound.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>

#include "app/web/Check.h"
#include "assets/Song.h"
#include "music/ModulePlayer.h"
#include "platform/web/WebAudioDevice.h"
#include "platform/web/WebDisplayBackend.h"
#include "platform/web/WebFontEngine.h"
#include "platform/web/WebSilentClock.h"
#include "show/Show.h"

// The audible song position for the page, order * 256 + row; -1 until the song has started.
extern "C" EMSCRIPTEN_KEEPALIVE int intro_position() {
    if (ModulePlayer::elapsedMs(ModulePlayer::heldSong()) == 0) return -1;
    return ModulePlayer::currentOrder() * 256 + ModulePlayer::currentRow();
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0) std::exit(runCheck());

    // Escape ends the process from inside the display's event pump without unwinding.
    static WebDisplayBackend display;
    static WebFontEngine fonts;
    static WebAudioDevice audio;
    static WebSilentClock silentClock;  // keeps the song's time when the page's sound cannot start

    ShowSetup setup;
    setup.display = &display;
    setup.fonts = &fonts;
    setup.audio = &audio;
    setup.silentClock = &silentClock;
    setup.song = songImage;
    setup.songSize = songImageSize;
    setup.scenes = showSceneFactory();
    // Through exit, so that the page hears the status (returning from main does not end a page's
    // program).
    std::exit(runShow(setup));
}
