#include "image_test_support.h"

#include <unistd.h>

#include <pixel_formats.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

Rgba makeTestPicture(UINT width, UINT height, bool withAlpha)
{
    Rgba picture{width, height, std::vector<BYTE>(size_t{width} * height * 4)};
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            BYTE* p = picture.at(x, y);
            p[0] = static_cast<BYTE>(width > 1 ? x * 255 / (width - 1) : 0);
            p[1] = static_cast<BYTE>(height > 1 ? y * 255 / (height - 1) : 0);
            p[2] = static_cast<BYTE>((x * 37 + y * 91) & 255);
            p[3] = withAlpha ? static_cast<BYTE>((x * 11 + y * 29) & 255) : 255;
            if ((x + y) % 7 == 0) { // hard edges and the extremes of every channel
                p[0] = 255;
                p[1] = 0;
            }
        }
    }
    return picture;
}

Rgba flipped(const Rgba& picture, bool vertically, bool horizontally)
{
    Rgba out = picture;
    for (UINT y = 0; y < picture.height; ++y) {
        for (UINT x = 0; x < picture.width; ++x) {
            const UINT sx = horizontally ? picture.width - 1 - x : x;
            const UINT sy = vertically ? picture.height - 1 - y : y;
            std::copy_n(picture.at(sx, sy), 4, out.at(x, y));
        }
    }
    return out;
}

namespace {

BYTE widen(unsigned value, unsigned bits)
{
    // Replicates the top bits into the low ones: all ones stay all ones.
    unsigned out = 0;
    int shift = 8 - static_cast<int>(bits);
    while (shift > -static_cast<int>(bits)) {
        out |= shift >= 0 ? value << shift : value >> -shift;
        shift -= static_cast<int>(bits);
    }
    return static_cast<BYTE>(out & 255);
}

struct Field {
    unsigned shift;
    unsigned bits;
};

// A packed little-endian pixel of up to 32 bits with red, green, blue and alpha fields
// (bits 0 = absent: colour 0, alpha 255).
void unpackFields(uint32_t pixel, Field r, Field g, Field b, Field a, BYTE* out)
{
    auto channel = [pixel](Field f, BYTE absent) {
        return f.bits == 0 ? absent : widen((pixel >> f.shift) & ((1u << f.bits) - 1), f.bits);
    };
    out[0] = channel(r, 0);
    out[1] = channel(g, 0);
    out[2] = channel(b, 0);
    out[3] = channel(a, 255);
}

} // namespace

