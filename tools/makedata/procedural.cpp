#include "procedural.h"

#include <cmath>

namespace makedata {

uint32_t hash32(uint32_t x)
{
    // lowbias32 by Chris Wellons: good avalanche for two multiplies.
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint32_t hash2(int x, int y, uint32_t seed)
{
    return hash32(uint32_t(x) * 0x9E3779B1U ^ hash32(uint32_t(y) + seed * 0x85EBCA77U));
}

float hash01(int x, int y, uint32_t seed)
{
    return float(hash2(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

namespace {

int wrapLattice(int i, int period)
{
    const int m = i % period;
    return m < 0 ? m + period : m;
}

// Sixteen evenly spread unit directions (cos, sin of k * 22.5 degrees) keep the noise free of axis bias.
constexpr float gradients[16][2] = {
    {1.0f, 0.0f},         {0.92387953f, 0.38268343f},   {0.70710678f, 0.70710678f},   {0.38268343f, 0.92387953f},
    {0.0f, 1.0f},         {-0.38268343f, 0.92387953f},  {-0.70710678f, 0.70710678f},  {-0.92387953f, 0.38268343f},
    {-1.0f, 0.0f},        {-0.92387953f, -0.38268343f}, {-0.70710678f, -0.70710678f}, {-0.38268343f, -0.92387953f},
    {0.0f, -1.0f},        {0.38268343f, -0.92387953f},  {0.70710678f, -0.70710678f},  {0.92387953f, -0.38268343f},
};

float gradientDot(int ix, int iy, float fx, float fy, int period, uint32_t seed)
{
    const uint32_t h = hash2(wrapLattice(ix, period), wrapLattice(iy, period), seed);
    return gradients[h & 15U][0] * fx + gradients[h & 15U][1] * fy;
}

float fade(float t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

}  // namespace

float gradientNoise(float x, float y, int period, uint32_t seed)
{
    const float flx = std::floor(x);
    const float fly = std::floor(y);
    const int ix = int(flx);
    const int iy = int(fly);
    const float fx = x - flx;
    const float fy = y - fly;
    const float n00 = gradientDot(ix, iy, fx, fy, period, seed);
    const float n10 = gradientDot(ix + 1, iy, fx - 1, fy, period, seed);
    const float n01 = gradientDot(ix, iy + 1, fx, fy - 1, period, seed);
    const float n11 = gradientDot(ix + 1, iy + 1, fx - 1, fy - 1, period, seed);
    const float u = fade(fx);
    const float v = fade(fy);
    return 1.4142f * lerp(lerp(n00, n10, u), lerp(n01, n11, u), v);
}

float fbm(float x, float y, int period, int octaves, uint32_t seed, float gain)
{
    float sum = 0;
    float amplitude = 1;
    float norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * gradientNoise(x, y, period, seed + uint32_t(o) * 101U);
        norm += amplitude;
        amplitude *= gain;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / norm;
}

float ridgedFbm(float x, float y, int period, int octaves, uint32_t seed)
{
    float sum = 0;
    float amplitude = 1;
    float norm = 0;
    float weight = 1;
    for (int o = 0; o < octaves; ++o) {
        float n = 1 - std::fabs(gradientNoise(x, y, period, seed + uint32_t(o) * 131U));
        n *= n;
        sum += amplitude * n * weight;
        norm += amplitude;
        // Crests feed the next octave, so detail gathers on the ridges as on real mountains.
        weight = clamp01(n * 1.5f);
        amplitude *= 0.5f;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / norm;
}

CellSample cellNoise(float x, float y, int period, uint32_t seed)
{
    const float flx = std::floor(x);
    const float fly = std::floor(y);
    const int ix = int(flx);
    const int iy = int(fly);
    CellSample best{1e9f, 1e9f, 0, 0, 0};
    for (int oy = -1; oy <= 1; ++oy) {
        for (int ox = -1; ox <= 1; ++ox) {
            const int cx = wrapLattice(ix + ox, period);
            const int cy = wrapLattice(iy + oy, period);
            const uint32_t h = hash2(cx, cy, seed);
            const float px = float(ix + ox) + float(h & 0xFFFF) / 65536.0f;
            const float py = float(iy + oy) + float(h >> 16) / 65536.0f;
            const float dx = x - px;
            const float dy = y - py;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d < best.nearest) {
                best.second = best.nearest;
                best.nearest = d;
                best.id = hash32(h);
                best.dx = dx;
                best.dy = dy;
            } else if (d < best.second) {
                best.second = d;
            }
        }
    }
    return best;
}

Colour cosinePalette(float t, Colour a, Colour b, Colour c, Colour d)
{
    const float tau = 2.0f * pi;
    return {a.r + b.r * std::cos(tau * (c.r * t + d.r)), a.g + b.g * std::cos(tau * (c.g * t + d.g)),
            a.b + b.b * std::cos(tau * (c.b * t + d.b))};
}

float wrappedDelta(float a, float b, float circumference)
{
    float d = std::fmod(a - b, circumference);
    if (d > circumference * 0.5f) {
        d -= circumference;
    } else if (d < -circumference * 0.5f) {
        d += circumference;
    }
    return d;
}

}  // namespace makedata
