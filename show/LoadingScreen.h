#pragma once

struct Bitmap;

// The screen shown while the show prepares: "loading, please wait" in white on black with three
// square lights to its left, each lit at random. Redrawn and presented once per unit of start-up work.
struct LoadingScreen {
    // The caption drawn by step; created by the entry routine before the first step.
    static Bitmap* caption;

    // Redraws the loading screen into the Framebuffer and presents it (which also handles Escape).
    static void step();
    // Draws the loading screen into target without presenting it.
    static void draw(Bitmap* target);
};
