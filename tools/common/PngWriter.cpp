#include "tools/common/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// What varies between the two writers: the PNG's colour type and bytes per pixel, its
// compression level, and how one row of the output is filled from the picture (in one buffer,
// kept from row to row).
struct PngLayout {
    int32_t width = 0;  // of the PNG, after any enlargement
    int32_t height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int32_t bytesPerPixel = 3;
    int compressionLevel = 3;
};

template <typename FillRow>
bool writeRows(const std::string& path, const PngLayout& layout, FillRow fillRow, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // Declared before setjmp: nothing to unwind when libpng jumps back on an error.
    std::vector<png_byte> row(size_t(layout.width) * size_t(layout.bytesPerPixel));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        *error = "PNG encoding failed for " + path;
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, layout.compressionLevel);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), 8, layout.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < layout.height; ++y) {
        fillRow(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool failed = std::ferror(file) != 0;
    failed |= std::fclose(file) != 0;
    if (failed) {
        *error = "cannot finish " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, int32_t scale,
              std::string* error) {
    // Frames are mostly flat colour: fast compression loses little size and keeps the capture quick.
    PngLayout layout{.width = width * scale, .height = height * scale};
    return writeRows(
        path, layout,
        [&](int32_t y, png_byte* out) {
            if (y % scale != 0) return;  // the row still holds this enlarged source row
            const uint32_t* source = pixels + size_t(y / scale) * size_t(width);
            for (int32_t x = 0; x < width; ++x)
                for (int32_t copy = 0; copy < scale; ++copy) {
                    *out++ = png_byte(source[x] >> 16);
                    *out++ = png_byte(source[x] >> 8);
                    *out++ = png_byte(source[x]);
                }
        },
        error);
}

bool writePngWithAlpha(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                       std::string* error) {
    PngLayout layout{.width = width,
                     .height = height,
                     .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
                     .bytesPerPixel = 4,
                     .compressionLevel = 9};
    return writeRows(
        path, layout,
        [&](int32_t y, png_byte* out) {
            const uint32_t* source = pixels + size_t(y) * size_t(width);
            for (int32_t x = 0; x < width; ++x) {
                *out++ = png_byte(source[x] >> 16);
                *out++ = png_byte(source[x] >> 8);
                *out++ = png_byte(source[x]);
                *out++ = png_byte(source[x] >> 24);
            }
        },
        error);
}
