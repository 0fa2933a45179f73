// JPEG through libjpeg, straight from the mapped bytes: greyscale to D3DFMT_L8, colour to
// D3DFMT_X8R8G8B8. Any fatal libjpeg error, or the data running out, refuses the file.
#include "image_reader.h"

#include <bit>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared before it
#include <new>

#include <jerror.h>
#include <jpeglib.h>

static_assert(std::endian::native == std::endian::little, "pixels are assembled as little-endian words");

namespace {

// Progressive files decode all their scans at start; a crafted file can hold thousands of
// tiny scans, so a sane ceiling stops it from taking unbounded time.
constexpr int maxJpegScans = 256;
// Ceiling on libjpeg's own working memory (the whole-image coefficient arrays of a progressive
// file); beyond it libjpeg fails instead of allocating.
constexpr long maxJpegWorkingMemory = 512L << 20;

struct JpegDecode {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump;
    BYTE* pixels = nullptr; // owned until handed to the DecodedImage
    BYTE* row = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;
};

JpegDecode& decodeOf(j_common_ptr info)
{
    return *static_cast<JpegDecode*>(info->client_data);
}

[[noreturn]] void jpegFatalError(j_common_ptr info)
{
    std::longjmp(decodeOf(info).jump, 1);
}

// Warnings are tolerated as libjpeg tolerates them, except running out of data: libjpeg would
// pad the picture with grey and call it decoded.
void jpegMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        std::longjmp(decodeOf(info).jump, 1);
}

void jpegProgress(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > maxJpegScans)
        std::longjmp(decodeOf(info).jump, 1);
}

// 0x00RRGGBB words from red, green, blue samples, stored little-endian.
void copyRgbToXrgb(const BYTE* rgb, BYTE* out, size_t width)
{
    for (size_t x = 0; x < width; ++x, rgb += 3) {
        const uint32_t word = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
        std::memcpy(out + x * 4, &word, 4);
    }
}

// libjpeg-turbo fills the unused byte of its four-byte layouts with 0xFF; the pixels are
// 0x00RRGGBB words. Two pixels at a time.
void clearUnusedBytes(BYTE* row, size_t width)
{
    size_t x = 0;
    for (; x + 2 <= width; x += 2) {
        uint64_t pair;
        std::memcpy(&pair, row + x * 4, 8);
        pair &= 0x00FFFFFF00FFFFFFull;
        std::memcpy(row + x * 4, &pair, 8);
    }
    if (x < width)
        row[x * 4 + 3] = 0;
}

// Everything that can long-jump happens here; only `decode`'s members carry state across the
// jump, and this function owns nothing that needs destroying.
bool runJpegDecode(JpegDecode& decode, const BYTE* bytes, size_t size)
{
    jpeg_decompress_struct& info = decode.info;
    if (setjmp(decode.jump))
        return false;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = maxJpegWorkingMemory;
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    // Size and components are known before any scan is decoded: refuse early, not after
    // start-up has already read a whole progressive file.
    jpeg_calc_output_dimensions(&info);
    const UINT width = decode.width = info.output_width;
    const UINT height = decode.height = info.output_height;
    if (!imageSizeAcceptable(width, height))
        return false;
    if (info.output_components == 1)
        decode.format = D3DFMT_L8;
    else if (info.output_components == 3)
        decode.format = D3DFMT_X8R8G8B8;
    else
        return false;
    decode.pitch = decode.format == D3DFMT_L8 ? width : width * 4;

    // The default colour output is red, green, blue samples; libjpeg-turbo can write exactly
    // those samples as blue, green, red, unused -- the memory order of the X8R8G8B8 word --
    // straight into the picture, which saves a pass over every pixel.
#ifdef JCS_EXTENSIONS
    const bool directRows = decode.format == D3DFMT_X8R8G8B8 && info.out_color_space == JCS_RGB;
    if (directRows)
        info.out_color_space = JCS_EXT_BGRX;
#else
    const bool directRows = false;
#endif

    if (info.progressive_mode) {
        decode.progress.progress_monitor = jpegProgress;
        info.progress = &decode.progress;
    }
    jpeg_start_decompress(&info);
    if (info.output_width != width || info.output_height != height)
        return false;

    decode.pixels = new (std::nothrow) BYTE[size_t{decode.pitch} * height];
    if (!decode.pixels)
        return false;
    const bool rowBuffer = decode.format == D3DFMT_X8R8G8B8 && !directRows;
    if (rowBuffer && !(decode.row = new (std::nothrow) BYTE[size_t{width} * 3]))
        return false;

    // One scanline per call; rows already in their final layout are read in place.
    while (info.output_scanline < height) {
        BYTE* out = decode.pixels + size_t{info.output_scanline} * decode.pitch;
        JSAMPROW target = rowBuffer ? decode.row : out;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            return false;
        if (directRows)
            clearUnusedBytes(out, width);
        else if (rowBuffer)
            copyRgbToXrgb(decode.row, out, width);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

bool readJpeg(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    // Every JPEG starts with the SOI marker; anything else is left to the other readers
    // without setting up a decompressor.
    if (bytes == nullptr || size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;

    JpegDecode decode;
    decode.info.err = jpeg_std_error(&decode.errors);
    decode.info.client_data = &decode;
    decode.errors.error_exit = jpegFatalError;
    decode.errors.emit_message = jpegMessage;

    const bool decoded = runJpegDecode(decode, bytes, size);
    jpeg_destroy_decompress(&decode.info);
    delete[] decode.row;
    if (!decoded) {
        delete[] decode.pixels;
        return false;
    }
    image.format = decode.format;
    image.pixels = decode.pixels;
    image.ownsPixels = true;
    image.pitch = decode.pitch;
    image.width = decode.width;
    image.height = decode.height;
    return true;
}
