// The show on a desktop: an SDL2 window and sound device, FreeType captions, the embedded song.
#include "assets/Song.h"
#include "platform/common/SilentClockAudioDevice.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "platform/sdl/SdlAudioDevice.h"
#include "platform/sdl/SdlDisplayBackend.h"
#include "show/Show.h"

int main(int, char**) {
    // Escape ends the process from inside the display's event pump without unwinding, so none of
    // these is destroyed under the still-running audio thread.
    SdlDisplayBackend display;
    FreeTypeFontEngine fonts;
    SdlAudioDevice audio;
    SilentClockAudioDevice silentClock;  // keeps the song's time when no sound device opens

    ShowSetup setup;
    setup.display = &display;
    setup.fonts = fonts.open() ? &fonts : nullptr;
    setup.audio = &audio;
    setup.silentClock = &silentClock;
    setup.song = songImage;
    setup.songSize = songImageSize;
    setup.scenes = showSceneFactory();
    return runShow(setup);
}
