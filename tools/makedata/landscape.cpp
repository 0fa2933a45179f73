// tarvok1.tga: a "photograph" of a mountain lake at dusk, 256x384.
//
// Painted back to front in screen space: a dusk sky with lit cloud bands, a far range with snow catching
// the last light, a forested near ridge, the lake mirroring all of it under ripples, and a dark shore with
// firs framing the picture. Lens vignetting and film grain finish the photographic look.
#include <cmath>

#include "pictures.h"
#include "procedural.h"

namespace makedata {

namespace {

constexpr int photoWidth = 256;
constexpr int photoHeight = 384;
constexpr float pixel = 1.0f / photoWidth;  // one pixel in picture units (x runs 0..1)
constexpr float waterline = 0.86f;           // y runs 0..1.5 down the picture
constexpr float sunX = 0.64f;

Colour skyAt(float x, float y)
{
    const float t = clamp01(y / waterline);
    Colour c = mix(hexColour(0x14204d), hexColour(0x5b5b9c), smoothstep(0.0f, 0.55f, t));
    c = mix(c, hexColour(0xe99367), smoothstep(0.45f, 0.85f, t));
    c = mix(c, hexColour(0xffd49a), smoothstep(0.8f, 1.0f, t));
    const float dx = x - sunX, dy = y - 0.62f;
    c = c + hexColour(0xffb070) * (0.55f * std::exp(-(dx * dx * 4.0f + dy * dy * 10.0f) * 6.0f));
    // Long cloud bands, lit from below by the sun that has just set.
    const float density = smoothstep(0.05f, 0.45f, fbm(x * 3.0f, y * 14.0f, 64, 5, 301) + 0.25f - t * 0.35f);
    const float underside = smoothstep(-0.1f, 0.3f, fbm(x * 3.0f, y * 14.0f + 0.35f, 64, 5, 301) -
                                                        fbm(x * 3.0f, y * 14.0f - 0.35f, 64, 5, 301));
    const Colour cloud = mix(hexColour(0x3e3a6e), hexColour(0xff9c7c), clamp01(underside * 0.8f + t * 0.4f));
    return mix(c, cloud, density * smoothstep(0.98f, 0.6f, t) * 0.9f);
}

float farRidge(float x)
{
    return 0.47f - 0.2f * ridgedFbm(x * 2.2f + 0.3f, 0.7f, 64, 6, 311) + 0.05f * std::fabs(x - 0.45f);
}

Colour farMountainAt(float x, float y, float top)
{
    const float depth = y - top;
    // Gullies: ridged noise stretched downhill; the slope facing the sunset (right) catches the light.
    const float n = ridgedFbm(x * 9.0f, y * 5.0f, 64, 5, 313);
    const float nRight = ridgedFbm((x + pixel) * 9.0f, y * 5.0f, 64, 5, 313);
    const float lit = clamp01(0.45f + (nRight - n) * 40.0f);
    Colour rock = mix(hexColour(0x2c3150), hexColour(0x9a7a8c), lit);
    const float snowLine = 0.06f + 0.05f * fbm(x * 6.0f, 0.2f, 64, 3, 317);
    const float snow = smoothstep(snowLine, snowLine - 0.03f, depth) * smoothstep(0.25f, 0.55f, n);
    rock = mix(rock, mix(hexColour(0x8d90c0), hexColour(0xffc4b0), lit), snow);
    // Aerial perspective: the far range fades into the glowing air at its foot.
    const Colour air = skyAt(x, waterline * 0.93f);
    return mix(rock, air, 0.3f + 0.4f * smoothstep(0.0f, 0.3f, depth));
}

float nearRidge(float x)
{
    const float hill = 0.7f + 0.06f * fbm(x * 2.5f, 3.1f, 64, 3, 331) + 0.05f * (x - 0.5f) * (x - 0.5f) * 4.0f;
    // Fir tops along the crest: a saw of small peaks.
    const float cell = x * 70.0f;
    const float local = cell - std::floor(cell);
    const float height = 0.4f + 0.6f * hash01(int(std::floor(cell)), 7, 337);
    return hill - 0.018f * height * (1.0f - std::fabs(local - 0.5f) * 2.0f);
}

Colour nearRidgeAt(float x, float y)
{
    const float n = fbm(x * 40.0f, y * 30.0f, 256, 3, 341);
    const Colour forest = mix(hexColour(0x16222a), hexColour(0x26383a), 0.5f + 0.5f * n);
    return mix(forest, skyAt(x, waterline), 0.22f);
}

// Everything above the waterline, with soft edges one pixel wide.
Colour aboveWaterAt(float x, float y)
{
    Colour c = skyAt(x, y);
    const float far = farRidge(x);
    c = mix(c, farMountainAt(x, y, far), smoothstep(far - pixel, far + pixel, y));
    const float near = nearRidge(x);
    c = mix(c, nearRidgeAt(x, y), smoothstep(near - pixel, near + pixel, y));
    return c;
}

Colour lakeAt(float x, float y)
{
    const float depth = y - waterline;
    const float ripple = fbm(x * 6.0f, depth * depth * 300.0f + 9.0f, 64, 4, 351) * 0.012f * (0.3f + depth * 8.0f);
    const float mirrored = waterline - depth * 1.05f;
    const Colour reflected = aboveWaterAt(x + ripple, mirrored);
    Colour c = mix(hexColour(0x081424), reflected, 0.82f - depth * 0.9f);
    // Glints: short bright strokes on ripples under the afterglow.
    const float glint = smoothstep(0.55f, 0.8f, fbm(x * 40.0f, depth * 500.0f, 256, 2, 353));
    const float under = std::exp(-(x - sunX) * (x - sunX) * 40.0f);
    return c + hexColour(0xffc890) * (glint * under * 0.5f);
}

float shoreline(float x)
{
    return 1.3f + 0.035f * fbm(x * 5.0f, 1.0f, 64, 4, 361) - 0.06f * x;
}

Colour shoreAt(float x, float y)
{
    const float grass = fbm(x * 80.0f, y * 20.0f, 256, 3, 363);
    Colour c = mix(hexColour(0x0b100d), hexColour(0x23291c), 0.5f + 0.5f * grass);
    // Rocks: cells whose top edge catches the sky.
    const CellSample rock = cellNoise(x * 14.0f, y * 22.0f, 256, 367);
    if ((rock.id & 3) == 0) {
        const float shape = smoothstep(0.42f, 0.36f, rock.nearest);
        const float top = clamp01(-rock.dy * 2.0f);
        c = mix(c, mix(hexColour(0x2a2a36), hexColour(0x8c7a8a), top), shape);
    }
    return c;
}

// A fir's silhouette: tiers of drooping branches narrowing to the tip. Returns coverage.
float firCoverage(float x, float y, float trunkX, float tipY, float baseY, float width, uint32_t seed)
{
    if (y < tipY - pixel || y > baseY) {
        return 0;
    }
    const float along = clamp01((y - tipY) / (baseY - tipY));
    const float tiers = 9.0f;
    const float tier = along * tiers - std::floor(along * tiers);
    const float jag = 0.75f + 0.25f * fbm(x * 90.0f, y * 90.0f, 256, 2, seed);
    const float halfWidth = width * along * (0.55f + 0.45f * tier) * jag;
    const float trunk = 0.006f;
    const float d = std::fabs(x - trunkX) - std::max(halfWidth, trunk);
    return smoothstep(pixel, -pixel, d);
}

Colour finishPhoto(Colour c, int px, int py)
{
    const float u = (float(px) + 0.5f) / photoWidth - 0.5f;
    const float v = (float(py) + 0.5f) / photoHeight - 0.5f;
    const float vignette = 1.0f - 0.55f * (u * u + v * v * 0.7f);
    const float grain = (hash01(px, py, 371) - 0.5f) * 0.035f;
    return c * vignette + Colour{grain, grain, grain};
}

Colour lakeSceneAt(float x, float y)
{
    Colour c = y < waterline ? aboveWaterAt(x, y) : lakeAt(x, y);
    const float shore = shoreline(x);
    c = mix(c, shoreAt(x, y), smoothstep(shore - pixel, shore + pixel, y));
    const Colour needles = hexColour(0x060a0a);
    c = mix(c, needles, firCoverage(x, y, 0.07f, 0.5f, 1.5f, 0.13f, 381));
    c = mix(c, needles, firCoverage(x, y, 0.2f, 0.78f, 1.45f, 0.08f, 383));
    c = mix(c, needles, firCoverage(x, y, 0.93f, 0.62f, 1.5f, 0.11f, 385));
    return c;
}

}  // namespace

Image makeMountainLake()
{
    Image image(photoWidth, photoHeight);
    for (int py = 0; py < photoHeight; ++py) {
        for (int px = 0; px < photoWidth; ++px) {
            const float x = (float(px) + 0.5f) * pixel;
            const float y = (float(py) + 0.5f) * pixel;
            image.at(px, py) = toRgba(finishPhoto(lakeSceneAt(x, y), px, py));
        }
    }
    return image;
}

}  // namespace makedata
