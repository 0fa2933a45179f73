// tarvok2.tga: a "photograph" of a still life, 256x512, ray traced.
//
// A candle-lit table in the Dutch manner: a green glass bottle and a candle at the back, oranges, an apple
// and a small chrome ball in front, on a walnut table against a dark wall. Light comes from a window up
// to the left (a soft area light) and from the candle flame (a warm point light); the chrome ball and the
// glass mirror their surroundings. Every pixel averages four rays.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "pictures.h"
#include "procedural.h"
#include "raytrace.h"

namespace makedata {

namespace {

constexpr int photoWidth = 256;
constexpr int photoHeight = 512;
constexpr float tableFront = -1.25f;  // the table's front edge, z
constexpr float wallZ = 2.4f;

enum class Material { Wood, Wall, Glass, Wax, Wick, Orange, Apple, Stalk, Grape, Chrome };

struct Shape {
    bool isSphere;
    Sphere sphere;
    Capsule capsule;
    Material material;
};

struct Hit {
    float distance = 1e30f;
    Vec3 point, normal;
    Material material = Material::Wall;
    int shape = -1;  // index into the scene; -2 the table, -3 the wall
    bool found = false;
};

const Vec3 windowLight{-2.8f, 3.9f, -1.4f};
constexpr float windowRadius = 0.9f;
const Colour windowColour{1.05f, 0.96f, 0.84f};
const Vec3 flame{0.36f, 1.0f, 0.95f};
const Colour flameColour{1.0f, 0.58f, 0.24f};

std::vector<Shape> buildScene()
{
    auto sphere = [](Vec3 c, float r, Material m) { return Shape{true, {c, r}, {}, m}; };
    auto capsule = [](Vec3 a, Vec3 b, float r, Material m) { return Shape{false, {}, {a, b, r}, m}; };
    return {
        capsule({-0.32f, 0.3f, 1.05f}, {-0.32f, 1.08f, 1.05f}, 0.3f, Material::Glass),   // bottle body
        capsule({-0.32f, 1.25f, 1.05f}, {-0.32f, 1.95f, 1.05f}, 0.085f, Material::Glass),  // neck
        capsule({-0.32f, 1.96f, 1.05f}, {-0.32f, 1.99f, 1.05f}, 0.105f, Material::Glass),  // lip
        capsule({0.36f, 0.1f, 0.95f}, {0.36f, 0.78f, 0.95f}, 0.12f, Material::Wax),        // candle
        capsule({0.36f, 0.86f, 0.95f}, {0.36f, 0.93f, 0.95f}, 0.01f, Material::Wick),
        sphere({-0.06f, 0.23f, 0.32f}, 0.23f, Material::Orange),
        sphere({-0.47f, 0.21f, 0.05f}, 0.21f, Material::Orange),
        sphere({0.33f, 0.25f, 0.12f}, 0.25f, Material::Apple),
        capsule({0.33f, 0.47f, 0.12f}, {0.35f, 0.56f, 0.1f}, 0.012f, Material::Stalk),
        sphere({0.04f, 0.13f, -0.42f}, 0.13f, Material::Chrome),
        sphere({0.34f, 0.065f, -0.38f}, 0.065f, Material::Grape),
        sphere({0.46f, 0.065f, -0.34f}, 0.065f, Material::Grape),
        sphere({0.4f, 0.065f, -0.5f}, 0.065f, Material::Grape),
        sphere({0.52f, 0.065f, -0.46f}, 0.065f, Material::Grape),
        sphere({0.4f, 0.17f, -0.42f}, 0.065f, Material::Grape),
        sphere({0.28f, 0.065f, -0.5f}, 0.062f, Material::Grape),
    };
}

const std::vector<Shape>& scene()
{
    static const std::vector<Shape> shapes = buildScene();
    return shapes;
}

void consider(Hit& hit, float t, const Ray& ray, Material material, int shape)
{
    if (t > 0 && t < hit.distance) {
        hit.distance = t;
        hit.point = ray.origin + ray.direction * t;
        hit.material = material;
        hit.shape = shape;
        hit.found = true;
    }
}

Hit castRay(const Ray& ray)
{
    Hit hit;
    const Shape* nearest = nullptr;
    const std::vector<Shape>& shapes = scene();
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape& s = shapes[i];
        const float t = s.isSphere ? intersect(ray, s.sphere) : intersect(ray, s.capsule);
        if (t > 0 && t < hit.distance) {
            consider(hit, t, ray, s.material, int(i));
            nearest = &s;
        }
    }
    if (nearest) {
        hit.normal = nearest->isSphere ? normalAt(nearest->sphere, hit.point) : normalAt(nearest->capsule, hit.point);
    }
    if (ray.direction.y < 0) {
        const float t = -ray.origin.y / ray.direction.y;
        const Vec3 p = ray.origin + ray.direction * t;
        if (t > 0 && p.z > tableFront && t < hit.distance) {
            consider(hit, t, ray, Material::Wood, -2);
            hit.normal = {0, 1, 0};
            nearest = nullptr;
        }
    }
    if (ray.direction.z > 0) {
        const float t = (wallZ - ray.origin.z) / ray.direction.z;
        if (t > 0 && t < hit.distance) {
            consider(hit, t, ray, Material::Wall, -3);
            hit.normal = {0, 0, -1};
        }
    }
    return hit;
}

float shadowTowards(Vec3 point, Vec3 light, float lightRadius)
{
    const Vec3 toLight = light - point;
    const float distance = length(toLight);
    const Ray ray{point, toLight * (1.0f / distance)};
    const float spread = lightRadius / distance;
    float visible = 1;
    for (const Shape& s : scene()) {
        if (s.material == Material::Wick) {
            continue;
        }
        visible = std::min(visible, s.isSphere ? visibility(ray, s.sphere, spread) : visibility(ray, s.capsule, spread));
    }
    return visible;
}

struct Surface {
    Colour albedo;
    float shininess = 20;
    float specular = 0.2f;
    float mirror = 0;      // reflectance facing the viewer
    float grazing = 0;     // reflectance at grazing angles (Fresnel)
    Colour glow;           // emitted light
};

Colour woodAt(Vec3 p)
{
    const float ring = (p.z * 2.2f + 1.1f * fbm(p.x * 0.7f, p.z * 0.9f, 64, 3, 501)) * 7.0f;
    const float grain = ring - std::floor(ring);
    const float streak = fbm(p.x * 0.6f, p.z * 38.0f, 256, 3, 503);
    Colour c = mix(hexColour(0x3a1f0f), hexColour(0x7a4524), smoothstep(0.2f, 0.9f, grain) * 0.7f + 0.15f);
    return c * (0.82f + 0.3f * streak);
}

Colour appleAt(Vec3 p, Vec3 centre)
{
    // Fine red streaks running from stalk to base over a yellow-green ground, redder on the lit side.
    const float angle = std::atan2(p.z - centre.z, p.x - centre.x);
    const float streaks = fbm(angle * 14.0f, (p.y - centre.y) * 4.0f, 256, 3, 511);
    const float side = -(p.x - centre.x) * 2.0f - (p.z - centre.z) * 2.0f + 0.35f;
    const float blush = smoothstep(-0.35f, 0.35f, side + streaks * 0.6f);
    const Colour ground = mix(hexColour(0xb8b040), hexColour(0xd08a30), 0.5f + 0.5f * streaks);
    return mix(ground, mix(hexColour(0x8c0a14), hexColour(0xc01c22), 0.5f + 0.5f * streaks), blush);
}

Surface surfaceAt(const Hit& hit, Vec3* normal)
{
    switch (hit.material) {
    case Material::Wood:
        return {woodAt(hit.point), 40, 0.25f, 0.04f, 0.35f, {}};
    case Material::Wall: {
        const float plaster = fbm(hit.point.x * 3.0f, hit.point.y * 3.0f, 64, 4, 521);
        return {hexColour(0x2e281e) * (0.85f + 0.25f * plaster), 4, 0.0f, 0, 0, {}};
    }
    case Material::Glass:
        return {hexColour(0x06200f), 300, 1.6f, 0.1f, 0.95f, {}};
    case Material::Wax: {
        // Light from the flame glows through the top of the candle.
        const float nearFlame = std::exp(-(0.8f - hit.point.y) * 5.0f);
        return {hexColour(0xf0e2c4), 30, 0.15f, 0, 0.1f, hexColour(0xff9a50) * (0.55f * nearFlame)};
    }
    case Material::Wick:
        return {hexColour(0x101010), 4, 0, 0, 0, {}};
    case Material::Orange: {
        // Dimpled peel: perturb the normal by the gradient of fine noise.
        const Vec3 p = hit.point * 45.0f;
        const float n0 = fbm(p.x, p.y + p.z, 4096, 2, 531);
        const float nx = fbm(p.x + 0.5f, p.y + p.z, 4096, 2, 531);
        const float ny = fbm(p.x, p.y + p.z + 0.5f, 4096, 2, 531);
        *normal = normalize(*normal + Vec3{(nx - n0) * 0.3f, (ny - n0) * 0.3f, 0});
        return {hexColour(0xf27a10), 35, 0.3f, 0, 0.15f, {}};
    }
    case Material::Apple:
        return {appleAt(hit.point, {0.33f, 0.25f, 0.12f}), 80, 0.6f, 0.02f, 0.4f, {}};
    case Material::Stalk:
        return {hexColour(0x4a3018), 10, 0.05f, 0, 0, {}};
    case Material::Grape:
        // Dusty bloom: a soft sheen instead of a sharp highlight.
        return {hexColour(0x2a0c30), 12, 0.18f, 0, 0.3f, {}};
    case Material::Chrome:
        return {hexColour(0x202020), 200, 1.0f, 0.85f, 0.95f, {}};
    }
    return {};
}

// Shadows are left out of what reflections show: too small there to notice, and they double the cost.
Colour directLight(const Hit& hit, Vec3 normal, const Surface& surface, Vec3 view, bool shadows)
{
    const Vec3 lift = hit.point + normal * 0.002f;
    // Window: soft key light.
    const Vec3 toWindow = normalize(windowLight - hit.point);
    const float windowShade = shadows ? shadowTowards(lift, windowLight, windowRadius) : 1.0f;
    const float diffuse = std::max(0.0f, dot(normal, toWindow)) * windowShade;
    const Vec3 half = normalize(toWindow - view);
    const float highlight = std::pow(std::max(0.0f, dot(normal, half)), surface.shininess) * surface.specular * windowShade;
    // Candle: a warm point light close by.
    const Vec3 toFlame = flame - hit.point;
    const float flameDistance = length(toFlame);
    const float flameFalloff = 1.0f / (1.0f + 6.0f * flameDistance * flameDistance);
    const float flameShade = shadows ? shadowTowards(lift, flame, 0.04f) : 1.0f;
    const float flameDiffuse = std::max(0.0f, dot(normal, toFlame * (1.0f / flameDistance))) * flameFalloff * flameShade;
    const float ambient = 0.05f + 0.03f * normal.y;
    Colour c = surface.albedo * (windowColour * (diffuse * 1.05f) + flameColour * (flameDiffuse * 1.6f) +
                                 Colour{ambient, ambient, ambient * 1.15f});
    c = c + windowColour * highlight + flameColour * (flameDiffuse * surface.specular * 0.5f);
    return c + surface.glow;
}

// The window, seen only in reflections (it is behind the camera's left shoulder).
Colour windowSeenAlong(const Ray& ray, float distanceLimit)
{
    const float t = intersect(ray, Sphere{windowLight, windowRadius});
    return t > 0 && t < distanceLimit ? windowColour * 3.0f : Colour{};
}

Colour trace(const Ray& ray, int depth, int* firstShape = nullptr)
{
    const Hit hit = castRay(ray);
    if (firstShape) {
        *firstShape = hit.shape;
    }
    const Colour window = depth > 0 ? windowSeenAlong(ray, hit.distance) : Colour{};
    if (window.r > 0) {
        return window;
    }
    if (!hit.found) {
        return {0.01f, 0.008f, 0.006f};
    }
    Vec3 normal = hit.normal;
    const Surface surface = surfaceAt(hit, &normal);
    Colour c = directLight(hit, normal, surface, ray.direction, depth == 0);
    const float facing = std::max(0.0f, -dot(ray.direction, normal));
    const float reflectance = surface.mirror + (surface.grazing - surface.mirror) * std::pow(1.0f - facing, 5.0f);
    if (depth < 2 && reflectance > 0.01f) {
        const Ray bounce{hit.point + normal * 0.002f, normalize(reflect(ray.direction, normal))};
        c = c + trace(bounce, depth + 1) * reflectance;
    }
    return c;
}

// Looking down onto the table from a seated eye height, the frame tall enough for the bottle.
struct Camera {
    Vec3 eye{0.02f, 1.5f, -3.7f};
    Vec3 forward, right, up;
    float tanHalf = std::tan(0.5f * 38.0f * pi / 180.0f);
    float aspect = float(photoWidth) / float(photoHeight);