Rgba toRgba(const DecodedImage& image)
{
    if (pixelformat::isBlockCompressed(image.format)) {
        // Blocks are expanded by the shared pixel-format code, the one DXT decoder there is.
        std::vector<uint32_t> argb(size_t{image.width} * image.height);
        EXPECT_TRUE(pixelformat::unpackSurface(image.format, image.pixels, static_cast<int>(image.pitch),
                                               static_cast<int>(image.width), static_cast<int>(image.height),
                                               argb.data(), static_cast<int>(image.width)));
        Rgba out{image.width, image.height, {}};
        for (uint32_t p : argb)
            out.pixels.insert(out.pixels.end(), {BYTE(p >> 16), BYTE(p >> 8), BYTE(p), BYTE(p >> 24)});
        return out;
    }
    Rgba out{image.width, image.height, std::vector<BYTE>(size_t{image.width} * image.height * 4)};
    for (UINT y = 0; y < image.height; ++y) {
        const BYTE* row = image.pixels + size_t{y} * image.pitch;
        for (UINT x = 0; x < image.width; ++x) {
            BYTE* p = out.at(x, y);
            const uint32_t w16 = (image.format == D3DFMT_P8 || image.format == D3DFMT_L8 ||
                                  image.format == D3DFMT_R3G3B2 || image.format == D3DFMT_A8)
                                     ? 0
                                     : row[x * 2] | (row[x * 2 + 1] << 8);
            switch (image.format) {
            case D3DFMT_P8: {
                const PALETTEENTRY& e = image.palette[row[x]];
                p[0] = e.peRed, p[1] = e.peGreen, p[2] = e.peBlue, p[3] = e.peFlags;
                break;
            }
            case D3DFMT_L8: p[0] = p[1] = p[2] = row[x], p[3] = 255; break;
            case D3DFMT_A8: p[0] = p[1] = p[2] = 0, p[3] = row[x]; break;
            case D3DFMT_A8L8: p[0] = p[1] = p[2] = row[x * 2], p[3] = row[x * 2 + 1]; break;
            case D3DFMT_R3G3B2: unpackFields(row[x], {5, 3}, {2, 3}, {0, 2}, {0, 0}, p); break;
            case D3DFMT_X1R5G5B5: unpackFields(w16, {10, 5}, {5, 5}, {0, 5}, {0, 0}, p); break;
            case D3DFMT_A1R5G5B5: unpackFields(w16, {10, 5}, {5, 5}, {0, 5}, {15, 1}, p); break;
            case D3DFMT_R5G6B5: unpackFields(w16, {11, 5}, {5, 6}, {0, 5}, {0, 0}, p); break;
            case D3DFMT_A4R4G4B4: unpackFields(w16, {8, 4}, {4, 4}, {0, 4}, {12, 4}, p); break;
            case D3DFMT_X4R4G4B4: unpackFields(w16, {8, 4}, {4, 4}, {0, 4}, {0, 0}, p); break;
            case D3DFMT_A8R3G3B2: unpackFields(w16, {5, 3}, {2, 3}, {0, 2}, {8, 8}, p); break;
            case D3DFMT_R8G8B8: p[0] = row[x * 3 + 2], p[1] = row[x * 3 + 1], p[2] = row[x * 3], p[3] = 255; break;
            case D3DFMT_X8R8G8B8:
            case D3DFMT_A8R8G8B8:
                p[0] = row[x * 4 + 2], p[1] = row[x * 4 + 1], p[2] = row[x * 4];
                p[3] = image.format == D3DFMT_A8R8G8B8 ? row[x * 4 + 3] : 255;
                break;
            case D3DFMT_A2B10G10R10: {
                const uint32_t w = row[x * 4] | (row[x * 4 + 1] << 8) | (row[x * 4 + 2] << 16) |
                                   (uint32_t{row[x * 4 + 3]} << 24);
                p[0] = static_cast<BYTE>((w & 0x3FF) >> 2);
                p[1] = static_cast<BYTE>(((w >> 10) & 0x3FF) >> 2);
                p[2] = static_cast<BYTE>(((w >> 20) & 0x3FF) >> 2);
                p[3] = widen(w >> 30, 2);
                break;
            }
            default:
                ADD_FAILURE() << "toRgba: unexpected format " << image.format;
                return out;
            }
        }
    }
    return out;
}

std::string scratchDirectory()
{
    // ctest runs tests as parallel processes: each keeps its own scratch folder.
    const std::string dir = std::string(TOVIRA_TEST_BINARY_DIR) + "/image_scratch_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    return dir;
}

std::string scratchPath(const std::string& name)
{
    return scratchDirectory() + "/" + name;
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

void writePng(const std::string& path, const Rgba& picture, bool withAlpha)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<BYTE> samples;
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        samples.insert(samples.end(), picture.pixels.begin() + i, picture.pixels.begin() + i + (withAlpha ? 4 : 3));
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, samples.data(), 0, nullptr)) << image.message;
}

bool haveConvert()
{
    static const bool found = std::system("convert -version > /dev/null 2>&1") == 0;
    return found;
}

