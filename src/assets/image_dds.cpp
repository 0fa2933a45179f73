// DirectDraw surfaces: uncompressed RGB, RGBA, luminance and alpha formats and DXT1..DXT5, with
// their mip chains and cube faces delivered as the `next` images. Surfaces whose layout is a
// Direct3D format are used in place; other bit-mask layouts are converted to A8R8G8B8.
#include "image_reader.h"

#include <new>

namespace {

constexpr size_t ddsHeaderSize = 128; // magic + 124-byte surface description

constexpr uint32_t ddsdMipMapCount = 0x20000;
constexpr uint32_t ddpfAlphaPixels = 0x1;
constexpr uint32_t ddpfAlpha = 0x2;
constexpr uint32_t ddpfFourCc = 0x4;
constexpr uint32_t ddpfRgb = 0x40;
constexpr uint32_t ddpfLuminance = 0x20000;
constexpr uint32_t ddsCaps2Cubemap = 0x200;
constexpr uint32_t ddsCaps2CubeFaces = 0xFC00; // +X, -X, +Y, -Y, +Z, -Z from bit 10 up
constexpr uint32_t ddsCaps2Volume = 0x200000;

struct DdsHeader {
    uint32_t flags;
    UINT width;
    UINT height;
    uint32_t mipMapCount;
    uint32_t pixelFlags;
    uint32_t fourCc;
    uint32_t bitCount;
    ChannelMasks masks;
    uint32_t caps2;
};

DdsHeader parseDdsHeader(const BYTE* b)
{
    DdsHeader h;
    h.flags = readLe32(b + 8);
    h.height = readLe32(b + 12);
    h.width = readLe32(b + 16);
    h.mipMapCount = readLe32(b + 28);
    h.pixelFlags = readLe32(b + 80);
    h.fourCc = readLe32(b + 84);
    h.bitCount = readLe32(b + 88);
    h.masks = {readLe32(b + 92), readLe32(b + 96), readLe32(b + 100), readLe32(b + 104)};
    h.caps2 = readLe32(b + 112);
    return h;
}

// How the surfaces are stored and what they are delivered as.
struct DdsLayout {
    D3DFORMAT stored = D3DFMT_UNKNOWN;     // the surfaces' own format, or UNKNOWN when converted
    D3DFORMAT delivered = D3DFMT_UNKNOWN;
    unsigned bitsPerPixel = 0;             // of the stored data (uncompressed only)
    MaskedPixelConverter converter;        // used when stored is UNKNOWN
};

bool planDdsLayout(const DdsHeader& h, DdsLayout& layout)
{
    const uint32_t f = h.pixelFlags;
    if (f & ddpfFourCc) {
        // Compared as numbers: an arbitrary FourCC is no valid D3DFORMAT value.
        for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
            if (h.fourCc == static_cast<uint32_t>(format)) {
                layout.stored = layout.delivered = format;
                return true;
            }
        }
        return false;
    }
    layout.bitsPerPixel = h.bitCount;
    ChannelMasks masks = h.masks;
    if (!(f & (ddpfAlphaPixels | ddpfAlpha)))
        masks.alpha = 0;
    if (f & ddpfLuminance) {
        layout.stored = layout.delivered = formatForMasks(h.bitCount, masks, pixelformat::ClassLuminance);
        return layout.stored != D3DFMT_UNKNOWN;
    }
    if ((f & ddpfAlpha) && !(f & ddpfRgb)) {
        masks.red = masks.green = masks.blue = 0;
        layout.stored = layout.delivered = formatForMasks(h.bitCount, masks);
        return layout.stored != D3DFMT_UNKNOWN;
    }
    if (!(f & ddpfRgb))
        return false;
    layout.stored = layout.delivered = formatForMasks(h.bitCount, masks);
    if (layout.stored != D3DFMT_UNKNOWN)
        return true;
    layout.delivered = masks.alpha != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    return layout.converter.setUp(h.bitCount, masks);
}

// Bytes of one stored surface and of its rows (block rows for DXT).
struct SurfaceSize {
    size_t pitch;
    size_t rows;
};

SurfaceSize storedSurfaceSize(const DdsLayout& layout, UINT width, UINT height)
{
    if (pixelformat::isBlockCompressed(layout.stored)) {
        const size_t blockBytes = 16 * pixelformat::findFormat(layout.stored)->bitsPerPixel / 8;
        return {(size_t{width} + 3) / 4 * blockBytes, (size_t{height} + 3) / 4};
    }
    return {size_t{width} * (layout.bitsPerPixel / 8), height};
}

unsigned fullChainLength(UINT width, UINT height)
{
    unsigned levels = 1;
    for (UINT side = width > height ? width : height; side > 1; side /= 2)
        ++levels;
    return levels;
}

// One surface at the cursor, in place or converted.
bool readDdsSurface(ByteCursor& c, DdsLayout& layout, UINT width, UINT height, DecodedImage& image)
{
    const SurfaceSize stored = storedSurfaceSize(layout, width, height);
    const BYTE* data = c.take(stored.pitch * stored.rows);
    if (!data)
        return false;
    image.format = layout.delivered;
    image.width = width;
    image.height = height;
    if (layout.stored != D3DFMT_UNKNOWN) {
        image.pixels = data;
        image.pitch = static_cast<UINT>(stored.pitch);
        return true;
    }
    const size_t pitch = size_t{width} * 4;
    BYTE* out = allocateImagePixels(image, pitch, height);
    if (!out)
        return false;
    image.pitch = static_cast<UINT>(pitch);
    for (size_t y = 0; y < height; ++y)
        layout.converter.convertRow(data + y * stored.pitch, width, out + y * pitch);
    return true;
}

} // namespace

bool readDds(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr || size < ddsHeaderSize || readLe32(bytes) != MAKEFOURCC('D', 'D', 'S', ' ') ||
        readLe32(bytes + 4) != 124 || readLe32(bytes + 76) != 32)
        return false;
    const DdsHeader h = parseDdsHeader(bytes);
    DdsLayout layout;
    if ((h.caps2 & ddsCaps2Volume) || !imageSizeAcceptable(h.width, h.height) || !planDdsLayout(h, layout))
        return false;
    if (!pixelformat::isBlockCompressed(layout.stored) && (layout.bitsPerPixel % 8 != 0 || layout.bitsPerPixel == 0))
        return false;

    unsigned levels = (h.flags & ddsdMipMapCount) && h.mipMapCount > 0 ? h.mipMapCount : 1;
    const unsigned fullChain = fullChainLength(h.width, h.height);
    if (levels > fullChain)
        levels = fullChain;
    unsigned faces = 1;
    if (h.caps2 & ddsCaps2Cubemap) {
        faces = static_cast<unsigned>(__builtin_popcount(h.caps2 & ddsCaps2CubeFaces));
        if (faces == 0)
            return false;
    }

    ByteCursor c(bytes, size);
    c.seek(ddsHeaderSize);
    DecodedImage first;
    DecodedImage* current = nullptr;
    for (unsigned face = 0; face < faces; ++face) {
        for (unsigned level = 0; level < levels; ++level) {
            DecodedImage* target = &first;
            if (current) {
                current->next.reset(new (std::nothrow) DecodedImage);
                target = current->next.get();
                if (!target)
                    return false;
            }
            const UINT width = h.width >> level ? h.width >> level : 1;
            const UINT height = h.height >> level ? h.height >> level : 1;
            if (!readDdsSurface(c, layout, width, height, *target))
                return false;
            current = target;
        }
    }
    image = std::move(first);
    return true;
}