    Camera()
    {
        forward = normalize(Vec3{0.0f, 0.78f, 0.6f} - eye);
        right = normalize(cross({0, 1, 0}, forward));
        up = cross(forward, right);
    }

    Ray rayThrough(float px, float py) const
    {
        const float x = (2.0f * px / photoWidth - 1.0f) * tanHalf * aspect;
        const float y = (1.0f - 2.0f * py / photoHeight) * tanHalf;
        return {eye, normalize(forward + right * x + up * y)};
    }

    // Pixel position of a point in front of the camera.
    std::pair<float, float> project(Vec3 point) const
    {
        const Vec3 p = point - eye;
        const float z = dot(p, forward);
        const float x = dot(p, right) / (z * tanHalf * aspect);
        const float y = dot(p, up) / (z * tanHalf);
        return {(x + 1.0f) * 0.5f * photoWidth, (1.0f - y) * 0.5f * photoHeight};
    }
};

// The flame itself is drawn after tracing: a bright teardrop, taller above its centre, with a halo.
Colour flameGlow(const Camera& camera, float px, float py)
{
    const auto [fx, fy] = camera.project(flame);
    const float dx = (px - fx) / 3.2f;
    const float dy = (py - fy) / (py < fy ? 9.0f : 4.0f);
    const float core = std::exp(-(dx * dx + dy * dy) * 2.5f);
    const float halo = std::exp(-std::sqrt((px - fx) * (px - fx) + (py - fy) * (py - fy)) / 22.0f);
    return hexColour(0xfff3c8) * (core * 1.4f) + flameColour * (halo * 0.35f);
}

Colour develop(Colour c, int px, int py)
{
    // A soft shoulder instead of clipping, a little warmth, lens vignetting and film grain.
    c = {1.0f - std::exp(-c.r * 1.35f), 1.0f - std::exp(-c.g * 1.3f), 1.0f - std::exp(-c.b * 1.25f)};
    const float u = (float(px) + 0.5f) / photoWidth - 0.5f;
    const float v = (float(py) + 0.5f) / photoHeight - 0.5f;
    const float vignette = 1.0f - 0.6f * (u * u * 1.4f + v * v * 0.9f);
    const float grain = (hash01(px, py, 541) - 0.5f) * 0.03f;
    return c * vignette + Colour{grain, grain, grain};
}

}  // namespace

