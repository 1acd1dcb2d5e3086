#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FontEngine.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct _FcConfig;

// Captions through FreeType, with the face found by fontconfig. Sizes follow the classic desktop
// convention: the requested height is the cell (the font's ascent plus descent, from its OS/2 win
// metrics), a non-zero width is the average character width, and the maximum character width is the
// font's widest advance at that size. Glyphs are hinted, antialiased and drawn with the cell's top at
// row 0 (baseline at the ascent), pen from column 0, without kerning.
class FreeTypeFontEngine final : public FontEngine {
public:
    FreeTypeFontEngine() = default;
    ~FreeTypeFontEngine();
    FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
    FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

    // Starts FreeType and resolves family through fontconfig. A family that resolves to another font
    // (for "Arial" anything but Arial or its metric twin Liberation Sans) or to nothing prints one line
    // on stderr naming the package to install; captions then come out blank but keep their sizes.
    // False only when FreeType itself cannot start.
    bool open(const char* family = "Arial");
    // True when open found the family, so that text is actually drawn.
    bool hasFace() const { return faceFound; }
    void close();

    int32_t maxCharWidth(const FontRequest& request) override;
    // The scale of one request: 16.16 factors from font units to 26.6 pixels, and in whole pixels the
    // distance from the cell's top to the baseline and the widest advance.
    struct Scale {
        long xScale;
        long yScale;
        int32_t ascent;
        int32_t maxAdvance;
    };
    bool drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                  int32_t height) override;

private:
    struct LoadedFace {
        int32_t weight;     // the requested weight, 100-1000
        FT_FaceRec_* face;  // nullptr when this weight did not resolve to the family
        bool embolden;      // fontconfig asks for synthetic bold at this weight
    };
    const LoadedFace* faceFor(int32_t weight);
    bool resolve(int32_t weight, std::string* file, int* index, bool* embolden, std::string* resolvedFamily);
    bool acceptable(const std::string& resolvedFamily) const;
    Scale applySize(FT_FaceRec_* face, const FontRequest& request);

    FT_LibraryRec_* library = nullptr;
    _FcConfig* config = nullptr;  // this engine's own fontconfig configuration
    std::string family;
    std::vector<LoadedFace> faces;
    bool faceFound = false;
};
