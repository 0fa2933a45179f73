// The show's assets: image readers, texture building, models and the asset set.
#pragma once

#include "show.h"
#include "image.h"
#include <pixel_formats.h>

// ---------------------------------------------------------------------------------
// Asset set (asset_set.cpp)
// ---------------------------------------------------------------------------------

// Loads the eleven textures, the 42 glyphs and the four models into ShowState, showing
// one message box per texture that fails; the show goes on without it.
void loadAssets();
// Releases meshes, textures and glyphs in their fixed order, skipping empty fields.
void releaseAssets();

// ---------------------------------------------------------------------------------
// Texture building (texture_builder.cpp, texture_shape.cpp, texture_fill.cpp)
// ---------------------------------------------------------------------------------

// Filter codes: the low byte selects the filter, the flag adds ordered dithering.
constexpr DWORD TEXTURE_FILTER_NONE = 1;
constexpr DWORD TEXTURE_FILTER_POINT = 2;
constexpr DWORD TEXTURE_FILTER_LINEAR = 3;
constexpr DWORD TEXTURE_FILTER_TRIANGLE = 4;
constexpr DWORD TEXTURE_FILTER_BOX = 5;
constexpr DWORD TEXTURE_FILTER_DITHER = 0x80000;

// What the general builder is asked for; the defaults are what the show always asks.
struct TextureRequest {
    UINT width = UINT(-1);              // -1: the image's own
    UINT height = UINT(-1);
    UINT mipLevels = UINT(-1);          // -1 or 0: the full chain
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;  // derive from the image
    D3DPOOL pool = D3DPOOL_MANAGED;
    DWORD filter = DWORD(-1);           // triangle with dithering
    DWORD mipFilter = DWORD(-1);        // box
};

// Maps, decodes and builds `path` into a new texture. D3D_OK with *texture set, or
// D3DERR_INVALIDCALL (missing argument), D3DXERR_INVALIDDATA (unreadable or unknown
// file), D3DERR_NOTAVAILABLE (no usable format) or the failing device call's result;
// on failure *texture is untouched and nothing is left allocated.
HRESULT createTextureFromFile(IDirect3DDevice8* device, const char* path, IDirect3DTexture8** texture);
HRESULT createTextureFromFileEx(IDirect3DDevice8* device, const char* path, const TextureRequest& request,
                                IDirect3DTexture8** texture);

// The format a texture of this image asks for: R8G8B8 widened to X8R8G8B8, palettes
// expanded to X8R8G8B8 or, with any translucent entry, A8R8G8B8.
D3DFORMAT requestedTextureFormat(const DecodedImage& image, D3DPOOL pool);
// Fits size, level count and format to the device; D3DERR_NOTAVAILABLE without a format.
HRESULT chooseTextureShape(IDirect3DDevice8* device, DWORD usage, D3DPOOL pool, UINT* width, UINT* height,
                           UINT* levels, D3DFORMAT* format);
// The requested format when the device has it, else its cheapest substitute; UNKNOWN if none.
D3DFORMAT findClosestDeviceFormat(IDirect3DDevice8* device, DWORD usage, D3DRESOURCETYPE type,
                                  const pixelformat::FormatInfo& request);
// Level 0 from the image: rows copied, pixels converted, or resampled with a tent filter.
bool fillTopLevel(const DecodedImage& image, D3DFORMAT format, UINT width, UINT height, const D3DLOCKED_RECT& locked,
                  bool dither);
// A level halved from the one above with the 2x2 box filter on packed pixels.
bool boxFilterLevel(D3DFORMAT format, const D3DLOCKED_RECT& source, UINT sourceWidth, UINT sourceHeight,
                    const D3DLOCKED_RECT& destination, UINT width, UINT height);
