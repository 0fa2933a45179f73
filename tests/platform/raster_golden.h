// Golden images for the rasteriser tests: PNG files in tests/golden. A comparison that fails
// writes the actual image and a difference image next to the build. Setting the environment
// variable TOVIRA_UPDATE_GOLDENS=1 rewrites the goldens instead (review them before committing).
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace d3d8test {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB; alpha is not stored
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Image crop(const std::vector<uint32_t>& frame, int frameWidth, int x0, int y0, int w, int h) {
    Image img{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) img.pixels[static_cast<size_t>(y) * w + x] = frame[(y0 + y) * frameWidth + x0 + x];
    }
    return img;
}

inline bool writePng(const std::string& path, const Image& img) {
    std::vector<uint8_t> rgb(static_cast<size_t>(img.width) * img.height * 3);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        rgb[3 * i] = static_cast<uint8_t>(img.pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(img.pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(img.pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(img.width);
    image.height = static_cast<png_uint_32>(img.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

inline bool readPng(const std::string& path, Image& img) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    img.width = static_cast<int>(image.width);
    img.height = static_cast<int>(image.height);
    img.pixels.resize(static_cast<size_t>(img.width) * img.height);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        img.pixels[i] = 0xFF000000u | (uint32_t(rgb[3 * i]) << 16) | (uint32_t(rgb[3 * i + 1]) << 8) | rgb[3 * i + 2];
    }
    return true;
}

// Compares RGB exactly with tests/golden/<name>.png.
inline void expectGolden(const std::string& name, const Image& actual) {
    const std::string golden = std::string(TOVIRA_TEST_SOURCE_DIR) + "/golden/" + name + ".png";
    const char* update = std::getenv("TOVIRA_UPDATE_GOLDENS");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(writePng(golden, actual)) << golden;
        return;
    }
    Image expected;
    ASSERT_TRUE(readPng(golden, expected)) << "missing golden " << golden;
    ASSERT_EQ(expected.width, actual.width);
    ASSERT_EQ(expected.height, actual.height);
    Image diff{actual.width, actual.height, std::vector<uint32_t>(actual.pixels.size(), 0xFF000000u)};
    int different = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const uint32_t a = actual.at(x, y) & 0xFFFFFF, e = expected.at(x, y) & 0xFFFFFF;
            if (a == e) continue;
            if (different++ == 0) firstX = x, firstY = y;
            uint32_t d = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int delta = std::abs(int((a >> shift) & 0xFF) - int((e >> shift) & 0xFF));
                d |= uint32_t(std::min(255, 64 + 4 * delta)) << shift;
            }
            diff.pixels[static_cast<size_t>(y) * actual.width + x] = 0xFF000000u | d;
        }
    }
    if (different) {
        const std::string base = std::string(TOVIRA_TEST_BINARY_DIR) + "/" + name;
        writePng(base + ".actual.png", actual);
        writePng(base + ".diff.png", diff);
        ADD_FAILURE() << name << ": " << different << " pixels differ, first at (" << firstX << ", " << firstY
                      << "): actual " << std::hex << (actual.at(firstX, firstY) & 0xFFFFFF) << " expected "
                      << (expected.at(firstX, firstY) & 0xFFFFFF) << "; see " << base << ".actual.png and .diff.png";
    }
}

}  // namespace d3d8test
