// The show on Windows: DirectDraw full screen, waveOut sound, GDI captions, the embedded song.
#include <windows.h>

#include "assets/Song.h"
#include "platform/common/SilentClockAudioDevice.h"
#include "platform/win32/DirectDrawDisplayBackend.h"
#include "platform/win32/GdiFontEngine.h"
#include "platform/win32/WaveOutAudioDevice.h"
#include "show/Show.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Escape ends the process from inside the display's message pump without unwinding, so none of
    // these is destroyed under the still-running audio thread.
    DirectDrawDisplayBackend display;
    GdiFontEngine fonts;
    WaveOutAudioDevice audio;
    SilentClockAudioDevice silentClock;  // keeps the song's time when waveOut cannot open
    fonts.open();

    ShowSetup setup;
    setup.display = &display;
    setup.fonts = &fonts;
    setup.audio = &audio;
    setup.silentClock = &silentClock;
    setup.song = songImage;
    setup.songSize = songImageSize;
    setup.scenes = showSceneFactory();
    return runShow(setup);
}
