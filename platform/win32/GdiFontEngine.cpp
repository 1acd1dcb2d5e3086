#include "platform/win32/GdiFontEngine.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

static HFONT createFont(const FontRequest& request, const char* family) {
    return CreateFontA(request.cellHeight, request.width, 0, 0, request.weight, FALSE, FALSE, FALSE,
                       request.symbolCharset ? SYMBOL_CHARSET : ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, family);
}

// A memory device context with the requested font selected; released by its destructor.
struct FontContext {
    HDC context = nullptr;
    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;

    FontContext(const FontRequest& request, const char* family) {
        context = CreateCompatibleDC(nullptr);
        if (context == nullptr) return;
        font = createFont(request, family);
        if (font != nullptr) previousFont = SelectObject(context, font);
    }
    ~FontContext() {
        if (context != nullptr && previousFont != nullptr) SelectObject(context, previousFont);
        if (font != nullptr) DeleteObject(font);
        if (context != nullptr) DeleteDC(context);
    }
    bool usable() const { return context != nullptr && font != nullptr; }
};

bool GdiFontEngine::open(const char* name) {
    std::snprintf(family, sizeof(family), "%s", name);
    FontRequest request;
    request.cellHeight = 20;
    FontContext probe(request, family);
    char chosen[LF_FACESIZE] = {};
    bool named = probe.usable() && GetTextFaceA(probe.context, LF_FACESIZE, chosen) > 0;
    // Arial's metric twin has the same widths and heights, so captions keep their sizes.
    faceFound = named && (_stricmp(chosen, family) == 0 ||
                          (_stricmp(family, "Arial") == 0 && _stricmp(chosen, "Liberation Sans") == 0));
    if (!faceFound)
        std::fprintf(stderr, "captions: the font \"%s\" is not installed; GDI draws them in \"%s\"\n", family,
                     chosen[0] != 0 ? chosen : "no face");
    return faceFound;
}

int32_t GdiFontEngine::maxCharWidth(const FontRequest& request) {
    FontContext fonts(request, family);
    TEXTMETRICA metrics;
    if (!fonts.usable() || !GetTextMetricsA(fonts.context, &metrics)) return 0;
    return int32_t(metrics.tmMaxCharWidth);
}

bool GdiFontEngine::drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                             int32_t height) {
    if (text == nullptr || pixels == nullptr || width <= 0 || height <= 0) return false;
    FontContext fonts(request, family);
    if (!fonts.usable()) return false;

    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // rows top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(fonts.context, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (image == nullptr || bits == nullptr) {
        if (image != nullptr) DeleteObject(image);
        return false;
    }
    HGDIOBJ previousImage = SelectObject(fonts.context, image);

    RECT whole = {0, 0, width, height};
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(fonts.context, &whole, black);
    DeleteObject(black);
    SetBkColor(fonts.context, RGB(0, 0, 0));
    SetTextColor(fonts.context, RGB(255, 255, 255));
    TextOutA(fonts.context, 0, 0, text, int(std::strlen(text)));
    // GDI may batch drawing: everything must be in the pixels before they are read.
    GdiFlush();
    std::memcpy(pixels, bits, size_t(width) * size_t(height) * 4);

    SelectObject(fonts.context, previousImage);
    DeleteObject(image);
    return true;
}
