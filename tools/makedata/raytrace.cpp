#include "raytrace.h"

#include <algorithm>
#include <cmath>

namespace makedata {

float intersect(const Ray& ray, const Sphere& sphere)
{
    const Vec3 oc = ray.origin - sphere.centre;
    const float b = dot(oc, ray.direction);
    const float c = dot(oc, oc) - sphere.radius * sphere.radius;
    const float h = b * b - c;
    if (h < 0) {
        return -1;
    }
    const float root = std::sqrt(h);
    const float near = -b - root;
    return near > 0 ? near : -b + root;
}

float intersect(const Ray& ray, const Capsule& capsule)
{
    // Inigo Quilez's capsule intersection: the infinite cylinder first, then the end caps.
    const Vec3 ba = capsule.b - capsule.a;
    const Vec3 oa = ray.origin - capsule.a;
    const float baba = dot(ba, ba);
    const float bard = dot(ba, ray.direction);
    const float baoa = dot(ba, oa);
    const float rdoa = dot(ray.direction, oa);
    const float oaoa = dot(oa, oa);
    const float a = baba - bard * bard;
    const float b = baba * rdoa - baoa * bard;
    const float c = baba * oaoa - baoa * baoa - capsule.radius * capsule.radius * baba;
    const float h = b * b - a * c;
    if (h < 0 || a <= 0) {
        return -1;
    }
    const float t = (-b - std::sqrt(h)) / a;
    const float y = baoa + t * bard;
    if (y > 0 && y < baba && t > 0) {
        return t;
    }
    const Sphere cap{y <= 0 ? capsule.a : capsule.b, capsule.radius};
    const Vec3 oc = ray.origin - cap.centre;
    const float cb = dot(ray.direction, oc);
    const float cc = dot(oc, oc) - cap.radius * cap.radius;
    const float ch = cb * cb - cc;
    if (ch < 0) {
        return -1;
    }
    const float tc = -cb - std::sqrt(ch);
    return tc > 0 ? tc : -1;
}

Vec3 normalAt(const Sphere& sphere, Vec3 point)
{
    return normalize(point - sphere.centre);
}

Vec3 normalAt(const Capsule& capsule, Vec3 point)
{
    const Vec3 ba = capsule.b - capsule.a;
    const Vec3 pa = point - capsule.a;
    const float h = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0f, 1.0f);
    return normalize(pa - ba * h);
}

namespace {

float penumbra(float clearance, float along, float spread)
{
    if (along <= 0) {
        return 1;
    }
    const float x = std::clamp(0.5f + 0.5f * clearance / (along * spread), 0.0f, 1.0f);
    return x * x * (3 - 2 * x);
}

}  // namespace

float visibility(const Ray& ray, const Sphere& sphere, float spread)
{
    const Vec3 oc = sphere.centre - ray.origin;
    const float along = dot(oc, ray.direction);
    const float clearance = length(oc - ray.direction * along) - sphere.radius;
    return penumbra(clearance, along, spread);
}

float visibility(const Ray& ray, const Capsule& capsule, float spread)
{
    // Closest approach between the ray's line and the capsule's segment.
    const Vec3 u = ray.direction;
    const Vec3 v = capsule.b - capsule.a;
    const Vec3 w = ray.origin - capsule.a;
    const float b = dot(u, v), c = dot(v, v), d = dot(u, w), e = dot(v, w);
    const float denominator = c - b * b;  // |u| = 1
    float s = denominator > 1e-8f ? std::clamp((e - b * d) / denominator, 0.0f, 1.0f) : 0.0f;
    float t = b * s - d;
    if (t < 0) {
        t = 0;
        s = std::clamp(e / c, 0.0f, 1.0f);
    }
    const Vec3 onRay = ray.origin + u * t;
    const Vec3 onSegment = capsule.a + v * s;
    const float clearance = length(onRay - onSegment) - capsule.radius;
    return penumbra(clearance, t, spread);
}

}  // namespace makedata
