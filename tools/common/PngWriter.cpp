#include "tools/common/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, int32_t scale,
              std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // Declared before setjmp: nothing to unwind when libpng jumps back on an error.
    std::vector<png_byte> row(size_t(width) * size_t(scale) * 3);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        *error = "PNG encoding failed for " + path;
        return false;
    }
    png_init_io(png, file);
    // Frames are mostly flat colour: fast compression loses little size and keeps the capture quick.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width * scale), png_uint_32(height * scale), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* source = pixels + size_t(y) * size_t(width);
        png_byte* out = row.data();
        for (int32_t x = 0; x < width; ++x)
            for (int32_t copy = 0; copy < scale; ++copy) {
                *out++ = png_byte(source[x] >> 16);
                *out++ = png_byte(source[x] >> 8);
                *out++ = png_byte(source[x]);
            }
        for (int32_t copy = 0; copy < scale; ++copy) png_write_row(png, row.data());
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
