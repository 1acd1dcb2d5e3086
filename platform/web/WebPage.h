#pragma once
#include <cstdint>

// The functions of platform/web/intro.js, the page's side of the web backends. Each reads or
// changes what the page shows or plays; the page's own script (app/web/index.html) supplies the
// canvas, the sound context and the events, and watches the state these report.
extern "C" {

// Display. open sizes the canvas (false: no canvas); show copies width x height RGBA pixels to it;
// wait_frame returns at the browser's next display frame (the page meanwhile has its turn);
// next_event gives 0 activated, 1 deactivated, 2 Escape, 3 close request, or -1 for none.
int intro_display_open(int width, int height);
void intro_display_show(const uint32_t* pixels, int width, int height);
void intro_display_wait_frame(void);
int intro_display_next_event(void);

// Fonts. The widest character's advance in pixels at a cell height (ascent plus descent) and
// weight; draw writes text's coverage, white on black, into a width x height XRGB image.
int intro_font_max_width(int cellHeight, int weight);
int intro_font_draw(const char* text, uint32_t* pixels, int width, int height, int cellHeight, int weight);

// Sound. open: false unless the page has a running sound context. play starts the song's clock
// and has pass(player) run whenever a queued piece has been played; queue schedules frames of
// interleaved 16-bit stereo to start at frame firstFrame of the stream (late ones lose their
// beginning); played is the frames
// heard since play (the device's output latency taken off); stop silences and forgets everything.
int intro_audio_open(int rate);
void intro_audio_play(void (*pass)(void*), void* player);
void intro_audio_queue(const int16_t* samples, int frames, double firstFrame);
double intro_audio_played(void);
void intro_audio_stop(void);

// A repeating timer that calls tick(user) every milliseconds until stopped; returns its id.
int intro_timer_start(int milliseconds, void (*tick)(void*), void* user);
void intro_timer_stop(int id);

}  // extern "C"
