// The PNG reader: every colour type and bit depth, transparency, interlacing, and damaged or
// cut-short files. The files are written here through libpng's writer from known samples.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <png.h>

namespace {

struct PngLayout {
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    UINT width = 13;
    UINT height = 9;
    std::vector<png_color> palette{};
    std::vector<BYTE> paletteAlpha{}; // tRNS for palette images
    bool transparentColour = false;   // tRNS for grey and RGB: the sample values of pixel (0, 0)
};

// Sample c of pixel (x, y), within the bit depth.
uint32_t sampleAt(const PngLayout& s, UINT x, UINT y, int c)
{
    const uint32_t maximum = (1u << s.bitDepth) - 1;
    if (s.colourType == PNG_COLOR_TYPE_PALETTE)
        return (x + y * 3) % s.palette.size();
    const uint32_t v = (x * 7919u + y * 104729u + static_cast<uint32_t>(c) * 7u * 65521u) % (maximum + 1);
    return (x + y) % 5 == 0 ? (c % 2 ? 0 : maximum) : v;
}

void appendToBytes(png_structp png, png_bytep data, size_t size)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

Bytes writeTestPng(const PngLayout& s)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendToBytes, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (s.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
        if (!s.paletteAlpha.empty())
            png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
    }
    if (s.transparentColour) {
        png_color_16 colour{};
        colour.gray = static_cast<png_uint_16>(sampleAt(s, 0, 0, 0));
        colour.red = static_cast<png_uint_16>(sampleAt(s, 0, 0, 0));
        colour.green = static_cast<png_uint_16>(sampleAt(s, 0, 0, 1));
        colour.blue = static_cast<png_uint_16>(sampleAt(s, 0, 0, 2));
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_write_info(png, info);
    if (s.bitDepth < 8)
        png_set_packing(png);
    const int channels = png_get_channels(png, info);
    const size_t sampleBytes = s.bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<BYTE>> rows(s.height, std::vector<BYTE>(s.width * channels * sampleBytes));
    for (UINT y = 0; y < s.height; ++y) {
        for (UINT x = 0; x < s.width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = sampleAt(s, x, y, c);
                BYTE* p = &rows[y][(x * channels + c) * sampleBytes];
                p[sampleBytes - 1] = static_cast<BYTE>(v); // 16-bit samples big-endian, as stored
                if (sampleBytes == 2)
                    p[0] = static_cast<BYTE>(v >> 8);
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A sample of bitDepth bits as PNG defines it, scaled to 8 bits and rounded to nearest.
BYTE to8(uint32_t v, int bitDepth)
{
    const uint32_t maximum = (1u << bitDepth) - 1;
    return static_cast<BYTE>((v * 255 + maximum / 2) / maximum);
}

Rgba expectedPicture(const PngLayout& s)
{
    Rgba out{s.width, s.height, std::vector<BYTE>(size_t{s.width} * s.height * 4)};
    for (UINT y = 0; y < s.height; ++y) {
        for (UINT x = 0; x < s.width; ++x) {
            BYTE* p = out.at(x, y);
            auto sample = [&](int c) { return to8(sampleAt(s, x, y, c), s.bitDepth); };
            switch (s.colourType) {
            case PNG_COLOR_TYPE_PALETTE: {
                const size_t i = sampleAt(s, x, y, 0);
                p[0] = s.palette[i].red, p[1] = s.palette[i].green, p[2] = s.palette[i].blue;
                p[3] = i < s.paletteAlpha.size() ? s.paletteAlpha[i] : 255;
                break;
            }
            case PNG_COLOR_TYPE_GRAY: p[0] = p[1] = p[2] = sample(0), p[3] = 255; break;
            case PNG_COLOR_TYPE_GRAY_ALPHA: p[0] = p[1] = p[2] = sample(0), p[3] = sample(1); break;
            case PNG_COLOR_TYPE_RGB: p[0] = sample(0), p[1] = sample(1), p[2] = sample(2), p[3] = 255; break;
            default: p[0] = sample(0), p[1] = sample(1), p[2] = sample(2), p[3] = sample(3); break;
            }
            if (s.transparentColour) {
                bool same = true;
                for (int c = 0; c < (s.colourType == PNG_COLOR_TYPE_GRAY ? 1 : 3); ++c)
                    same = same && sampleAt(s, x, y, c) == sampleAt(s, 0, 0, c);
                p[3] = same ? 0 : 255;
            }
        }
    }
    return out;
}

std::vector<png_color> makePalette(size_t entries)
{
    std::vector<png_color> palette;
    for (size_t i = 0; i < entries; ++i)
        palette.push_back({BYTE(i * 37), BYTE(255 - i * 11), BYTE(i * 5 + 3)});
    return palette;
}

} // namespace

TEST(PngReader, EveryColourTypeAndBitDepthDecodesToItsSamples)
{
    struct Case {
        PngLayout layout;
        D3DFORMAT format;
    };
    std::vector<Case> cases;
    for (int depth : {1, 2, 4, 8, 16})
        cases.push_back({{.colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = depth}, D3DFMT_L8});
    for (int depth : {1, 2, 4, 8})
        cases.push_back({{.colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = depth,
                          .palette = makePalette(depth == 1 ? 2 : depth == 2 ? 3 : 11)},
                         D3DFMT_P8});
    for (int depth : {8, 16}) {
        cases.push_back({{.colourType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = depth}, D3DFMT_A8L8});
        cases.push_back({{.colourType = PNG_COLOR_TYPE_RGB, .bitDepth = depth}, D3DFMT_X8R8G8B8});
        cases.push_back({{.colourType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = depth}, D3DFMT_A8R8G8B8});
    }
    // Transparency chunks.
    cases.push_back({{.colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 4, .palette = makePalette(11),
                      .paletteAlpha = {0, 128, 255, 7}},
                     D3DFMT_P8});
    cases.push_back({{.colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2, .transparentColour = true}, D3DFMT_A8L8});
    cases.push_back({{.colourType = PNG_COLOR_TYPE_RGB, .bitDepth = 16, .transparentColour = true}, D3DFMT_A8R8G8B8});

    for (bool interlaced : {false, true}) {
        for (size_t i = 0; i < cases.size(); ++i) {
            Case c = cases[i];
            c.layout.interlaced = interlaced;
            const std::string name = "png-case" + std::to_string(i) + (interlaced ? "-interlaced" : "");
            const Bytes file = writeTestPng(c.layout);
            const DecodedImage image = expectDecodes(readPng, file, c.format, expectedPicture(c.layout), 0, name);
            EXPECT_EQ(image.palette != nullptr, c.format == D3DFMT_P8) << name;
            if (image.palette) {
                EXPECT_EQ(image.palette[200].peFlags, 255) << name << ": entries past PLTE are opaque";
            }
        }
    }
}

TEST(PngReader, DamagedOrCutShortFilesAreRefused)
{
    const PngLayout layout{.colourType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 8, .width = 7, .height = 5};
    const Bytes file = writeTestPng(layout);
    expectCutsRefused(readPng, file, file.size(), "png");
    // A flipped bit inside the image data fails its checksum.
    Bytes damaged = file;
    damaged[damaged.size() - 20] ^= 0x10;
    expectRefused(readPng, damaged, "bad checksum");
    expectRefused(readPng, writeTestPng({.width = 20000, .height = 1}), "beyond the readers' limit");
}
