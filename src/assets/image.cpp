// DecodedImage ownership and the recogniser that picks the reader for a file's bytes.
#include "image_reader.h"

#include <new>
#include <utility>

DecodedImage::DecodedImage(DecodedImage&& other) noexcept
{
    *this = std::move(other);
}

DecodedImage& DecodedImage::operator=(DecodedImage&& other) noexcept
{
    if (this != &other) {
        reset();
        format = other.format;
        pixels = std::exchange(other.pixels, nullptr);
        ownsPixels = std::exchange(other.ownsPixels, false);
        pitch = other.pitch;
        width = other.width;
        height = other.height;
        depth = other.depth;
        palette = std::move(other.palette);
        next = std::move(other.next);
        other.reset();
    }
    return *this;
}

DecodedImage::~DecodedImage()
{
    reset();
}

void DecodedImage::reset()
{
    if (ownsPixels)
        delete[] pixels;
    format = D3DFMT_UNKNOWN;
    pixels = nullptr;
    ownsPixels = false;
    pitch = width = height = 0;
    depth = 1;
    palette.reset();
    // A long chain is unlinked one image at a time rather than by recursion.
    std::unique_ptr<DecodedImage> chain = std::move(next);
    while (chain)
        chain = std::move(chain->next);
}

UINT imageRowCount(const DecodedImage& image)
{
    return static_cast<UINT>(pixelformat::rowCount(image.format, static_cast<int>(image.height)));
}

BYTE* allocateImagePixels(DecodedImage& image, size_t pitch, size_t height)
{
    size_t bytes = 0;
    if (!checkedMultiply(pitch, height, bytes))
        return nullptr;
    BYTE* buffer = new (std::nothrow) BYTE[bytes == 0 ? 1 : bytes];
    if (!buffer)
        return nullptr;
    if (image.ownsPixels)
        delete[] image.pixels;
    image.pixels = buffer;
    image.ownsPixels = true;
    return buffer;
}

PALETTEENTRY* allocateImagePalette(DecodedImage& image)
{
    image.palette.reset(new (std::nothrow) PALETTEENTRY[256]);
    if (image.palette)
        std::memset(image.palette.get(), 255, 256 * sizeof(PALETTEENTRY));
    return image.palette.get();
}

// The fixed order: strong magic numbers first; TGA, whose header has no magic at all, and the
// headerless DIB last.
HRESULT decodeImage(const BYTE* bytes, size_t size, DecodedImage& image)
{
    using Reader = bool (*)(const BYTE*, size_t, DecodedImage&);
    static constexpr Reader readers[] = {readBmp, readPpm, readDds, readJpeg, readPng, readTga, readDib};

    image.reset();
    if (bytes == nullptr)
        return D3DXERR_INVALIDDATA;
    for (Reader reader : readers) {
        DecodedImage candidate;
        if (reader(bytes, size, candidate)) {
            image = std::move(candidate);
            return S_OK;
        }
    }
    return D3DXERR_INVALIDDATA;
}
