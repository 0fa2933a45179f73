// Triangle meshes for the show's .r3d models, and the .r3d encoding.
//
// Winding: the show culls counter-clockwise triangles with a left-handed camera, so the triangles kept are
// those clockwise on screen. In numbers: for a triangle (a, b, c), (b - a) x (c - a) points out of the
// visible side, the same way as its vertex normals.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "vec3.h"

namespace makedata {

struct MeshVertex {
    Vec3 position;
    Vec3 normal;  // unit length
    float u = 0, v = 0;
};

struct Mesh {
    std::vector<MeshVertex> vertices;
    std::vector<std::array<uint32_t, 3>> triangles;
};

// Header (vertex count, triangle count, has-normals 1, texture-pair count = vertex count, reserved 0),
// positions, indices, texture pairs, normals; all little-endian 32-bit.
std::vector<uint8_t> encodeR3d(const Mesh& mesh);

// Appends `part` to `mesh`, renumbering its indices.
void appendMesh(Mesh& mesh, const Mesh& part);

// Largest distance of any vertex from the origin.
float boundingRadius(const Mesh& mesh);

// Reads a .r3d file as the writer lays it out; refuses counts that do not match the size, indices out of
// range, and files without normals or texture pairs.
std::optional<Mesh> decodeR3d(std::span<const uint8_t> bytes);

}  // namespace makedata
