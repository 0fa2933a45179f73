#include "mesh.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace makedata {

namespace {

void putInt(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(uint8_t((v >> (8 * i)) & 0xFF));
    }
}

void putFloat(std::vector<uint8_t>& out, float v)
{
    putInt(out, std::bit_cast<uint32_t>(v));
}

}  // namespace

std::vector<uint8_t> encodeR3d(const Mesh& mesh)
{
    const auto vertexCount = uint32_t(mesh.vertices.size());
    std::vector<uint8_t> out;
    out.reserve(20 + mesh.vertices.size() * 32 + mesh.triangles.size() * 12);
    putInt(out, vertexCount);
    putInt(out, uint32_t(mesh.triangles.size()));
    putInt(out, 1);            // normals present
    putInt(out, vertexCount);  // one texture pair per vertex
    putInt(out, 0);            // reserved
    for (const MeshVertex& v : mesh.vertices) {
        putFloat(out, v.position.x);
        putFloat(out, v.position.y);
        putFloat(out, v.position.z);
    }
    for (const auto& t : mesh.triangles) {
        putInt(out, t[0]);
        putInt(out, t[1]);
        putInt(out, t[2]);
    }
    for (const MeshVertex& v : mesh.vertices) {
        putFloat(out, v.u);
        putFloat(out, v.v);
    }
    for (const MeshVertex& v : mesh.vertices) {
        putFloat(out, v.normal.x);
        putFloat(out, v.normal.y);
        putFloat(out, v.normal.z);
    }
    return out;
}

void appendMesh(Mesh& mesh, const Mesh& part)
{
    const auto base = uint32_t(mesh.vertices.size());
    mesh.vertices.insert(mesh.vertices.end(), part.vertices.begin(), part.vertices.end());
    for (const auto& t : part.triangles) {
        mesh.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
    }
}

float boundingRadius(const Mesh& mesh)
{
    float r = 0;
    for (const MeshVertex& v : mesh.vertices) {
        r = std::max(r, length(v.position));
    }
    return r;
}

namespace {

uint32_t getInt(std::span<const uint8_t> bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

float getFloat(std::span<const uint8_t> bytes, size_t at)
{
    return std::bit_cast<float>(getInt(bytes, at));
}

}  // namespace

std::optional<Mesh> decodeR3d(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 20) {
        return std::nullopt;
    }
    const uint64_t vertexCount = getInt(bytes, 0);
    const uint64_t triangleCount = getInt(bytes, 4);
    const bool hasNormals = getInt(bytes, 8) != 0;
    const uint64_t pairCount = getInt(bytes, 12);
    if (!hasNormals || pairCount != vertexCount || bytes.size() != 20 + vertexCount * 32 + triangleCount * 12) {
        return std::nullopt;
    }
    Mesh mesh;
    mesh.vertices.resize(vertexCount);
    const size_t positions = 20;
    const size_t indices = positions + vertexCount * 12;
    const size_t pairs = indices + triangleCount * 12;
    const size_t normals = pairs + vertexCount * 8;
    for (size_t i = 0; i < vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.position = {getFloat(bytes, positions + i * 12), getFloat(bytes, positions + i * 12 + 4),
                      getFloat(bytes, positions + i * 12 + 8)};
        v.u = getFloat(bytes, pairs + i * 8);
        v.v = getFloat(bytes, pairs + i * 8 + 4);
        v.normal = {getFloat(bytes, normals + i * 12), getFloat(bytes, normals + i * 12 + 4),
                    getFloat(bytes, normals + i * 12 + 8)};
    }
    for (size_t t = 0; t < triangleCount; ++t) {
        std::array<uint32_t, 3> tri{};
        for (size_t k = 0; k < 3; ++k) {
            tri[k] = getInt(bytes, indices + t * 12 + k * 4);
            if (tri[k] >= vertexCount) {
                return std::nullopt;
            }
        }
        mesh.triangles.push_back(tri);
    }
    return mesh;
}

}  // namespace makedata
