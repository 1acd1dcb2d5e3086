#pragma once
#include <cstdint>

struct Module;

// What the main loop does for the audible order position.
enum class TimelineSlot { Title, Cube, Ring, ParticleCloud, Credits, Fade, Nothing };

using OrderReader = int32_t (*)(const Module* module);

// The show's timeline: orders 0-1 title, 2 cube, 3-4 ring, 5-6 particle cloud, 7-8 credits, 9 the
// closing fade, 10 and later nothing. The position is read afresh for every comparison, so an order
// change in the middle of the comparisons picks the slot that the newer reading falls in.
TimelineSlot pickTimelineSlot(OrderReader readOrder, const Module* module);

// The closing fade's next level: level - timeStep * 0.0025, never below exactly 0.
float nextFadeLevel(float fadeLevel, float timeStep);