Image makeStillLife()
{
    const Camera camera;
    // One ray through each pixel's centre first; pixels whose neighbourhood shows more than one object
    // (the silhouettes) are then traced again with four rays and averaged.
    std::vector<Colour> centre(size_t(photoWidth) * photoHeight);
    std::vector<int> shapes(centre.size());
    for (int py = 0; py < photoHeight; ++py) {
        for (int px = 0; px < photoWidth; ++px) {
            const size_t i = size_t(py) * photoWidth + size_t(px);
            centre[i] = trace(camera.rayThrough(float(px) + 0.5f, float(py) + 0.5f), 0, &shapes[i]);
        }
    }
    static constexpr float offsets[4][2] = {{0.375f, 0.125f}, {0.875f, 0.375f}, {0.125f, 0.625f}, {0.625f, 0.875f}};
    Image image(photoWidth, photoHeight);
    for (int py = 0; py < photoHeight; ++py) {
        for (int px = 0; px < photoWidth; ++px) {
            const size_t i = size_t(py) * photoWidth + size_t(px);
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = std::clamp(px + dx, 0, photoWidth - 1), y = std::clamp(py + dy, 0, photoHeight - 1);
                    edge = edge || shapes[size_t(y) * photoWidth + size_t(x)] != shapes[i];
                }
            }
            Colour c = centre[i];
            if (edge) {
                Colour sum;
                for (const auto& o : offsets) {
                    sum = sum + trace(camera.rayThrough(float(px) + o[0], float(py) + o[1]), 0);
                }
                c = sum * 0.25f;
            }
            c = c + flameGlow(camera, float(px) + 0.5f, float(py) + 0.5f);
            image.at(px, py) = toRgba(develop(c, px, py));
        }
    }
    return image;
}

}  // namespace makedata
