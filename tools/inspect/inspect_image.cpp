// `tovira-inspect image FILE`: the picture as the show's readers deliver it, on one line:
//     format=NAME width=W height=H pitch=P levels=N sha256=HEX
// NAME is the Direct3D format without its D3DFMT_ prefix; levels counts the first image and
// the mip levels that follow it (DDS only; cube faces after the first are not counted); the
// hash covers the first image's rows as delivered, pitch bytes each, top row first.
#include "inspect.h"

#include <image.h>
#include <pixel_formats.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// The first image and the mip levels that follow it, each half the one before.
int mipLevelCount(const DecodedImage& image)
{
    int levels = 1;
    const DecodedImage* above = &image;
    for (const DecodedImage* at = image.next.get(); at; above = at, at = at->next.get()) {
        const UINT halfWidth = above->width > 1 ? above->width / 2 : 1;
        const UINT halfHeight = above->height > 1 ? above->height / 2 : 1;
        if (at->width != halfWidth || at->height != halfHeight || (above->width == 1 && above->height == 1))
            break;
        ++levels;
    }
    return levels;
}

int inspectImage(int argc, char** argv)
{
    if (argc != 1) {
        std::fprintf(stderr, "usage: tovira-inspect image FILE\n");
        return 2;
    }
    const char* path = argv[0];
    MappedFile mapped;
    HRESULT result = mapImageFile(path, mapped);
    if (FAILED(result)) {
        std::fprintf(stderr, "tovira-inspect: %s: cannot be opened or mapped (0x%08X)\n", path,
                     static_cast<unsigned>(result));
        return 1;
    }
    DecodedImage image;
    result = decodeImage(mapped.bytes, mapped.size, image);
    if (FAILED(result)) {
        std::fprintf(stderr,
                     "tovira-inspect: %s: not a picture the readers accept "
                     "(BMP, PPM, DDS, JPEG, PNG, TGA or DIB) (0x%08X)\n",
                     path, static_cast<unsigned>(result));
        return 1;
    }
    std::printf("format=%s width=%u height=%u pitch=%u levels=%d sha256=%s\n", pixelformat::formatName(image.format),
                image.width, image.height, image.pitch, mipLevelCount(image), sha256OfRows(image.pixels, image.pitch, image.pitch, imageRowCount(image)).c_str());
    return 0;
}

const bool registered = registerInspectCommand(
    {"image", "FILE", "the picture as the readers deliver it: format, size, pitch, mip levels, SHA-256 of the rows",
     inspectImage});

} // namespace
