#include "png_writer.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace makedata {

namespace {

void onPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) {
        *error = message;
    }
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool writePng(const std::string& path, const Image& image, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        if (error) {
            *error = "cannot open " + path + " for writing: " + std::strerror(errno);
        }
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        png_write_row(png, reinterpret_cast<png_const_bytep>(&image.at(0, y)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        if (error) {
            *error = "cannot finish writing " + path;
        }
        return false;
    }
    return true;
}

}  // namespace makedata