bool runConvert(const std::string& arguments)
{
    const std::string command = "convert " + arguments + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

Rgba convertToRgba(const std::string& path, UINT width, UINT height)
{
    const std::string out = path + ".rgba";
    Rgba picture{width, height, {}};
    if (!runConvert("'" + path + "[0]' -depth 8 'rgba:" + out + "'"))
        return picture;
    picture.pixels = readFileBytes(out);
    EXPECT_EQ(picture.pixels.size(), size_t{width} * height * 4) << path;
    picture.pixels.resize(size_t{width} * height * 4);
    return picture;
}

DecodedImage decodeOrFail(const Bytes& bytes)
{
    DecodedImage image;
    const HRESULT result = decodeImage(bytes.data(), bytes.size(), image);
    EXPECT_EQ(result, S_OK);
    return image;
}

void putLe16(Bytes& out, uint32_t v)
{
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}

void putLe32(Bytes& out, uint32_t v)
{
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

uint32_t le16(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

uint32_t le32(const Bytes& b, size_t at)
{
    return le16(b, at) | (le16(b, at + 2) << 16);
}

Bytes makeTga(const TgaLayout& s, const Bytes& colourMap, const Bytes& pixels)
{
    Bytes out = {s.idLength, s.colourMapType, s.imageType};
    putLe16(out, s.colourMapFirst);
    putLe16(out, s.colourMapLength);
    out.push_back(s.colourMapBits);
    putLe32(out, 0); // x and y origin
    putLe16(out, s.width);
    putLe16(out, s.height);
    out.push_back(s.pixelBits);
    out.push_back(s.descriptor);
    for (BYTE i = 0; i < s.idLength; ++i)
        out.push_back(static_cast<BYTE>('a' + i % 26));
    out.insert(out.end(), colourMap.begin(), colourMap.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void expectCutsRefused(ImageReader read, const Bytes& file, size_t refusedBelow, const std::string& name)
{
    DecodedImage image;
    ASSERT_TRUE(read(file.data(), file.size(), image)) << name;
    for (size_t length = 0; length < refusedBelow; ++length) {
        // A copy of the cut, so a reader that looks past its end meets the sanitizers.
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(read(cut.data(), cut.size(), image)) << name << " cut to " << length << " of " << file.size();
        EXPECT_EQ(image.pixels, nullptr) << name << " cut to " << length;
        EXPECT_EQ(decodeImage(cut.data(), cut.size(), image), invalidData) << name << " cut to " << length;
    }
}

namespace {

void writeRgbaPng(const std::string& path, const Rgba& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = PNG_FORMAT_RGBA;
    png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr);
}

} // namespace

::testing::AssertionResult picturesMatch(const Rgba& actual, const Rgba& expected, int tolerance,
                                         const std::string& name)
{
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << name << ": size " << actual.width << "x" << actual.height
                                             << ", expected " << expected.width << "x" << expected.height;
    Rgba difference{actual.width, actual.height, std::vector<BYTE>(actual.pixels.size())};
    size_t mismatches = 0;
    std::string first;
    for (UINT y = 0; y < actual.height; ++y) {
        for (UINT x = 0; x < actual.width; ++x) {
            int worst = 0;
            for (int c = 0; c < 4; ++c)
                worst = std::max(worst, std::abs(actual.at(x, y)[c] - expected.at(x, y)[c]));
            BYTE* d = difference.at(x, y);
            d[0] = d[1] = d[2] = static_cast<BYTE>(std::min(255, worst * 8));
            d[3] = 255;
            if (worst <= tolerance)
                continue;
            if (mismatches++ == 0) {
                const BYTE* a = actual.at(x, y);
                const BYTE* e = expected.at(x, y);
                first = "first at (" + std::to_string(x) + "," + std::to_string(y) + "): rgba " +
                        std::to_string(a[0]) + " " + std::to_string(a[1]) + " " + std::to_string(a[2]) + " " +
                        std::to_string(a[3]) + ", expected " + std::to_string(e[0]) + " " + std::to_string(e[1]) +
                        " " + std::to_string(e[2]) + " " + std::to_string(e[3]);
            }
        }
    }
    if (mismatches == 0)
        return ::testing::AssertionSuccess();
    const std::string base = scratchPath(name);
    writeRgbaPng(base + ".actual.png", actual);
    writeRgbaPng(base + ".expected.png", expected);
    writeRgbaPng(base + ".diff.png", difference);
    return ::testing::AssertionFailure() << name << ": " << mismatches << " pixels differ by more than " << tolerance
                                         << "; " << first << " (written to " << base << ".*.png)";
}
