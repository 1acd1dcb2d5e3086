#pragma once
#include "engine/Bitmap.h"

constexpr int32_t screenWidth = 640;
constexpr int32_t screenHeight = 480;

// The 640 x 480 image that every frame is drawn into. It has static lifetime: constructed before the
// entry routine runs, its pixels freed at normal process exit.
extern Bitmap framebuffer;
