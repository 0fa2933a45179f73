// Analytic ray casting against spheres, capsules and planes, with soft visibility estimates, for the
// rendered still-life photograph.
#pragma once

#include "vec3.h"

namespace makedata {

struct Ray {
    Vec3 origin;
    Vec3 direction;  // unit length
};

struct Sphere {
    Vec3 centre;
    float radius = 0;
};

// A cylinder with hemispherical ends round the segment a-b.
struct Capsule {
    Vec3 a, b;
    float radius = 0;
};

// Distance along the ray to the first hit in front of its origin, or a negative number for none.
float intersect(const Ray& ray, const Sphere& sphere);
float intersect(const Ray& ray, const Capsule& capsule);
Vec3 normalAt(const Sphere& sphere, Vec3 point);
Vec3 normalAt(const Capsule& capsule, Vec3 point);

// How much of a light of angular radius `spread` (radians) the shape leaves visible along the ray:
// 1 clear, 0 fully hidden, with a penumbra that widens with distance, as under a real area light.
float visibility(const Ray& ray, const Sphere& sphere, float spread);
float visibility(const Ray& ray, const Capsule& capsule, float spread);

}  // namespace makedata
