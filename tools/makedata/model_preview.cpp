#include "model_preview.h"

#include <algorithm>
#include <cmath>

#include "procedural.h"

namespace makedata {

Transform Transform::rotationX(float a)
{
    Transform t;
    t.m[1] = {0, std::cos(a), std::sin(a), 0};
    t.m[2] = {0, -std::sin(a), std::cos(a), 0};
    return t;
}

Transform Transform::rotationY(float a)
{
    Transform t;
    t.m[0] = {std::cos(a), 0, -std::sin(a), 0};
    t.m[2] = {std::sin(a), 0, std::cos(a), 0};
    return t;
}

Transform Transform::rotationZ(float a)
{
    Transform t;
    t.m[0] = {std::cos(a), std::sin(a), 0, 0};
    t.m[1] = {-std::sin(a), std::cos(a), 0, 0};
    return t;
}

Transform Transform::translation(float x, float y, float z)
{
    Transform t;
    t.m[3] = {x, y, z, 1};
    return t;
}

Transform operator*(const Transform& a, const Transform& b)
{
    Transform r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[size_t(i)][size_t(k)] * b.m[size_t(k)][size_t(j)];
            }
            r.m[size_t(i)][size_t(j)] = sum;
        }
    }
    return r;
}

PreviewPose PreviewPose::title()
{
    const float t = 0.35f;
    const Transform main = Transform::rotationY(8.4f * t) * Transform::rotationX(-0.383972436f) *
                           Transform::rotationZ(12.4f * t) * Transform::translation(0, 0.7f * std::sin(18 * t), 0);
    const Transform above = main * Transform::translation(0, 0.4f, 0) * Transform::rotationY(-14.8f * t);
    const Transform below = above * Transform::translation(0, -0.8f, 0);
    return {{{main, false}, {above, true}, {below, true}}, 95};
}

PreviewPose PreviewPose::closing()
{
    const float theta = 8.4f * 0.5f;
    const Transform world = Transform::rotationY(theta) * Transform::rotationX(-0.7330383f) *
                            Transform::rotationZ(-0.38397244f) * Transform::translation(-0.1f, 0, 0);
    return {{{world, false}}, 95};
}

PreviewPose PreviewPose::swarm()
{
    // The swarm places its copies with the C runtime's rand() recurrence from seed 1.
    uint32_t state = 1;
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return float(((state >> 16) & 0x7FFF) % 10000) * 0.001f - 5.0f;
    };
    const float dt = 500.0f;  // hundredths of a second
    const float ax = 0.003f * dt, ay = 0.0078f * dt, az = 0.00676f * dt;
    const Transform spin = Transform::rotationX(ax) * Transform::rotationY(ay) * Transform::rotationZ(az);
    const Transform turn = Transform::rotationX(-ax) * Transform::rotationY(-ay) * Transform::rotationZ(-az) *
                           Transform::translation(0, 0, 7.0f);
    PreviewPose pose;
    for (int i = 0; i < 45; ++i) {
        const float x = next(), y = next(), z = next();
        pose.draws.push_back({spin * Transform::translation(x, y, z) * turn, false});
    }
    return pose;
}

namespace {

Vec3 transformPoint(const Transform& t, Vec3 p)
{
    const auto& m = t.m;
    return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
            p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
            p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Vec3 transformDirection(const Transform& t, Vec3 d)
{
    const auto& m = t.m;
    return {d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0], d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
            d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]};
}

struct ScreenVertex {
    float x, y, invZ;     // pixel position and 1 / camera depth
    float u0, v0, u1, v1;  // divided by depth, for perspective-correct interpolation
};

struct Target {
    Image& image;
    std::vector<float>& depth;
    const Image& base;
    const Image& reflection;
    bool additive;
};

Colour shade(const Target& target, float u0, float v0, float u1, float v1)
{
    const Colour b = sampleWrapped(target.base, u0 * float(target.base.width) - 0.5f,
                                   v0 * float(target.base.height) - 0.5f);
    const Colour e = sampleWrapped(target.reflection, u1 * float(target.reflection.width) - 0.5f,
                                   v1 * float(target.reflection.height) - 0.5f);
    const Colour stage0 = b * b;
    return stage0 + e - stage0 * e;
}

