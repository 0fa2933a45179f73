// The show's assets: image readers, texture building, models and the asset set.
#pragma once

#include "show.h"
#include "image.h"
#include <pixel_formats.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------
// Models (model_file.cpp: the .r3d reader; mesh.cpp: device buffers and drawing)
// ---------------------------------------------------------------------------------

// One vertex as the vertex format 0x216 declares it: position, blend weight (unused by
// the show, always 0), normal, two texture coordinate sets.
struct MeshVertex {
    float x, y, z;
    float blendWeight;
    float nx, ny, nz;
    float u0, v0;
    float u1, v1;
};
static_assert(sizeof(MeshVertex) == 44);

constexpr DWORD MESH_FVF = D3DFVF_XYZB1 | D3DFVF_NORMAL | D3DFVF_TEX2; // 0x216
static_assert(MESH_FVF == 0x216);

// A model on the device. An empty mesh (no buffers, counts 0) stands for a model that
// could not be loaded and draws nothing.
struct Mesh {
    std::unique_ptr<MeshVertex[]> vertices; // the loader's copy, kept until release
    std::unique_ptr<uint32_t[]> indices;    // the loader's copy, kept until release
    IDirect3DVertexBuffer8* vertexBuffer = nullptr;
    IDirect3DIndexBuffer8* indexBuffer = nullptr;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t indexCount = 0; // always 3 x triangleCount
};

// Where the normals of a parsed model came from.
enum class ModelNormals {
    File,     // the file's normal block
    Computed, // smooth, area-weighted normals of the file's triangles
    None,     // no normal block and no triangles to compute any from: all zero
};

// A .r3d file turned into vertex and index arrays, before anything touches the device.
struct ModelData {
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices; // 3 per triangle, each below vertices.size()
    int32_t texCoordCount = 0;     // texture pairs in the file, surplus ones included
    ModelNormals normals = ModelNormals::None;
};

// Byte size of the fixed header: vertex count, triangle count, normal flag, texture pair
// count, reserved.
constexpr size_t MODEL_HEADER_SIZE = 20;

// Reads a whole .r3d file held in memory. Never reads outside [bytes, bytes + size).
// False, with a one-line reason in *error (when given) and `model` emptied, for a file
// that is truncated, has a negative count, counts its size cannot hold, or an index not
// below the vertex count. Bytes after the last block are ignored.
bool parseModel(const uint8_t* bytes, size_t size, ModelData& model, std::string* error = nullptr);

// Reads a .r3d file through the Win32 layer ("data\\knodu.r3d") and parses it.
bool readModelFile(const char* path, ModelData& model, std::string* error = nullptr);

// Loads a model into device buffers on showState.device. Never null: a model that cannot
// be read or put on the device becomes an empty Mesh, reported by the message box
// "Failed to load model" (caption: the path) parented to showState.window.
Mesh* loadModel(const char* path);

// One indexed triangle list inside its own BeginScene/EndScene, with the world transform
// and texture stages the caller set. Nothing at all for an empty mesh, and nothing after
// a failed BeginScene.
void drawMesh(const Mesh* mesh);

// Releases the vertex buffer, the index buffer, then frees the two arrays; the Mesh is
// left empty.
void releaseMesh(Mesh* mesh);

// ---------------------------------------------------------------------------------
// Asset set (asset_set.cpp)
// ---------------------------------------------------------------------------------

// The glyph files, in GlyphSet order: a..z, 0..9, then ! . / : - ,
extern const char* const glyphFiles[GLYPH_COUNT];

// Loads the eleven textures, the 42 glyphs and the four models into ShowState, showing
// one message box per texture that fails; the show goes on without it.
void loadAssets();
// Releases meshes, textures and glyphs in their fixed order, skipping empty fields, and
// empties every field.
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
