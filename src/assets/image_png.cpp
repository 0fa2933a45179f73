// PNG through libpng: every colour type and bit depth, interlaced or not. Palette images stay
// D3DFMT_P8 with their transparency in the palette's alpha; greyscale becomes L8 (A8L8 with
// alpha), colour X8R8G8B8 (A8R8G8B8 with alpha); 16-bit samples are scaled to 8 bits.
#include "image_reader.h"

#include <csetjmp>
#include <new>

#include <png.h>

namespace {

struct PngDecode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const BYTE* bytes = nullptr;
    size_t size = 0;
    size_t offset = 0;
    // Owned until handed to the DecodedImage.
    BYTE* pixels = nullptr;
    PALETTEENTRY* palette = nullptr;
    png_bytep* rows = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0;
    UINT height = 0;
    size_t pitch = 0;
};

void pngReadBytes(png_structp png, png_bytep out, size_t count)
{
    auto* decode = static_cast<PngDecode*>(png_get_io_ptr(png));
    if (count > decode->size - decode->offset)
        png_error(png, "truncated");
    std::memcpy(out, decode->bytes + decode->offset, count);
    decode->offset += count;
}

// libpng's own handlers print; a refused file is the caller's business, not the terminal's.
[[noreturn]] void pngFatalError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

bool buildPngPalette(PngDecode& d)
{
    png_colorp entries = nullptr;
    int count = 0;
    if (!png_get_PLTE(d.png, d.info, &entries, &count))
        return false;
    d.palette = new (std::nothrow) PALETTEENTRY[256];
    if (!d.palette)
        return false;
    std::memset(d.palette, 255, 256 * sizeof(PALETTEENTRY));
    for (int i = 0; i < count && i < 256; ++i)
        d.palette[i] = {entries[i].red, entries[i].green, entries[i].blue, 255};
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (png_get_tRNS(d.png, d.info, &alphas, &alphaCount, nullptr) && alphas) {
        for (int i = 0; i < alphaCount && i < 256; ++i)
            d.palette[i].peFlags = alphas[i];
    }
    return true;
}

// Sets libpng's transformations for the colour type and returns the format they produce.
D3DFORMAT choosePngTransforms(PngDecode& d, int colourType, int bitDepth)
{
    const bool transparency = png_get_valid(d.png, d.info, PNG_INFO_tRNS);
    if (bitDepth == 16)
        png_set_scale_16(d.png);
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE:
        png_set_packing(d.png);
        return buildPngPalette(d) ? D3DFMT_P8 : D3DFMT_UNKNOWN;
    case PNG_COLOR_TYPE_GRAY:
        png_set_expand_gray_1_2_4_to_8(d.png);
        if (!transparency)
            return D3DFMT_L8;
        png_set_tRNS_to_alpha(d.png);
        return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_RGB:
        png_set_bgr(d.png);
        if (!transparency) {
            png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
            return D3DFMT_X8R8G8B8;
        }
        png_set_tRNS_to_alpha(d.png);
        return D3DFMT_A8R8G8B8;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_bgr(d.png);
        return D3DFMT_A8R8G8B8;
    default:
        return D3DFMT_UNKNOWN;
    }
}

// Everything that can long-jump happens here; state that outlives a jump lives in `d`.
bool runPngDecode(PngDecode& d)
{
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_set_read_fn(d.png, &d, pngReadBytes);
    png_set_user_limits(d.png, maxImageSide, maxImageSide);
    png_read_info(d.png, d.info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    if (!imageSizeAcceptable(width, height))
        return false;
    d.format = choosePngTransforms(d, colourType, bitDepth);
    if (d.format == D3DFMT_UNKNOWN)
        return false;
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);

    d.width = width;
    d.height = height;
    d.pitch = size_t{width} * pixelformat::findFormat(d.format)->bitsPerPixel / 8;
    if (png_get_rowbytes(d.png, d.info) != d.pitch)
        return false;
    d.pixels = new (std::nothrow) BYTE[d.pitch * height];
    d.rows = new (std::nothrow) png_bytep[height];
    if (!d.pixels || !d.rows)
        return false;
    for (size_t y = 0; y < height; ++y)
        d.rows[y] = d.pixels + y * d.pitch;
    png_read_image(d.png, d.rows);
    // Reading to the end checks the remaining chunks, so a file cut short is refused.
    png_read_end(d.png, nullptr);
    return true;
}

} // namespace

bool readPng(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr || size < 8 || png_sig_cmp(bytes, 0, 8) != 0)
        return false;

    PngDecode d;
    d.bytes = bytes;
    d.size = size;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFatalError, pngWarning);
    if (!d.png)
        return false;
    d.info = png_create_info_struct(d.png);
    const bool decoded = d.info && runPngDecode(d);
    png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
    delete[] d.rows;
    if (!decoded) {
        delete[] d.pixels;
        delete[] d.palette;
        return false;
    }
    image.format = d.format;
    image.pixels = d.pixels;
    image.ownsPixels = true;
    image.pitch = static_cast<UINT>(d.pitch);
    image.width = d.width;
    image.height = d.height;
    image.palette.reset(d.palette);
    return true;
}
