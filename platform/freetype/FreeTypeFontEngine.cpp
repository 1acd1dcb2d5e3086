#include "platform/freetype/FreeTypeFontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <cstdio>

// The metrics that size a caption, in font units.
struct CellMetrics {
    long ascent;        // OS/2 usWinAscent, or the hhea ascender
    long descent;       // OS/2 usWinDescent, or minus the hhea descender
    long averageWidth;  // OS/2 xAvgCharWidth; 0 when unknown
    long maxAdvance;    // hhea advanceWidthMax
};

// Used without a face, so that blank captions keep the sizes they would have: Liberation Sans.
static constexpr CellMetrics regularFallback{1854, 434, 1187, 2740};
static constexpr CellMetrics boldFallback{1854, 434, 1248, 2730};

// Characters 0x80-0x9F of the ANSI (Windows-1252) code page; 0 where the page has none.
static const uint16_t ansiHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

FreeTypeFontEngine::~FreeTypeFontEngine() { close(); }

bool FreeTypeFontEngine::open(const char* requestedFamily) {
    close();
    if (FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        std::fprintf(stderr, "captions: the FreeType library cannot start\n");
        return false;
    }
    family = requestedFamily != nullptr ? requestedFamily : "";
    std::string file, resolvedFamily;
    int index = 0;
    bool embolden = false;
    config = FcInitLoadConfigAndFonts();
    faceFound =
        config != nullptr && resolve(400, &file, &index, &embolden, &resolvedFamily) && acceptable(resolvedFamily);
    if (!faceFound) {
        std::fprintf(stderr, "captions: no font \"%s\" found (got \"%s\"); install the package fonts-liberation2\n",
                     family.c_str(), resolvedFamily.empty() ? "nothing" : resolvedFamily.c_str());
    }
    return true;
}

void FreeTypeFontEngine::close() {
    for (LoadedFace& loaded : faces)
        if (loaded.face != nullptr) FT_Done_Face(loaded.face);
    faces.clear();
    if (library != nullptr) FT_Done_FreeType(library);
    library = nullptr;
    if (config != nullptr) FcConfigDestroy(config);
    config = nullptr;
    faceFound = false;
}

// Family names compare without regard to ASCII case.
static bool sameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] + 32) : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

bool FreeTypeFontEngine::acceptable(const std::string& resolvedFamily) const {
    if (sameName(resolvedFamily, family.c_str())) return true;
    return sameName(family, "Arial") && sameName(resolvedFamily, "Liberation Sans");
}

// Asks fontconfig for the family at a weight in 1-1000 units (400 regular, 700 bold).
bool FreeTypeFontEngine::resolve(int32_t weight, std::string* file, int* index, bool* embolden,
                                 std::string* resolvedFamily) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(double(weight)));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;

    FcChar8* text = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch;
    if (found) *file = reinterpret_cast<const char*>(text);
    // A face may carry several family names; keep the one that matches what was asked, if any.
    resolvedFamily->clear();
    for (int n = 0; FcPatternGetString(match, FC_FAMILY, n, &text) == FcResultMatch; ++n) {
        std::string name = reinterpret_cast<const char*>(text);
        if (n == 0 || acceptable(name)) *resolvedFamily = name;
        if (acceptable(name)) break;
    }
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    FcBool bold = FcFalse;
    *embolden = FcPatternGetBool(match, FC_EMBOLDEN, 0, &bold) == FcResultMatch && bold;
    FcPatternDestroy(match);
    return found;
}

const FreeTypeFontEngine::LoadedFace* FreeTypeFontEngine::faceFor(int32_t weight) {
    if (weight < 1) weight = 1;
    if (weight > 1000) weight = 1000;
    for (const LoadedFace& loaded : faces)
        if (loaded.weight == weight) return &loaded;
    LoadedFace loaded{weight, nullptr, false};
    std::string file, resolvedFamily;
    int index = 0;
    if (faceFound && resolve(weight, &file, &index, &loaded.embolden, &resolvedFamily) && acceptable(resolvedFamily)) {
        if (FT_New_Face(library, file.c_str(), index, &loaded.face) != 0 || !FT_IS_SCALABLE(loaded.face)) {
            if (loaded.face != nullptr) FT_Done_Face(loaded.face);
            loaded.face = nullptr;
        }
    }
    faces.push_back(loaded);
    return &faces.back();
}

