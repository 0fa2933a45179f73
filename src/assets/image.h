// Image files: mapping a picture file read-only and turning its bytes into a DecodedImage.
//
// The kind of a file is recognised from its bytes alone; the readers are tried in the fixed
// order BMP, PPM, DDS, JPEG, PNG, TGA, headerless DIB and the first that accepts wins. A reader
// that refuses frees whatever it allocated before the next one is tried. Readers never read
// outside [bytes, bytes + size) and never write outside the buffers they allocate.
#pragma once

#include <d3d8types.h>

#include <cstddef>
#include <memory>

// ---------------------------------------------------------------------------------------------
// DecodedImage
// ---------------------------------------------------------------------------------------------

// One picture as a reader delivers it: rows tightly packed, top row first, pitch = bytes per
// pixel × width. `pixels` is either owned by the record (ownsPixels, freed with it) or points
// straight into the decoded bytes (a raw top-down TGA, DDS surfaces); the latter is valid only
// while those bytes are, i.e. until the file is unmapped.
//
// The block-compressed formats D3DFMT_DXT1..D3DFMT_DXT5 store rows of 4×4 blocks: pitch is the
// bytes of one block row (8 or 16 bytes per block) and there are (height + 3) / 4 such rows;
// imageRowCount gives the number of stored rows for every format.
struct DecodedImage {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    const BYTE* pixels = nullptr;             // first (top) row
    bool ownsPixels = false;                  // true: allocated by the reader; false: points into the file
    UINT pitch = 0;                           // bytes from one row to the next
    UINT width = 0;
    UINT height = 0;
    UINT depth = 1;                           // always 1
    std::unique_ptr<PALETTEENTRY[]> palette;  // 256 entries red, green, blue, alpha; only with D3DFMT_P8
    std::unique_ptr<DecodedImage> next;       // DDS only: the further mip levels, then the further cube faces

    DecodedImage() = default;
    DecodedImage(DecodedImage&& other) noexcept;
    DecodedImage& operator=(DecodedImage&& other) noexcept;
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;
    ~DecodedImage();

    // Frees what the record owns and returns it to the empty state.
    void reset();
};

// Rows stored in `pixels`: the height, or the block rows of a DXT image.
UINT imageRowCount(const DecodedImage& image);

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

// A file mapped read-only, whole, through the Win32 layer. Unmapped by unmapImageFile or,
// failing that, when the record goes away.
struct MappedFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const BYTE* bytes = nullptr;
    DWORD size = 0;

    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();
};

// Opens and maps `path`. S_OK, or D3DXERR_INVALIDDATA when the file cannot be opened or mapped
// (an empty file cannot be mapped); `mapped` then holds nothing.
HRESULT mapImageFile(const char* path, MappedFile& mapped);

// Closes the view, the mapping and the file, in that order. Harmless on an unmapped record.
void unmapImageFile(MappedFile& mapped);

// ---------------------------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------------------------

// Recognises and decodes one image. S_OK with `image` filled, or D3DXERR_INVALIDDATA when no
// reader accepts the bytes (`image` is then empty).
HRESULT decodeImage(const BYTE* bytes, size_t size, DecodedImage& image);

// The readers, in the order decodeImage tries them. Each returns true and fills `image`, or
// returns false, having freed everything it allocated and left `image` empty. What each
// delivers:
//   BMP, DIB  1/4/8 bits and RLE4/RLE8 -> P8; 16 bits -> X1R5G5B5, or the format its bit
//             fields spell (R5G6B5, A1R5G5B5, A4R4G4B4, ...); 24 -> R8G8B8; 32 -> X8R8G8B8 or
//             A8R8G8B8; other bit fields -> X8R8G8B8 / A8R8G8B8, scaled.
//   PPM       X8R8G8B8, samples scaled from maxval.
//   DDS       the surface's own format (uncompressed layouts, L8, A8L8, A4L4, A8, DXT1..DXT5),
//             used in place; other bit-mask layouts -> X8R8G8B8 / A8R8G8B8. Mip levels and
//             cube faces follow in `next`.
//   JPEG      L8 (one component) or X8R8G8B8 words 0x00RRGGBB (three).
//   PNG       palette -> P8 (tRNS in the palette alpha); grey -> L8, or A8L8 with alpha or
//             tRNS; colour -> X8R8G8B8, or A8R8G8B8 with alpha or tRNS; 16-bit samples rounded.
//   TGA       P8, X1R5G5B5, A1R5G5B5, R8G8B8, A8R8G8B8, L8; raw top-down data used in place.
bool readBmp(const BYTE* bytes, size_t size, DecodedImage& image);  // "BM" file header + DIB
bool readPpm(const BYTE* bytes, size_t size, DecodedImage& image);  // P3 and P6 pixmaps
bool readDds(const BYTE* bytes, size_t size, DecodedImage& image);
bool readJpeg(const BYTE* bytes, size_t size, DecodedImage& image);
bool readPng(const BYTE* bytes, size_t size, DecodedImage& image);
bool readTga(const BYTE* bytes, size_t size, DecodedImage& image);
bool readDib(const BYTE* bytes, size_t size, DecodedImage& image);  // headerless DIB

// Largest image a reader accepts: each side at most this many pixels...
inline constexpr UINT maxImageSide = 16384;
// ...and at most this many pixels in all (256 MiB at 32 bits per pixel).
inline constexpr size_t maxImagePixels = size_t{1} << 26;
