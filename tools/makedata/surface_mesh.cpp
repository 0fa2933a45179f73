#include "surface_mesh.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace makedata {

namespace {

// Points closer than this are one point for the normals (seams, poles).
constexpr float weldStep = 1e-4f;

using WeldKey = std::tuple<long, long, long>;

WeldKey weldKey(Vec3 p)
{
    return {std::lround(p.x / weldStep), std::lround(p.y / weldStep), std::lround(p.z / weldStep)};
}

void smoothNormals(Mesh& mesh)
{
    std::map<WeldKey, Vec3> sums;
    for (const auto& t : mesh.triangles) {
        const Vec3 a = mesh.vertices[t[0]].position;
        const Vec3 b = mesh.vertices[t[1]].position;
        const Vec3 c = mesh.vertices[t[2]].position;
        const Vec3 face = cross(b - a, c - a);  // length = twice the area: larger faces weigh more
        for (const uint32_t i : t) {
            Vec3& sum = sums[weldKey(mesh.vertices[i].position)];
            sum = sum + face;
        }
    }
    for (MeshVertex& v : mesh.vertices) {
        v.normal = normalize(sums[weldKey(v.position)]);
    }
}

}  // namespace

Mesh buildSurface(const ParametricSurface& surface)
{
    Mesh mesh;
    const int columns = surface.segmentsU + 1;
    for (int j = 0; j <= surface.segmentsV; ++j) {
        for (int i = 0; i <= surface.segmentsU; ++i) {
            const float u = float(i) / float(surface.segmentsU);
            const float v = float(j) / float(surface.segmentsV);
            mesh.vertices.push_back({surface.position(u, v), {}, u * surface.textureRepeatU, v * surface.textureRepeatV});
        }
    }
    auto at = [&](int i, int j) { return uint32_t(j * columns + i); };
    auto addTriangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        const Vec3 pa = mesh.vertices[a].position;
        const Vec3 area = cross(mesh.vertices[b].position - pa, mesh.vertices[c].position - pa);
        if (dot(area, area) > 1e-14f) {
            mesh.triangles.push_back({a, b, c});
        }
    };
    for (int j = 0; j < surface.segmentsV; ++j) {
        for (int i = 0; i < surface.segmentsU; ++i) {
            addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    }
    smoothNormals(mesh);
    return mesh;
}

float signedVolume(const Mesh& mesh)
{
    double volume = 0;
    for (const auto& t : mesh.triangles) {
        const Vec3 a = mesh.vertices[t[0]].position;
        const Vec3 b = mesh.vertices[t[1]].position;
        const Vec3 c = mesh.vertices[t[2]].position;
        volume += double(dot(a, cross(b, c)));
    }
    return float(volume / 6.0);
}

void turnInsideOut(Mesh& mesh)
{
    for (auto& t : mesh.triangles) {
        std::swap(t[1], t[2]);
    }
    for (MeshVertex& v : mesh.vertices) {
        v.normal = -v.normal;
    }
}

void centreAndFit(Mesh& mesh, float radius)
{
    Vec3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
    for (const MeshVertex& v : mesh.vertices) {
        low = {std::min(low.x, v.position.x), std::min(low.y, v.position.y), std::min(low.z, v.position.z)};
        high = {std::max(high.x, v.position.x), std::max(high.y, v.position.y), std::max(high.z, v.position.z)};
    }
    const Vec3 centre = (low + high) * 0.5f;
    for (MeshVertex& v : mesh.vertices) {
        v.position = v.position - centre;
    }
    const float scale = radius / boundingRadius(mesh);
    for (MeshVertex& v : mesh.vertices) {
        v.position = v.position * scale;
    }
}

}  // namespace makedata
