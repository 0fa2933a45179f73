// libFuzzer target over decodeImage: any bytes must give a clean refusal or an image whose
// every claimed byte can be read. Reading all of it lets AddressSanitizer catch a reader that
// delivers a buffer shorter than its pitch and rows say.
#include <image.h>
#include <pixel_formats.h>

#include <cstddef>
#include <cstdint>

namespace {

// The record's promises, checked so a broken one stops the fuzzer.
void checkImage(const DecodedImage& image)
{
    const pixelformat::FormatInfo* format = pixelformat::findFormat(image.format);
    if (!format || !image.pixels || image.width == 0 || image.height == 0 || image.depth != 1 ||
        image.width > maxImageSide || image.height > maxImageSide)
        __builtin_trap();
    if (!format->blockCompressed && image.pitch != size_t{image.width} * format->bitsPerPixel / 8)
        __builtin_trap();
    if ((image.format == D3DFMT_P8) != (image.palette != nullptr))
        __builtin_trap();
}

unsigned touchEveryByte(const DecodedImage& image)
{
    unsigned sum = 0;
    const UINT rows = imageRowCount(image);
    for (size_t i = 0; i < size_t{rows} * image.pitch; ++i)
        sum += image.pixels[i];
    if (image.palette) {
        for (int i = 0; i < 256; ++i)
            sum += image.palette[i].peRed + image.palette[i].peFlags;
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedImage image;
    if (FAILED(decodeImage(data, size, image))) {
        if (image.pixels || image.palette || image.next)
            __builtin_trap(); // a refusal leaves nothing behind
        return 0;
    }
    volatile unsigned sink = 0;
    for (const DecodedImage* at = &image; at; at = at->next.get()) {
        checkImage(*at);
        sink = sink + touchEveryByte(*at);
    }
    return 0;
}
