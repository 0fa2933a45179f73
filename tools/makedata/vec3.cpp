#include "vec3.h"

#include <cmath>

namespace makedata {

float length(Vec3 v)
{
    return std::sqrt(dot(v, v));
}

Vec3 normalize(Vec3 v)
{
    const float l = length(v);
    return l > 0 ? v * (1.0f / l) : v;
}

}  // namespace makedata
