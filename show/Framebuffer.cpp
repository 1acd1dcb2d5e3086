#include "show/Framebuffer.h"

Bitmap framebuffer(screenWidth, screenHeight);
