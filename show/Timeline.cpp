#include "show/Timeline.h"

TimelineSlot pickTimelineSlot(OrderReader readOrder, const Module* module) {
    if (readOrder(module) < 2) return TimelineSlot::Title;
    if (readOrder(module) < 3) return TimelineSlot::Cube;
    if (readOrder(module) < 5) return TimelineSlot::Ring;
    if (readOrder(module) < 7) return TimelineSlot::ParticleCloud;
    if (readOrder(module) < 9) return TimelineSlot::Credits;
    if (readOrder(module) < 10) return TimelineSlot::Fade;
    return TimelineSlot::Nothing;
}

float nextFadeLevel(float fadeLevel, float timeStep) {
    float level = fadeLevel - timeStep * 0.0025f;
    return level < 0.0f ? 0.0f : level;
}
