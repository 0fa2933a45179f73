// The three reflection maps: a panoramic sky over the sea, tileable both ways.
//
// Rows run from the zenith (top) through the horizon to the water, which mirrors the sky back up to the
// zenith colour at the bottom row; columns go once round the horizon. So the maps wrap without seams
// however the reflection vector addresses them, and read as sky, horizon and sun on a chrome surface.
#include <cmath>

#include "pictures.h"
#include "procedural.h"

namespace makedata {

namespace {

struct SkyStyle {
    Colour zenith, horizon, haze;     // sky gradient, and the glow band just above the horizon
    Colour sun, sunGlow;              // disc and halo
    Colour cloudLit, cloudShade;      // cloud colours towards and away from the sun
    Colour land, water;               // island silhouettes, deep water
    float horizonV = 0.56f;           // horizon row as a fraction of the height
    float sunU = 0.3f, sunV = 0.4f;   // sun centre
    float sunRadius = 0.03f;          // in fractions of the width
    float sunGlowWidth = 0.12f;
    float cloudCover = 0.1f;          // higher is clearer
    float landHeight = 0.05f;
    float stars = 0;                  // density of stars, 0 for none
    float aurora = 0;                 // strength of the aurora curtains
    bool moon = false;                // the disc is a cratered moon instead of a sun
    uint32_t seed = 1;
};

// Clouds: fbm stretched towards the horizon so they recede in perspective. Returns density 0..1.
float cloudDensity(const SkyStyle& s, float u, float t)
{
    const float depth = 1.0f / (1.08f - t);  // grows towards the horizon
    const float x = u * 8.0f;
    const float y = depth * 2.2f;
    const float n = fbm(x, y, 8, 5, s.seed + 7);
    return smoothstep(s.cloudCover, s.cloudCover + 0.35f, n);
}

Colour auroraAt(const SkyStyle& s, float u, float t)
{
    // Curtains: a wavy band whose centre line wanders round the horizon, streaked vertically.
    const float centre = 0.42f + 0.16f * fbm(u * 3.0f, 0.5f, 3, 3, s.seed + 31);
    const float offset = (t - centre) / 0.2f;
    const float band = std::exp(-offset * offset * 2.0f);
    const float streaks = 0.55f + 0.45f * fbm(u * 64.0f, t * 1.5f, 64, 3, s.seed + 37);
    const float fold = 0.5f + 0.5f * fbm(u * 6.0f, 1.7f, 6, 2, s.seed + 41);
    const float strength = s.aurora * band * streaks * smoothstep(0.15f, 0.75f, fold);
    const Colour green = hexColour(0x3dffa0);
    const Colour magenta = hexColour(0xb04cff);
    // Green below, violet on the upper fringe, as seen in the real thing.
    return mix(green, magenta, clamp01(-offset * 0.7f + 0.2f)) * strength;
}

float starAt(const SkyStyle& s, float u, float t, int width)
{
    const float px = u * float(width);
    const float py = t * float(width) * 0.5f;
    const int cx = int(std::floor(px / 3.0f));
    const int cy = int(std::floor(py / 3.0f));
    const uint32_t h = hash2(((cx % (width / 3)) + width / 3) % (width / 3), cy, s.seed + 53);
    if (float(h & 0xFFFF) / 65536.0f > s.stars) {
        return 0;
    }
    const float sx = float(cx) * 3.0f + 0.5f + 2.0f * float((h >> 16) & 0xFF) / 256.0f;
    const float sy = float(cy) * 3.0f + 0.5f + 2.0f * float((h >> 24) & 0xFF) / 256.0f;
    const float d2 = (px - sx) * (px - sx) + (py - sy) * (py - sy);
    const float brightness = 0.35f + 0.65f * float((h >> 8) & 0xFF) / 255.0f;
    return brightness * std::exp(-d2 * 2.5f) * smoothstep(0.95f, 0.55f, t);
}

Colour discAt(const SkyStyle& s, float du, float dv, float d)
{
    if (!s.moon) {
        const float disc = smoothstep(s.sunRadius, s.sunRadius * 0.82f, d);
        return s.sun * (disc * 1.6f);
    }
    const float disc = smoothstep(s.sunRadius, s.sunRadius * 0.9f, d);
    const float maria = fbm(du * 60.0f + 11.0f, dv * 60.0f + 5.0f, 256, 4, s.seed + 61);
    const float shade = 0.78f + 0.22f * smoothstep(0.25f, -0.15f, maria);
    return s.sun * (disc * shade * 1.25f);
}

// The sky seen at column u and height t (0 at the zenith, 1 at the horizon).
Colour skyAt(const SkyStyle& s, float u, float t, int width)
{
    Colour c = mix(s.zenith, s.horizon, std::pow(clamp01(t), 1.8f));
    c = c + s.haze * (std::exp((t - 1.0f) * 9.0f) * 0.9f);
    const float aspect = 1.0f / s.horizonV;  // rows of sky are squeezed into horizonV of the height
    const float du = wrappedDelta(u, s.sunU, 1.0f);
    const float dv = (t - s.sunV / s.horizonV) / aspect;
    const float d = std::sqrt(du * du + dv * dv);
    c = c + s.sunGlow * (std::exp(-d / s.sunGlowWidth) * 0.85f + std::exp(-d / (s.sunGlowWidth * 0.25f)) * 0.5f);
    if (s.stars > 0) {
        c = c + Colour{1, 1, 1} * starAt(s, u, t, width);
    }
    if (s.aurora > 0) {
        c = screen(c, auroraAt(s, u, t));
    }
    c = c + discAt(s, du, dv, d);
    const float density = cloudDensity(s, u, t);
    if (density > 0) {
        // Cheap lighting: compare density here with density a step towards the sun.
        const float toward = cloudDensity(s, u - du * 0.04f, t - dv * 0.04f);
        const float lit = clamp01(0.6f + (density - toward) * 3.0f);
        const float haze = smoothstep(0.6f, 1.0f, t);
        Colour cloud = mix(s.cloudShade, s.cloudLit, lit);
        cloud = cloud + s.sunGlow * (std::exp(-d / (s.sunGlowWidth * 0.8f)) * 0.8f);
        c = mix(c, cloud, density * (1.0f - 0.7f * haze));
    }
    return c;
}

// Height of the island silhouettes above the horizon at column u, as a fraction of the sky (0: open sea).
float landAt(const SkyStyle& s, float u)
{
    const float ridge = ridgedFbm(u * 6.0f, 0.5f, 6, 5, s.seed + 71);
    const float mask = smoothstep(-0.25f, 0.2f, fbm(u * 3.0f, 3.5f, 3, 2, s.seed + 73));
    return s.landHeight * ridge * mask;
}

Colour landColour(const SkyStyle& s, float u, float above)
{
    const float texture = 0.75f + 0.25f * fbm(u * 128.0f, above * 300.0f, 128, 3, s.seed + 79);
    return mix(s.haze * 0.6f + s.horizon * 0.4f, s.land, 0.55f + 0.45f * smoothstep(0.0f, 0.6f, above)) * texture;
}

// Everything above the waterline: sky, or an island in front of it.
Colour aboveWaterAt(const SkyStyle& s, float u, float t, int width)
{
    const float land = landAt(s, u);
    const float top = 1.0f - land;
    if (land > 0.001f && t > top) {
        return landColour(s, u, (t - top) / land);
    }
    return skyAt(s, u, t, width);
}

Colour waterAt(const SkyStyle& s, float u, float depth, int width)
{
    // depth: 0 at the horizon, 1 at the bottom row, where the water mirrors the zenith.
    const float wave = fbm(u * 24.0f, depth * depth * 40.0f + 3.0f, 24, 4, s.seed + 83);
    const float ripple = wave * 0.035f * depth;
    const float mirrored = 1.0f - depth + ripple * 0.6f;
    const Colour reflected = aboveWaterAt(s, u + ripple, clamp01(mirrored), width);
    const float fresnel = lerp(0.92f, 0.55f, std::sqrt(depth));
    Colour c = mix(s.water, reflected, fresnel);
    // Glitter: a streak of bright wave crests under the sun or moon.
    const float du = wrappedDelta(u, s.sunU, 1.0f);
    const float streak = std::exp(-du * du / (0.0012f + depth * depth * 0.02f));
    const float crest = smoothstep(0.15f, 0.55f, fbm(u * 96.0f, depth * 90.0f, 96, 2, s.seed + 89));
    c = c + s.sun * (streak * crest * 1.3f * (1.0f - depth * 0.4f));
    return c;
}

Image makeEnvironment(const SkyStyle& s, int width, int height)
{
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        const float v = (float(y) + 0.5f) / float(height);
        for (int x = 0; x < width; ++x) {
            const float u = (float(x) + 0.5f) / float(width);
            Colour c;
            if (v < s.horizonV) {
                c = aboveWaterAt(s, u, v / s.horizonV, width);
            } else {
                c = waterAt(s, u, (v - s.horizonV) / (1.0f - s.horizonV), width);
            }
            // Close the vertical wrap: the last rows blend into what the first row shows.
            const float seam = smoothstep(1.0f - 10.0f / float(height), 1.0f, v);
            if (seam > 0) {
                c = mix(c, aboveWaterAt(s, u, 0.5f / float(height) / s.horizonV, width), seam);
            }
            image.at(x, y) = toRgba(c);
        }
    }
    return image;
}

}  // namespace

