// Deterministic building blocks for the procedural pictures: integer hashing, tileable noise, cells.
// Every function is a pure function of its arguments, so a picture is the same on every run.
#pragma once

#include <cstdint>

#include "image.h"

namespace makedata {

constexpr float pi = 3.14159265358979f;

constexpr float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
constexpr float lerp(float a, float b, float t) { return a + (b - a) * t; }
constexpr float smoothstep(float e0, float e1, float x)
{
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

uint32_t hash32(uint32_t x);
uint32_t hash2(int x, int y, uint32_t seed);
// Uniform in [0, 1).
float hash01(int x, int y, uint32_t seed);

// Perlin-style gradient noise in about [-1, 1], repeating every `period` lattice cells in x and y.
float gradientNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of gradient noise; the period doubles with each octave so the sum still tiles.
float fbm(float x, float y, int period, int octaves, uint32_t seed, float gain = 0.5f);
// 1 - |noise| folded octaves: sharp crests, for mountain ridges and veins.
float ridgedFbm(float x, float y, int period, int octaves, uint32_t seed);

// Worley cells on a lattice repeating every `period` cells.
struct CellSample {
    float nearest = 0;     // distance to the nearest feature point, in cells
    float second = 0;      // distance to the second nearest
    uint32_t id = 0;       // stable identity of the nearest cell
    float dx = 0, dy = 0;  // offset from the nearest feature point
};
CellSample cellNoise(float x, float y, int period, uint32_t seed);

// Inigo Quilez's cosine palette: a + b cos(2 pi (c t + d)), per channel.
Colour cosinePalette(float t, Colour a, Colour b, Colour c, Colour d);

// Shortest signed distance between two positions on a circle of the given circumference.
float wrappedDelta(float a, float b, float circumference);

}  // namespace makedata
