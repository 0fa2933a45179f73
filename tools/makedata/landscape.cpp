// tarvok1.tga: a "photograph" of a mountain lake in the evening, 256x384.
//
// A heightfield valley rendered column by column, front to back with a y-buffer: shore, lake, wooded
// hills and a snowy range lit pink by the low sun behind the camera (alpenglow), under a pastel evening
// sky. The lake mirrors each column about its far shoreline, which is where a painter puts reflections
// and is exact for the shore itself. Firs in the foreground frame the view; lens vignetting and film
// grain finish the photographic look.
#include <algorithm>
#include <cmath>
#include <vector>

#include "pictures.h"
#include "procedural.h"
#include "vec3.h"

namespace makedata {

namespace {

constexpr int photoWidth = 256;
constexpr int photoHeight = 384;
constexpr float horizonRow = 178.0f;
constexpr float focal = 270.0f;      // pixels per unit of slope
constexpr float cameraHeight = 2.2f;  // above the lake
constexpr float nearest = 3.0f, farthest = 320.0f;

const Vec3 toSun = normalize(Vec3{-0.75f, 0.32f, -0.45f});  // low, behind the camera's left shoulder

float terrainHeight(float x, float z, int octaves)
{
    // A valley meandering away from the camera, its floor under water, hills on both sides, and a range
    // across its far end. Terms are skipped where they cannot reach the surface, which halves the cost.
    const float centre = 5.0f * std::sin(z * 0.045f) + 2.0f;
    const float side = std::fabs(x - centre) - (0.32f * z + 4.0f);
    float h = std::max(0.0f, side) * 0.5f - 3.0f;
    if (side > -6.0f) {
        h += (fbm(x * 0.04f, z * 0.04f, 1024, octaves, 401) * 0.5f + 0.5f) * 9.0f * smoothstep(-6.0f, 12.0f, side);
    }
    if (z > 55.0f) {
        h += ridgedFbm(x * 0.012f + 3.0f, z * 0.012f, 1024, octaves + 1, 403) * 62.0f * smoothstep(55.0f, 120.0f, z);
    }
    if (h < -2.0f) {
        h = std::max(h, -4.0f + 2.0f * fbm(x * 0.1f, z * 0.1f, 1024, 2, 405));
    }
    if (z < 6.0f) {
        // The shore under the camera, dropping into the lake a metre out.
        h = std::max(h, 0.35f - (z - nearest) * 0.4f + 0.25f * fbm(x * 0.4f, z * 0.4f, 1024, 3, 407));
    }
    return h;
}

Vec3 terrainNormal(float x, float z, float step)
{
    const float h = terrainHeight(x, z, 7);
    const float hx = terrainHeight(x + step, z, 7);
    const float hz = terrainHeight(x, z + step, 7);
    return normalize(Vec3{h - hx, step, h - hz});
}

// Marches towards the sun over a coarse copy of the terrain; 0 in full shadow.
float sunlight(Vec3 p)
{
    float light = 1;
    float t = 2.0f;
    for (int i = 0; i < 7; ++i) {
        const Vec3 q = p + toSun * t;
        const float clearance = q.y - terrainHeight(q.x, q.z, 3);
        light = std::min(light, clamp01(clearance / (0.06f * t) + 0.5f));
        t *= 2.0f;
    }
    return light;
}

Colour skyAt(float x, float row)
{
    // The sky opposite a setting sun: a pink band over the horizon under a deepening blue.
    const float up = clamp01((horizonRow - row) / horizonRow);
    Colour c = mix(hexColour(0xf0b8b0), hexColour(0xb7a7cf), smoothstep(0.0f, 0.22f, up));
    c = mix(c, hexColour(0x6f86c4), smoothstep(0.15f, 0.55f, up));
    c = mix(c, hexColour(0x2c3f86), smoothstep(0.5f, 1.0f, up));
    // Thin clouds, lit pink underneath.
    const float cy = 1.0f / (up + 0.12f);
    const float cx = x / focal * cy;
    const float density = smoothstep(0.1f, 0.6f, fbm(cx * 0.9f + 2.0f, cy * 2.2f, 1024, 5, 411)) * smoothstep(0.05f, 0.3f, up);
    const Colour cloud = mix(hexColour(0xffc9c0), hexColour(0x9a86b8), smoothstep(0.3f, 0.9f, up));
    return mix(c, cloud, density * 0.85f);
}

Colour terrainColour(float x, float z, float h)
{
    const float step = std::max(0.05f, z * 0.004f);
    const Vec3 n = terrainNormal(x, z, step);
    const Vec3 p{x, h, z};
    const float direct = std::max(0.0f, dot(n, toSun)) * (z > 12.0f ? sunlight(p + n * 0.2f) : 1.0f);
    const float snowLine = 26.0f + 8.0f * fbm(x * 0.05f, z * 0.05f, 1024, 3, 421);
    const float snow = smoothstep(snowLine - 3.0f, snowLine + 3.0f, h) * smoothstep(0.45f, 0.7f, n.y);
    const float forest = smoothstep(20.0f, 12.0f, h) * smoothstep(0.5f, 0.75f, n.y);
    const float speckle = fbm(x * 1.5f, z * 1.5f, 1024, 3, 423);
    Colour albedo = mix(hexColour(0x6d6468), hexColour(0x4a4650), 0.5f + 0.5f * speckle);       // rock
    albedo = mix(albedo, hexColour(0x1f3524) * (0.8f + 0.4f * speckle), forest);                  // firs
    albedo = mix(albedo, hexColour(0x3a4a2a) * (0.8f + 0.4f * speckle), smoothstep(10.0f, 6.0f, z));  // meadow
    albedo = mix(albedo, hexColour(0xf4f2f8), snow);
    const Colour sun = hexColour(0xffb9a0) * 1.45f;   // the last light, pink
    const Colour sky = hexColour(0x6a78b4) * 0.55f;   // the blue of the shadows
    return albedo * (sun * direct + sky * (0.45f + 0.55f * n.y));
}

Colour fogged(Colour c, float z, float row)
{
    const float haze = 1.0f - std::exp(-z / 170.0f);
    return mix(c, skyAt(0.0f, std::min(row, horizonRow - 2.0f)) * 0.95f, haze);
}

struct Frame {
    std::vector<Colour> colour;
    std::vector<float> waterDepth;  // distance to the lake surface seen there, 0 when land or sky
    std::vector<int> shoreRow;      // per column: the first row of water below the far shore, or -1
};

// One column, front to back: each step's terrain fills the rows between its top and what is already
// drawn below it; whatever stays unfilled at the top is sky.
void renderColumn(Frame& frame, int column)
{
    const float slope = (float(column) + 0.5f - photoWidth * 0.5f) / focal;
    int lowestFree = photoHeight - 1;  // rows at and above this are still empty
    float previousZ = nearest, previousTop = float(photoHeight);
    for (float z = nearest; z < farthest && lowestFree >= 0; z += 0.012f * z + 0.02f) {
        const float ground = terrainHeight(slope * z, z, 6);
        const float top = horizonRow - (std::max(ground, 0.0f) - cameraHeight) * focal / z;
        for (int row = lowestFree; row >= 0 && float(row) + 0.5f >= top; --row) {
            const size_t i = size_t(row) * photoWidth + size_t(column);
            // Rows between this step's top and the last one's meet the ground between the two steps.
            const float t = previousTop > top ? clamp01((float(row) + 0.5f - top) / (previousTop - top)) : 0.0f;
            const float zHit = lerp(z, previousZ, t);
            const float hHit = terrainHeight(slope * zHit, zHit, 6);
            if (hHit < 0) {
                frame.waterDepth[i] = zHit;
            } else {
                frame.colour[i] = fogged(terrainColour(slope * zHit, zHit, hHit), zHit, float(row));
            }
            lowestFree = row - 1;
        }
        if (top < previousTop) {
            previousTop = top;
            previousZ = z;
        }
    }
    for (int row = lowestFree; row >= 0; --row) {
        frame.colour[size_t(row) * photoWidth + size_t(column)] = skyAt(float(column) - photoWidth * 0.5f, float(row));
    }
    for (int row = 0; row < photoHeight; ++row) {
        if (frame.waterDepth[size_t(row) * photoWidth + size_t(column)] > 0) {
            frame.shoreRow[size_t(column)] = row;
            break;
        }
    }
}

Colour waterAt(const Frame& frame, int column, int row)
{
    const float z = frame.waterDepth[size_t(row) * photoWidth + size_t(column)];
    const float shore = float(frame.shoreRow[size_t(column)]);
    // Ripples shift what the water mirrors, more near the camera where the waves are seen larger.
    const float wave = fbm(float(column) * 0.05f, 900.0f / z, 1024, 4, 431);
    const float jitter = wave * (6.0f / std::sqrt(z));
    const float mirrorRow = std::clamp(2.0f * shore - float(row) - 1.0f + jitter * 0.5f, 0.0f, shore - 1.0f);
    const float mirrorColumn = std::clamp(float(column) + jitter, 0.0f, float(photoWidth - 1));
    const int r = int(mirrorRow), c = int(mirrorColumn);
    const Colour reflected = frame.colour[size_t(r) * photoWidth + size_t(c)];
    const float grazing = clamp01(cameraHeight / z);  // the sine of the viewing angle
    const float reflectance = 0.45f + 0.5f * std::pow(1.0f - grazing, 4.0f);
    Colour c2 = mix(hexColour(0x0d1a24), reflected, reflectance);
    // Wave crests catch the pink sky as thin light streaks.
    const float crest = smoothstep(0.45f, 0.75f, fbm(float(column) * 0.08f, 2400.0f / z, 1024, 2, 433));
    return c2 + hexColour(0xf3b7b2) * (crest * 0.18f * (1.0f - grazing));
}

// A spruce's silhouette: irregular layers of branches, each side of its own length, narrowing to a thin
// spire. Returns coverage.
float firCoverage(float px, float py, float trunkX, float tipY, float baseY, float width, uint32_t seed)
{
    if (py < tipY - 1.0f || py > baseY) {
        return 0;
    }
    const float along = clamp01((py - tipY) / (baseY - tipY));
    const float side = px < trunkX ? 0.0f : 17.0f;
    const float layers = fbm(py * 0.16f, side, 1024, 3, seed);
    const float reach = 0.35f + 0.65f * smoothstep(-0.45f, 0.45f, layers);
    const float ragged = 0.78f + 0.22f * fbm(px * 0.6f, py * 0.6f, 1024, 2, seed + 1);
    const float halfWidth = width * std::pow(along, 0.85f) * reach * ragged;
    const float d = std::fabs(px - trunkX) - std::max(halfWidth, 0.9f);
    return smoothstep(0.7f, -0.7f, d);
}

Colour finishPhoto(Colour c, int px, int py)
{
    const float u = (float(px) + 0.5f) / photoWidth - 0.5f;
    const float v = (float(py) + 0.5f) / photoHeight - 0.5f;
    const float vignette = 1.0f - 0.6f * (u * u + v * v * 0.7f);
    const float grain = (hash01(px, py, 441) - 0.5f) * 0.035f;
    return c * vignette + Colour{grain, grain, grain};
}

}  // namespace

Image makeMountainLake()
{
    Frame frame;
    frame.colour.resize(size_t(photoWidth) * photoHeight);
    frame.waterDepth.assign(frame.colour.size(), 0.0f);
    frame.shoreRow.assign(photoWidth, -1);
    for (int column = 0; column < photoWidth; ++column) {
        renderColumn(frame, column);
    }
    Image image(photoWidth, photoHeight);
    const Colour needles = hexColour(0x070b0c);
    for (int py = 0; py < photoHeight; ++py) {
        for (int px = 0; px < photoWidth; ++px) {
            const size_t i = size_t(py) * photoWidth + size_t(px);
            Colour c = frame.waterDepth[i] > 0 ? waterAt(frame, px, py) : frame.colour[i];
            const float x = float(px) + 0.5f, y = float(py) + 0.5f;
            c = mix(c, needles, firCoverage(x, y, 20.0f, 60.0f, 384.0f, 40.0f, 451));
            c = mix(c, needles, firCoverage(x, y, 56.0f, 200.0f, 384.0f, 20.0f, 453));
            c = mix(c, needles, firCoverage(x, y, 243.0f, 130.0f, 384.0f, 30.0f, 455));
            image.at(px, py) = toRgba(finishPhoto(c, px, py));
        }
    }
    return image;
}

}  // namespace makedata
