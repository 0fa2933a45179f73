// Three-component vector for the models and the still-life renderer.
#pragma once

namespace makedata {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

constexpr Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
constexpr Vec3 operator*(float k, Vec3 a) { return a * k; }
constexpr Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
constexpr float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float length(Vec3 v);
// Unit vector along v; v itself when it has no length.
Vec3 normalize(Vec3 v);
// Mirror image of the direction d about the unit normal n.
constexpr Vec3 reflect(Vec3 d, Vec3 n) { return d - n * (2.0f * dot(d, n)); }

}  // namespace makedata
