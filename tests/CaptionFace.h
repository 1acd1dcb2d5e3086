#pragma once
// The caption tests' boxes, baselines and widths were measured with Liberation Sans 2
// (fonts-liberation2), the face "Arial" resolves to where scripts/setup has run. Elsewhere "Arial"
// may be another face (Arial itself draws other glyphs on the same metrics; without it fontconfig
// picks any sans), and those tests would fail for nothing: they skip with a line saying what
// "Arial" is here. A machine without Liberation Sans 2 at all lacks what setup installs (see
// MISSING_PREREQUISITE).
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/Prerequisites.h"

// The face fontconfig chooses for family at regular weight, as the caption engine asks for it.
struct ResolvedFace {
    std::string family;  // empty when nothing matched
    int version = 0;     // the font's revision, 16.16 fixed point: 2.1 is 0x2199A
};

inline ResolvedFace resolveFace(const char* family) {
    ResolvedFace face;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return face;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match != nullptr) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
            face.family = reinterpret_cast<char*>(name);
        FcPatternGetInteger(match, FC_FONTVERSION, 0, &face.version);
        FcPatternDestroy(match);
    }
    FcConfigDestroy(config);
    return face;
}

inline bool isReferenceFace(const ResolvedFace& face) {
    return face.family == "Liberation Sans" && face.version >> 16 == 2;
}

// "Family" and its revision to two places, or nothing.
inline std::string describeFace(const ResolvedFace& face) {
    if (face.family.empty()) return "nothing";
    char revision[16];
    std::snprintf(revision, sizeof revision, "%.2f", face.version / 65536.0);
    return "\"" + face.family + "\" " + revision;
}

// Ends the running test unless "Arial" resolves to Liberation Sans 2. Use as a statement.
#define SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE()                                               \
    do {                                                                                        \
        ResolvedFace arial_ = resolveFace("Arial");                                             \
        if (isReferenceFace(arial_)) break;                                                     \
        if (!isReferenceFace(resolveFace("Liberation Sans"))) {                                 \
            MISSING_PREREQUISITE(                                                               \
                "Liberation Sans 2 (fonts-liberation2), which the captions are measured with, " \
                "is not installed");                                                            \
        }                                                                                       \
        GTEST_SKIP() << "\"Arial\" resolves to " << describeFace(arial_)                        \
                     << ", not Liberation Sans 2, which these captions are measured with";      \
    } while (0)
