// Expanding DXT1..DXT5 block-compressed images to A8R8G8B8, for consumers that cannot take
// the blocks as they are.
#include "image_reader.h"

namespace {

struct Colour {
    BYTE r, g, b, a;
};

Colour expand565(uint16_t c)
{
    const unsigned r = (c >> 11) & 31;
    const unsigned g = (c >> 5) & 63;
    const unsigned b = c & 31;
    return {BYTE((r << 3) | (r >> 2)), BYTE((g << 2) | (g >> 4)), BYTE((b << 3) | (b >> 2)), 255};
}

Colour mix(Colour p, unsigned wp, Colour q, unsigned wq, unsigned divisor)
{
    return {BYTE((p.r * wp + q.r * wq) / divisor), BYTE((p.g * wp + q.g * wq) / divisor),
            BYTE((p.b * wp + q.b * wq) / divisor), 255};
}

// The 16 colours of a colour block. DXT1 blocks with c0 <= c1 have three colours and a
// transparent black; the colour blocks of DXT2..DXT5 always have four colours.
void decodeColourBlock(const BYTE* block, bool dxt1, Colour out[16])
{
    const uint16_t c0 = readLe16(block);
    const uint16_t c1 = readLe16(block + 2);
    Colour palette[4];
    palette[0] = expand565(c0);
    palette[1] = expand565(c1);
    if (c0 > c1 || !dxt1) {
        palette[2] = mix(palette[0], 2, palette[1], 1, 3);
        palette[3] = mix(palette[0], 1, palette[1], 2, 3);
    } else {
        palette[2] = mix(palette[0], 1, palette[1], 1, 2);
        palette[3] = {0, 0, 0, 0};
    }
    const uint32_t indices = readLe32(block + 4);
    for (unsigned i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
}

// DXT2/DXT3: four bits of alpha per pixel, widened by ×17.
void decodeExplicitAlpha(const BYTE* block, Colour out[16])
{
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned nibble = (block[i / 2] >> (4 * (i & 1))) & 15;
        out[i].a = static_cast<BYTE>(nibble * 17);
    }
}

// DXT4/DXT5: two end points and a 3-bit index per pixel.
void decodeInterpolatedAlpha(const BYTE* block, Colour out[16])
{
    const unsigned a0 = block[0];
    const unsigned a1 = block[1];
    BYTE alphas[8] = {BYTE(a0), BYTE(a1)};
    if (a0 > a1) {
        for (unsigned i = 2; i < 8; ++i)
            alphas[i] = static_cast<BYTE>(((8 - i) * a0 + (i - 1) * a1) / 7);
    } else {
        for (unsigned i = 2; i < 6; ++i)
            alphas[i] = static_cast<BYTE>(((6 - i) * a0 + (i - 1) * a1) / 5);
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t indices = 0;
    for (unsigned i = 0; i < 6; ++i)
        indices |= uint64_t{block[2 + i]} << (8 * i);
    for (unsigned i = 0; i < 16; ++i)
        out[i].a = alphas[(indices >> (3 * i)) & 7];
}

void decodeBlock(D3DFORMAT format, const BYTE* block, Colour out[16])
{
    if (format == D3DFMT_DXT1) {
        decodeColourBlock(block, true, out);
        return;
    }
    decodeColourBlock(block + 8, false, out);
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
        decodeExplicitAlpha(block, out);
    else
        decodeInterpolatedAlpha(block, out);
}

} // namespace

bool expandDxtImage(const DecodedImage& image, DecodedImage& out)
{
    out.reset();
    const D3DFORMAT format = image.format;
    if (format != D3DFMT_DXT1 && format != D3DFMT_DXT2 && format != D3DFMT_DXT3 && format != D3DFMT_DXT4 &&
        format != D3DFMT_DXT5)
        return false;
    const size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    const size_t pitch = size_t{image.width} * 4;
    DecodedImage result;
    BYTE* pixels = allocateImagePixels(result, pitch, image.height);
    if (!pixels || image.pixels == nullptr)
        return false;

    for (size_t by = 0; by * 4 < image.height; ++by) {
        for (size_t bx = 0; bx * 4 < image.width; ++bx) {
            Colour texels[16];
            decodeBlock(format, image.pixels + by * image.pitch + bx * blockBytes, texels);
            for (size_t i = 0; i < 16; ++i) {
                const size_t x = bx * 4 + i % 4;
                const size_t y = by * 4 + i / 4;
                if (x >= image.width || y >= image.height)
                    continue;
                BYTE* p = pixels + y * pitch + x * 4;
                p[0] = texels[i].b;
                p[1] = texels[i].g;
                p[2] = texels[i].r;
                p[3] = texels[i].a;
            }
        }
    }
    result.format = D3DFMT_A8R8G8B8;
    result.width = image.width;
    result.height = image.height;
    result.pitch = static_cast<UINT>(pitch);
    out = std::move(result);
    return true;
}
