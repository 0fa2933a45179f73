#include "golden_image.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

std::filesystem::path failurePath(const std::string& name, const char* suffix)
{
    return std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / "golden-failures" / (name + suffix);
}

} // namespace

RgbImage imageFromFrame(const uint32_t* pixels, int width, int height, int pitchBytes)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                                                static_cast<size_t>(y) * pitchBytes);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                image.at(x, y)[c] = static_cast<uint8_t>(row[x] >> (16 - 8 * c));
    }
    return image;
}

bool readPng(const std::string& path, RgbImage& image, std::string& error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    bool read = png_image_begin_read_from_file(&png, path.c_str());
    if (read) {
        png.format = PNG_FORMAT_RGB;
        image.width = static_cast<int>(png.width);
        image.height = static_cast<int>(png.height);
        image.rgb.resize(PNG_IMAGE_SIZE(png));
        read = png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr);
    }
    if (!read)
        error = path + ": " + png.message;
    png_image_free(&png); // nothing left to free after a whole read
    return read;
}

bool writePng(const std::string& path, const RgbImage& image)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

ImageComparison compareImages(const RgbImage& actual, const RgbImage& expected, int channelTolerance)
{
    ImageComparison result;
    result.sameSize = actual.width == expected.width && actual.height == expected.height &&
                      actual.rgb.size() == expected.rgb.size();
    if (!result.sameSize)
        return result;
    result.difference = actual;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            int largest = 0;
            for (int c = 0; c < 3; ++c)
                largest = std::max(largest, std::abs(actual.at(x, y)[c] - expected.at(x, y)[c]));
            result.largestChannelDifference = std::max(result.largestChannelDifference, largest);
            const bool beyond = largest > channelTolerance;
            result.pixelsBeyondTolerance += beyond;
            // Red marks pixels beyond tolerance; grey shows differences within it.
            const uint8_t shade = static_cast<uint8_t>(std::min(255, largest * 64));
            for (int c = 0; c < 3; ++c)
                result.difference.at(x, y)[c] = beyond ? (c == 0 ? 255 : 0) : shade;
        }
    }
    return result;
}

::testing::AssertionResult matchesImage(const RgbImage& actual, const std::string& referencePath,
                                        const std::string& name, GoldenTolerance tolerance)
{
    RgbImage expected;
    std::string error;
    const bool haveReference = readPng(referencePath, expected, error);
    const ImageComparison comparison = compareImages(actual, expected, tolerance.channel);
    if (haveReference && comparison.sameSize && comparison.pixelsBeyondTolerance <= tolerance.pixelsAllowedBeyond)
        return ::testing::AssertionSuccess();

    const std::filesystem::path actualPath = failurePath(name, "-actual.png");
    writePng(actualPath.string(), actual);
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << name << ": actual frame written to " << actualPath << "; ";
    if (!haveReference)
        return failure << "no reference (" << error << ")";
    if (!comparison.sameSize)
        return failure << "size " << actual.width << "x" << actual.height << " differs from the reference's "
                       << expected.width << "x" << expected.height;
    const std::filesystem::path differencePath = failurePath(name, "-difference.png");
    writePng(differencePath.string(), comparison.difference);
    return failure << comparison.pixelsBeyondTolerance << " pixels differ by more than " << tolerance.channel
                   << " (largest " << comparison.largestChannelDifference << "); difference image " << differencePath;
}

::testing::AssertionResult matchesGolden(const RgbImage& actual, const std::string& name, GoldenTolerance tolerance)
{
    const std::string reference = std::string(TOVIRA_TEST_SOURCE_DIR) + "/golden/" + name + ".png";
    ::testing::AssertionResult result = matchesImage(actual, reference, name, tolerance);
    const char* update = std::getenv("TOVIRA_UPDATE_GOLDEN");
    if (result || update == nullptr || std::string(update) != "1")
        return result;
    if (!writePng(reference, actual))
        return ::testing::AssertionFailure() << "could not write " << reference;
    return ::testing::AssertionSuccess() << "wrote " << reference;
}