static CellMetrics metricsOf(FT_Face face) {
    CellMetrics metrics{face->ascender, -face->descender, 0, face->max_advance_width};
    if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            metrics.ascent = os2->usWinAscent;
            metrics.descent = os2->usWinDescent;
        }
        metrics.averageWidth = os2->xAvgCharWidth;
    }
    if (metrics.ascent + metrics.descent <= 0) {
        metrics.ascent = face->units_per_EM;
        metrics.descent = 0;
    }
    return metrics;
}

// Scales that make the cell request.cellHeight pixels high and, for a non-zero request.width, the
// average character request.width pixels wide (else the same scale both ways).
static FreeTypeFontEngine::Scale scaleFor(const CellMetrics& metrics, const FontRequest& request) {
    FreeTypeFontEngine::Scale scale;
    scale.yScale = FT_DivFix(FT_Long(request.cellHeight) * 64, metrics.ascent + metrics.descent);
    scale.xScale = request.width > 0 && metrics.averageWidth > 0
                       ? FT_DivFix(FT_Long(request.width) * 64, metrics.averageWidth)
                       : scale.yScale;
    scale.ascent = int32_t((FT_MulFix(metrics.ascent, scale.yScale) + 32) >> 6);
    scale.maxAdvance = int32_t((FT_MulFix(metrics.maxAdvance, scale.xScale) + 32) >> 6);
    return scale;
}

FreeTypeFontEngine::Scale FreeTypeFontEngine::applySize(FT_FaceRec_* face, const FontRequest& request) {
    Scale scale = scaleFor(metricsOf(face), request);
    FT_Size_RequestRec size{};
    size.type = FT_SIZE_REQUEST_TYPE_SCALES;
    size.width = scale.xScale;
    size.height = scale.yScale;
    FT_Request_Size(face, &size);
    return scale;
}

int32_t FreeTypeFontEngine::maxCharWidth(const FontRequest& request) {
    if (request.cellHeight <= 0 || library == nullptr) return 0;
    const LoadedFace* loaded = faceFor(request.weight);
    if (loaded->face == nullptr)
        return scaleFor(request.weight >= 600 ? boldFallback : regularFallback, request).maxAdvance;
    return applySize(loaded->face, request).maxAdvance;
}

// The glyph for one 8-bit character in the requested character set; 0 when the face lacks it.
static FT_UInt glyphFor(FT_Face face, unsigned char byte, bool symbolCharset) {
    if (symbolCharset) {
        FT_UInt glyph = FT_Get_Char_Index(face, 0xF000u + byte);
        if (glyph != 0) return glyph;
        return FT_Get_Char_Index(face, byte);
    }
    FT_ULong code = byte >= 0x80 && byte < 0xA0 ? ansiHighControls[byte - 0x80] : byte;
    return code != 0 ? FT_Get_Char_Index(face, code) : 0;
}

// Draws a rendered glyph's coverage as white at (left, top), keeping the brighter of overlapping edges.
static void blitGlyph(const FT_Bitmap& bitmap, int32_t left, int32_t top, uint32_t* pixels, int32_t width,
                      int32_t height) {
    for (int32_t y = 0; y < int32_t(bitmap.rows); ++y) {
        int32_t row = top + y;
        if (row < 0 || row >= height) continue;
        const unsigned char* source = bitmap.buffer + int64_t(y) * bitmap.pitch;
        for (int32_t x = 0; x < int32_t(bitmap.width); ++x) {
            int32_t column = left + x;
            if (column < 0 || column >= width) continue;
            uint32_t coverage =
                bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((source[x >> 3] >> (7 - (x & 7))) & 1) * 255 : source[x];
            uint32_t& pixel = pixels[int64_t(row) * width + column];
            if (coverage > (pixel & 0xFF)) pixel = coverage * 0x010101u;
        }
    }
}

bool FreeTypeFontEngine::drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                                  int32_t height) {
    if (text == nullptr || pixels == nullptr || width <= 0 || height <= 0 || request.cellHeight <= 0 ||
        library == nullptr)
        return false;
    const LoadedFace* loaded = faceFor(request.weight);
    if (loaded->face == nullptr) return false;
    FT_Face face = loaded->face;
    Scale scale = applySize(face, request);

    FT_Pos pen = 0;  // 26.6 pixels from column 0
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
        FT_UInt glyph = glyphFor(face, *c, request.symbolCharset);
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) continue;
        if (loaded->embolden) FT_GlyphSlot_Embolden(face->glyph);
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            blitGlyph(slot->bitmap, int32_t(pen >> 6) + slot->bitmap_left, scale.ascent - slot->bitmap_top, pixels,
                      width, height);
        }
        pen += face->glyph->advance.x;
        if ((pen >> 6) >= width) break;
    }
    return true;
}
