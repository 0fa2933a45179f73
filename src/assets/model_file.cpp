// The .r3d model reader: a header of five 32-bit fields, then the position, index,
// texture and normal blocks, all little-endian, without padding. The reader trusts
// nothing in the file: every count is checked against the bytes that are really there
// before anything is allocated or read.
#include "assets.h"
#include "image.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Limits that keep every size the device is later asked for within 32 bits.
constexpr int64_t MAX_VERTICES = UINT_MAX / sizeof(MeshVertex);
constexpr int64_t MAX_TRIANGLES = UINT_MAX / (3 * sizeof(uint32_t));

struct ModelHeader {
    int32_t vertexCount;
    int32_t triangleCount;
    int32_t hasNormals; // nonzero: a normal block follows the texture block
    int32_t texCoordCount;
};

// A cursor over the file's bytes; callers check the whole layout fits before reading.
struct ByteReader {
    const uint8_t* at;

    uint32_t u32()
    {
        const uint32_t value = uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 |
                               uint32_t(at[3]) << 24;
        at += 4;
        return value;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32()
    {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
};

bool fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

// Bytes the blocks after the header need, in 64 bits so no count can overflow it.
int64_t bodySize(const ModelHeader& header)
{
    const int64_t v = header.vertexCount;
    const int64_t blocks = 12 * v + 12 * int64_t(header.triangleCount) + 8 * int64_t(header.texCoordCount);
    return header.hasNormals != 0 ? blocks + 12 * v : blocks;
}

bool checkHeader(const ModelHeader& header, size_t size, std::string* error)
{
    if (header.vertexCount < 0)
        return fail(error, "negative vertex count " + std::to_string(header.vertexCount));
    if (header.triangleCount < 0)
        return fail(error, "negative triangle count " + std::to_string(header.triangleCount));
    if (header.texCoordCount < 0)
        return fail(error, "negative texture pair count " + std::to_string(header.texCoordCount));
    if (header.vertexCount > MAX_VERTICES || header.triangleCount > MAX_TRIANGLES)
        return fail(error, "too many vertices or triangles for a device buffer");
    const int64_t needed = int64_t(MODEL_HEADER_SIZE) + bodySize(header);
    if (needed > int64_t(size))
        return fail(error, "counts need " + std::to_string(needed) + " bytes but the file has " +
                               std::to_string(size));
    return true;
}

void readPositions(ByteReader& in, std::vector<MeshVertex>& vertices)
{
    for (MeshVertex& vertex : vertices) {
        vertex.x = in.f32();
        vertex.y = in.f32();
        vertex.z = in.f32();
    }
}

bool readIndices(ByteReader& in, ModelData& model, std::string* error)
{
    const uint32_t vertexCount = static_cast<uint32_t>(model.vertices.size());
    for (size_t i = 0; i < model.indices.size(); ++i) {
        const uint32_t index = in.u32();
        if (index >= vertexCount)
            return fail(error, "index " + std::to_string(index) + " of triangle " + std::to_string(i / 3) +
                                   " is not below the vertex count " + std::to_string(vertexCount));
        model.indices[i] = index;
    }
    return true;
}

// Pair i belongs to vertex i; pairs beyond the last vertex are skipped so that the
// normal block is found at its place.
void readTexCoords(ByteReader& in, int32_t texCoordCount, std::vector<MeshVertex>& vertices)
{
    const size_t used = std::min(size_t(texCoordCount), vertices.size());
    for (size_t i = 0; i < used; ++i) {
        vertices[i].u0 = in.f32();
        vertices[i].v0 = in.f32();
        vertices[i].u1 = 1.0f;
        vertices[i].v1 = 1.0f;
    }
    in.at += 8 * (size_t(texCoordCount) - used);
}

void readNormals(ByteReader& in, std::vector<MeshVertex>& vertices)
{
    for (MeshVertex& vertex : vertices) {
        vertex.nx = in.f32();
        vertex.ny = in.f32();
        vertex.nz = in.f32();
    }
}

// Smooth normals: each vertex gets the sum of the face normals around it, each as long
// as twice its triangle's area, normalised. The front face is clockwise, so the face
// normal is (b - a) x (c - a) in the left-handed frame. Vertices on no triangle of any
// area keep a zero normal.
void computeNormals(ModelData& model)
{
    std::vector<MeshVertex>& v = model.vertices;
    for (size_t i = 0; i + 2 < model.indices.size(); i += 3) {
        MeshVertex& a = v[model.indices[i]];
        MeshVertex& b = v[model.indices[i + 1]];
        MeshVertex& c = v[model.indices[i + 2]];
        const float ex = b.x - a.x, ey = b.y - a.y, ez = b.z - a.z;
        const float fx = c.x - a.x, fy = c.y - a.y, fz = c.z - a.z;
        const float nx = ey * fz - ez * fy, ny = ez * fx - ex * fz, nz = ex * fy - ey * fx;
        for (MeshVertex* corner : {&a, &b, &c}) {
            corner->nx += nx;
            corner->ny += ny;
            corner->nz += nz;
        }
    }
    for (MeshVertex& vertex : v) {
        const float length = std::sqrt(vertex.nx * vertex.nx + vertex.ny * vertex.ny + vertex.nz * vertex.nz);
        if (length > 0.0f && std::isfinite(length)) {
            vertex.nx /= length;
            vertex.ny /= length;
            vertex.nz /= length;
        } else {
            vertex.nx = vertex.ny = vertex.nz = 0.0f;
        }
    }
}

} // namespace

bool parseModel(const uint8_t* bytes, size_t size, ModelData& model, std::string* error)
{
    model = ModelData{};
    if (bytes == nullptr || size < MODEL_HEADER_SIZE)
        return fail(error, "file too short for the model header");

    ByteReader in{bytes};
    ModelHeader header;
    header.vertexCount = in.i32();
    header.triangleCount = in.i32();
    header.hasNormals = in.i32();
    header.texCoordCount = in.i32();
    in.i32(); // reserved
    if (!checkHeader(header, size, error))
        return false;

    model.vertices.assign(size_t(header.vertexCount), MeshVertex{});
    model.indices.resize(3 * size_t(header.triangleCount));
    model.texCoordCount = header.texCoordCount;
    readPositions(in, model.vertices);
    if (!readIndices(in, model, error)) {
        model = ModelData{};
        return false;
    }
    readTexCoords(in, header.texCoordCount, model.vertices);
    if (header.hasNormals != 0) {
        readNormals(in, model.vertices);
        model.normals = ModelNormals::File;
    } else if (!model.indices.empty()) {
        computeNormals(model);
        model.normals = ModelNormals::Computed;
    }
    return true;
}

bool readModelFile(const char* path, ModelData& model, std::string* error)
{
    model = ModelData{};
    MappedFile file;
    if (FAILED(mapImageFile(path, file)))
        return fail(error, "the file cannot be opened or mapped");
    return parseModel(file.bytes, file.size, model, error);
}