Image makeDaylightEnvironment()
{
    SkyStyle s;
    s.zenith = hexColour(0x0b2a6e);
    s.horizon = hexColour(0x9fd3f2);
    s.haze = hexColour(0x6a7f8f);
    s.sun = hexColour(0xfffbea);
    s.sunGlow = hexColour(0xfff1c4);
    s.cloudLit = hexColour(0xffffff);
    s.cloudShade = hexColour(0x8a9bb8);
    s.land = hexColour(0x23323a);
    s.water = hexColour(0x06243a);
    s.sunU = 0.22f;
    s.sunV = 0.26f;
    s.sunRadius = 0.028f;
    s.sunGlowWidth = 0.09f;
    s.cloudCover = 0.02f;
    s.landHeight = 0.13f;
    s.seed = 202;
    return makeEnvironment(s, 256, 256);
}

Image makeSunsetEnvironment()
{
    SkyStyle s;
    s.zenith = hexColour(0x1a0b3d);
    s.horizon = hexColour(0xff8a3c);
    s.haze = hexColour(0xff5a3a);
    s.sun = hexColour(0xffe6a0);
    s.sunGlow = hexColour(0xff9a40);
    s.cloudLit = hexColour(0xffb37a);
    s.cloudShade = hexColour(0x5b2a5e);
    s.land = hexColour(0x1c0d24);
    s.water = hexColour(0x1a0a26);
    s.sunU = 0.62f;
    s.sunV = 0.47f;
    s.sunRadius = 0.05f;
    s.sunGlowWidth = 0.16f;
    s.cloudCover = 0.08f;
    s.landHeight = 0.1f;
    s.seed = 707;
    return makeEnvironment(s, 256, 256);
}

Image makeNightEnvironment()
{
    SkyStyle s;
    s.zenith = hexColour(0x020414);
    s.horizon = hexColour(0x1b2f5c);
    s.haze = hexColour(0x2c4a7a);
    s.sun = hexColour(0xf2f4ff);
    s.sunGlow = hexColour(0x5a78c8);
    s.cloudLit = hexColour(0x8fa2d8);
    s.cloudShade = hexColour(0x141d3c);
    s.land = hexColour(0x03050c);
    s.water = hexColour(0x010310);
    s.sunU = 0.74f;
    s.sunV = 0.2f;
    s.sunRadius = 0.032f;
    s.sunGlowWidth = 0.1f;
    s.cloudCover = 0.42f;
    s.landHeight = 0.08f;
    s.stars = 0.22f;
    s.aurora = 1.0f;
    s.moon = true;
    s.seed = 2002;
    return makeEnvironment(s, 512, 512);
}

}  // namespace makedata
