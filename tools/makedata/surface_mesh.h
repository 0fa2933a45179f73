// Triangle meshes from parametric surfaces, with smooth normals and the show's winding.
#pragma once

#include <functional>

#include "mesh.h"

namespace makedata {

struct ParametricSurface {
    int segmentsU = 64;
    int segmentsV = 32;
    std::function<Vec3(float u, float v)> position;  // u and v run 0..1
    float textureRepeatU = 1;                        // texture coordinates run 0..repeat
    float textureRepeatV = 1;
};

// A grid of (segmentsU + 1) x (segmentsV + 1) vertices; seams and poles keep their own vertices for the
// texture coordinates but share one normal, averaged over every face that touches the point. Zero-area
// triangles (at poles) are left out. Each triangle's (b - a) x (c - a) points the way its normals do.
Mesh buildSurface(const ParametricSurface& surface);

// Signed volume enclosed by a closed mesh: positive when its faces point outwards.
float signedVolume(const Mesh& mesh);

// Reverses every triangle and normal: the other side becomes the visible one.
void turnInsideOut(Mesh& mesh);

// Moves and scales the mesh so its bounding box is centred on the origin and it fits a sphere of `radius`.
void centreAndFit(Mesh& mesh, float radius);

}  // namespace makedata