float edge(const ScreenVertex& a, const ScreenVertex& b, float px, float py)
{
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

void rasterize(Target& target, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    const float area = edge(a, b, c.x, c.y);
    if (area <= 0) {
        return;  // counter-clockwise on screen (y down): culled, as the show does
    }
    const int w = target.image.width, h = target.image.height;
    const int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))));
    const int x1 = std::min(w - 1, int(std::ceil(std::max({a.x, b.x, c.x}))));
    const int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))));
    const int y1 = std::min(h - 1, int(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float px = float(x), py = float(y);
            const float wa = edge(b, c, px, py) / area;
            const float wb = edge(c, a, px, py) / area;
            const float wc = edge(a, b, px, py) / area;
            if (wa < 0 || wb < 0 || wc < 0) {
                continue;
            }
            const float invZ = wa * a.invZ + wb * b.invZ + wc * c.invZ;
            float& depth = target.depth[size_t(y) * size_t(w) + size_t(x)];
            if (invZ <= depth) {
                continue;
            }
            const float z = 1.0f / invZ;
            const Colour colour = shade(target, (wa * a.u0 + wb * b.u0 + wc * c.u0) * z,
                                        (wa * a.v0 + wb * b.v0 + wc * c.v0) * z, (wa * a.u1 + wb * b.u1 + wc * c.u1) * z,
                                        (wa * a.v1 + wb * b.v1 + wc * c.v1) * z);
            Rgba& dst = target.image.at(x, y);
            dst = toRgba(target.additive ? toColour(dst) + colour : colour);
            depth = invZ;
        }
    }
}

void drawMesh(Target& target, const Mesh& mesh, const Transform& world, float fovDegrees)
{
    const float w = float(target.image.width), h = float(target.image.height);
    const float focal = 1.0f / std::tan(fovDegrees * pi / 360.0f);
    const float aspect = w / h;
    std::vector<ScreenVertex> screen(mesh.vertices.size());
    std::vector<bool> inFront(mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const MeshVertex& v = mesh.vertices[i];
        // The view moves the eye from z = -1 to the origin.
        const Vec3 p = transformPoint(world, v.position) + Vec3{0, 0, 1};
        const Vec3 n = transformDirection(world, v.normal);
        const Vec3 eye = normalize(p);
        const Vec3 r = eye - n * (2.0f * dot(n, eye));
        inFront[i] = p.z > 0.05f;
        const float invZ = 1.0f / std::max(p.z, 0.05f);
        screen[i] = {(p.x * focal / aspect * invZ + 1) * 0.5f * w, (1 - p.y * focal * invZ) * 0.5f * h, invZ,
                     v.u * invZ, v.v * invZ, r.x * invZ, r.y * invZ};
    }
    for (const auto& t : mesh.triangles) {
        if (inFront[t[0]] && inFront[t[1]] && inFront[t[2]]) {
            rasterize(target, screen[t[0]], screen[t[1]], screen[t[2]]);
        }
    }
}

}  // namespace

Image renderScenePreview(const Mesh& mesh, const Image& base, const Image& reflection, const PreviewPose& pose)
{
    Image image(640, 480);
    std::fill(image.pixels.begin(), image.pixels.end(), Rgba{0, 0, 0, 255});
    // One depth buffer for all draws, as on the device: the echo copies are hidden behind the model.
    std::vector<float> depth(image.pixels.size(), 0.0f);
    for (const PreviewDraw& draw : pose.draws) {
        Target target{image, depth, base, reflection, draw.additive};
        drawMesh(target, mesh, draw.world, pose.fovDegrees);
    }
    return image;
}

Image renderModelPreview(const Mesh& mesh, const Image& base, const Image& reflection)
{
    Image image(280, 280);
    std::fill(image.pixels.begin(), image.pixels.end(), Rgba{12, 12, 16, 255});
    std::vector<float> depth(image.pixels.size(), 0.0f);
    const float fov = 40;
    const float distance = boundingRadius(mesh) / std::sin(fov * pi / 360.0f) * 1.05f;
    const Transform world = Transform::rotationY(0.5f) * Transform::rotationX(-0.35f) *
                            Transform::translation(0, 0, distance - 1.0f);
    Target target{image, depth, base, reflection, false};
    drawMesh(target, mesh, world, fov);
    return image;
}

}  // namespace makedata
