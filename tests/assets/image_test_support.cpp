#include "image_test_support.h"

#include <unistd.h>

#include <pixel_formats.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

Rgba makeTestPicture(UINT width, UINT height, bool withAlpha)
{
    Rgba picture{width, height, std::vector<BYTE>(size_t{width} * height * 4)};
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            BYTE* p = &picture.pixels[(size_t{y} * width + x) * 4];
            const bool edge = (x + y) % 7 == 0; // hard edges and the extremes of every channel
            p[0] = edge ? 255 : static_cast<BYTE>(width > 1 ? x * 255 / (width - 1) : 0);
            p[1] = edge ? 0 : static_cast<BYTE>(height > 1 ? y * 255 / (height - 1) : 0);
            p[2] = static_cast<BYTE>((x * 37 + y * 91) & 255);
            p[3] = withAlpha ? static_cast<BYTE>((x * 11 + y * 29) & 255) : 255;
        }
    return picture;
}

Rgba fewColoursOf(const Rgba& picture)
{
    Rgba out = picture;
    for (size_t i = 0; i < out.pixels.size(); ++i)
        if (i % 4 != 3)
            out.pixels[i] = static_cast<BYTE>(out.pixels[i] / 51 * 51);
    return out;
}

Bytes storedBytes(const DecodedImage& image)
{
    Bytes out;
    for (UINT y = 0; y < imageRowCount(image); ++y)
        out.insert(out.end(), image.pixels + size_t{y} * image.pitch, image.pixels + size_t{y + 1} * image.pitch);
    return out;
}

Rgba toRgba(const DecodedImage& image)
{
    std::vector<uint32_t> argb(size_t{image.width} * image.height);
    EXPECT_TRUE(pixelformat::unpackSurface(image.format, image.pixels, static_cast<int>(image.pitch),
                                           static_cast<int>(image.width), static_cast<int>(image.height), argb.data(),
                                           static_cast<int>(image.width), image.palette.get()))
        << "format " << image.format;
    Rgba out{image.width, image.height, {}};
    for (uint32_t p : argb)
        out.pixels.insert(out.pixels.end(), {BYTE(p >> 16), BYTE(p >> 8), BYTE(p), BYTE(p >> 24)});
    return out;
}

std::string scratchPath(const std::string& name)
{
    // ctest runs tests as parallel processes: each keeps its own scratch folder.
    const std::string dir = std::string(TOVIRA_TEST_BINARY_DIR) + "/image_scratch_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    return dir + "/" + name;
}

Bytes readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool runConvert(const std::string& arguments)
{
    const int status = std::system(("convert " + arguments + " 2>&1").c_str());
    EXPECT_EQ(status, 0) << "convert " << arguments;
    return status == 0;
}

Rgba convertToRgba(const std::string& path, UINT width, UINT height)
{
    const std::string out = path + ".rgba";
    Rgba picture{width, height, {}};
    if (runConvert("'" + path + "[0]' -depth 8 'rgba:" + out + "'"))
        picture.pixels = readFileBytes(out);
    EXPECT_EQ(picture.pixels.size(), size_t{width} * height * 4) << path;
    picture.pixels.resize(size_t{width} * height * 4);
    return picture;
}

std::string sourcePng(const std::string& name, const Rgba& picture, bool withAlpha)
{
    const std::string raw = scratchPath(name + ".rgba"), path = scratchPath(name + ".png");
    writeFileBytes(raw, picture.pixels);
    runConvert("-size " + std::to_string(picture.width) + "x" + std::to_string(picture.height) + " -depth 8 'rgba:" +
               raw + "'" + (withAlpha ? "" : " -alpha off") + " 'png:" + path + "'");
    return path;
}

std::string convertTo(const std::string& source, const std::string& options, const std::string& type,
                      const std::string& name)
{
    const std::string path = scratchPath(name + "." + type);
    runConvert("'" + source + "' " + options + " '" + type + ":" + path + "'");
    return path;
}

DecodedImage expectDecodes(ImageReader read, const Bytes& file, D3DFORMAT format, const Rgba& expected,
                           int tolerance, const std::string& name)
{
    DecodedImage image;
    if (!read(file.data(), file.size(), image)) {
        ADD_FAILURE() << name << " refused";
        return image;
    }
    EXPECT_EQ(image.format, format) << name;
    EXPECT_TRUE(picturesMatch(toRgba(image), expected, tolerance, name));
    DecodedImage recognised;
    EXPECT_EQ(decodeImage(file.data(), file.size(), recognised), S_OK) << name;
    EXPECT_EQ(recognised.format, format) << name << " recognised as another kind";
    return image;
}

DecodedImage decodeOrFail(const Bytes& bytes)
{
    DecodedImage image;
    EXPECT_EQ(decodeImage(bytes.data(), bytes.size(), image), S_OK);
    return image;
}

Bytes makeTga(const TgaLayout& s, const Bytes& colourMap, const Bytes& pixels)
{
    Bytes out = {s.idLength, s.colourMapType, s.imageType, BYTE(s.colourMapFirst), BYTE(s.colourMapFirst >> 8),
                 BYTE(s.colourMapLength), BYTE(s.colourMapLength >> 8), s.colourMapBits, 0, 0, 0, 0, // origin
                 BYTE(s.width), BYTE(s.width >> 8), BYTE(s.height), BYTE(s.height >> 8), s.pixelBits, s.descriptor};
    for (BYTE i = 0; i < s.idLength; ++i)
        out.push_back(static_cast<BYTE>('a' + i % 26));
    out.insert(out.end(), colourMap.begin(), colourMap.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void expectRefused(ImageReader read, const Bytes& bytes, const std::string& what)
{
    DecodedImage image;
    EXPECT_FALSE(read(bytes.data(), bytes.size(), image)) << what;
    EXPECT_EQ(image.pixels, nullptr) << what;
    EXPECT_EQ(decodeImage(bytes.data(), bytes.size(), image), invalidData) << what;
}

void expectCutsRefused(ImageReader read, const Bytes& file, size_t refusedBelow, const std::string& name)
{
    DecodedImage image;
    ASSERT_TRUE(read(file.data(), file.size(), image)) << name;
    // Copies of the cuts, so a reader that looks past the end meets the sanitizers.
    for (size_t length = 0; length < refusedBelow; ++length)
        expectRefused(read, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)),
                      name + " cut to " + std::to_string(length) + " of " + std::to_string(file.size()));
}

::testing::AssertionResult picturesMatch(const Rgba& actual, const Rgba& expected, int tolerance,
                                         const std::string& name)
{
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << name << ": size " << actual.width << "x" << actual.height
                                             << ", expected " << expected.width << "x" << expected.height;
    size_t mismatches = 0;
    std::string first;
    for (size_t i = 0; i < actual.pixels.size(); ++i) {
        const int a = actual.pixels[i], e = expected.pixels[i];
        if (std::abs(a - e) > tolerance && mismatches++ == 0)
            first = "first at (" + std::to_string(i / 4 % actual.width) + "," + std::to_string(i / 4 / actual.width) +
                    ") channel " + std::to_string(i % 4) + ": " + std::to_string(a) + ", expected " + std::to_string(e);
    }
    if (mismatches == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": " << mismatches << " channels differ by more than " << tolerance
                                         << "; " << first;
}
