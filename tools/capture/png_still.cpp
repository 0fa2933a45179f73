#include "png_still.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> toRgb(const uint8_t* pixels, int width, int height, int pitchBytes)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint8_t* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * pitchBytes;
        for (int x = 0; x < width; ++x, out += 3) {
            // Little-endian X8R8G8B8: blue, green, red, unused.
            out[0] = row[x * 4 + 2];
            out[1] = row[x * 4 + 1];
            out[2] = row[x * 4 + 0];
        }
    }
    return rgb;
}

} // namespace

bool writePngStill(const std::string& path, const uint8_t* pixels, int width, int height, int pitchBytes,
                   std::string& error)
{
    const std::vector<uint8_t> rgb = toRgb(pixels, width, height, pitchBytes);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const std::string temporary = path + ".partial-" + std::to_string(getpid());
    if (!png_image_write_to_file(&image, temporary.c_str(), 0, rgb.data(), width * 3, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
