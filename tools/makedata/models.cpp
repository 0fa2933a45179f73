// The three smooth models, all built as parametric surfaces.
#include "models.h"

#include <cmath>

#include "procedural.h"
#include "surface_mesh.h"

namespace makedata {

namespace {

// Closed surfaces are turned so their faces point outwards, whatever way the parameters run.
Mesh buildClosed(const ParametricSurface& surface)
{
    Mesh mesh = buildSurface(surface);
    if (signedVolume(mesh) < 0) {
        turnInsideOut(mesh);
    }
    return mesh;
}

// Centre line of a (p, q) torus knot.
Vec3 knotCurve(float t, int p, int q, float major, float minor)
{
    const float r = major + minor * std::cos(float(q) * t);
    return {r * std::cos(float(p) * t), minor * std::sin(float(q) * t), r * std::sin(float(p) * t)};
}

}  // namespace

Mesh makeKnot()
{
    constexpr int p = 2, q = 3;
    constexpr float major = 0.27f, minor = 0.12f, tube = 0.075f;
    ParametricSurface surface;
    surface.segmentsU = 160;
    surface.segmentsV = 12;
    surface.textureRepeatU = 6;
    surface.position = [](float u, float v) {
        // Frenet frame of the centre line, from finite differences: torus knots have no inflections.
        const float t = u * 2.0f * pi;
        const float h = 1e-3f;
        const Vec3 c = knotCurve(t, p, q, major, minor);
        const Vec3 ahead = knotCurve(t + h, p, q, major, minor);
        const Vec3 behind = knotCurve(t - h, p, q, major, minor);
        const Vec3 tangent = normalize(ahead - behind);
        const Vec3 bend = normalize(ahead + behind - c * 2.0f);
        const Vec3 binormal = normalize(cross(tangent, bend));
        const Vec3 normal = cross(binormal, tangent);
        const float angle = v * 2.0f * pi;
        return c + (normal * std::cos(angle) + binormal * std::sin(angle)) * tube;
    };
    Mesh mesh = buildClosed(surface);
    centreAndFit(mesh, 0.44f);
    return mesh;
}

Mesh makeBlob()
{
    ParametricSurface surface;
    surface.segmentsU = 64;
    surface.segmentsV = 40;
    surface.textureRepeatU = 2;
    surface.position = [](float u, float v) {
        const float phi = u * 2.0f * pi;
        const float theta = v * pi;
        const float s = std::sin(theta);
        // Seven ridges that twist from pole to pole, like a gourd or a meringue; the cube of the cosine
        // keeps the valleys between them smooth.
        const float ridges = 0.28f * std::pow(std::fabs(std::cos(3.5f * phi + 3.0f * std::cos(theta))), 3.0f) * s * s;
        const float waist = -0.06f * std::cos(2.0f * theta);
        const float r = 1.0f + ridges + waist;
        return Vec3{r * s * std::cos(phi), r * std::cos(theta), r * s * std::sin(phi)};
    };
    Mesh mesh = buildClosed(surface);
    centreAndFit(mesh, 0.52f);
    return mesh;
}

Mesh makeShell()
{
    // A nautilus: a tube swept along a logarithmic spiral, its section growing with its distance from the
    // centre so that each whorl wraps the one before it.
    constexpr float growth = 0.17f;          // per radian: the spiral triples its radius every turn
    constexpr float startAngle = -3.0f * pi;  // the hidden inner whorls
    constexpr float endAngle = 2.2f * pi;     // the aperture
    ParametricSurface surface;
    surface.segmentsU = 128;
    surface.segmentsV = 22;
    surface.textureRepeatU = 4;
    surface.position = [](float u, float v) {
        const float theta = startAngle + u * (endAngle - startAngle);
        const float radius = std::exp(growth * theta);
        const float section = 0.62f * radius;
        const float around = v * 2.0f * pi;
        // The section is a squashed circle, pushed outwards so its inner edge rests on the previous whorl.
        const float out = radius + section * (0.35f + std::cos(around));
        // The spiral faces the camera (the xy plane): the scenes spin it about the vertical axis.
        return Vec3{out * std::cos(theta), out * std::sin(theta), section * 1.05f * std::sin(around)};
    };
    Mesh outside = buildSurface(surface);
    // The aperture shows the inside, so a reversed copy gives the shell an inner wall that the show's
    // back-face culling keeps.
    if (dot(outside.vertices[surface.segmentsU / 2].normal, outside.vertices[surface.segmentsU / 2].position) < 0) {
        turnInsideOut(outside);
    }
    Mesh inside = outside;
    turnInsideOut(inside);
    appendMesh(outside, inside);
    centreAndFit(outside, 1.7f);
    return outside;
}

}  // namespace makedata
