#include "scenes/SceneCaption.h"

#include "display/TextSprite.h"

Bitmap* sceneCaption(const CaptionLook& look, int32_t height, const char* text) {
    return createTextSprite(look.style, height, 0, text, look.factor, look.weight);
}
