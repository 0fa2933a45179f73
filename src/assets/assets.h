// The show's assets: image readers, texture building, models and the asset set.
#pragma once

#include "show.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------
// Texture building (texture_stub.cpp until the texture builder lands)
// ---------------------------------------------------------------------------------

// Builds a mip-mapped texture in the managed pool from a JPEG or TGA file. Negative on
// failure, and *texture is then left as it was; on success the caller owns one reference.
HRESULT createTextureFromFile(IDirect3DDevice8* device, const char* path, IDirect3DTexture8** texture);

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
