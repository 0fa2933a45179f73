#include "show.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

Matrix sample(float seed)
{
    Matrix m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = seed + 0.37f * static_cast<float>(i * i) - 1.5f;
    return m;
}

} // namespace

TEST(MatrixMultiply, AliasedOutputGivesTheProductOfTheInputsAsTheyWere)
{
    const Matrix m = sample(0.25f), n = sample(-2.0f);
    Matrix separate;
    matrixMultiply(&separate, &m, &n);

    Matrix aliasLeft = m, aliasRight = n;
    matrixMultiply(&aliasLeft, &aliasLeft, &n);
    matrixMultiply(&aliasRight, &m, &aliasRight);
    EXPECT_EQ(std::memcmp(&aliasLeft, &separate, sizeof(Matrix)), 0);
    EXPECT_EQ(std::memcmp(&aliasRight, &separate, sizeof(Matrix)), 0);
}

// The show's camera, rotations, projection and overlay transforms on its own inputs show in the
// scene tests' golden frames; here the inputs it never gives.
TEST(MatrixLookAt, DegenerateInputsGiveZeroAxes)
{
    const Vector3 at{0, 0, 0}, up{0, 1, 0}, somewhere{1, 2, 3};
    Matrix m;
    matrixLookAtLH(&m, &somewhere, &somewhere, &up);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(m.m[i / 4][i % 4], 0.0f) << i;
    EXPECT_EQ(m._44, 1.0f);

    const Vector3 above{0, 5, 0};
    matrixLookAtLH(&m, &at, &above, &up);
    for (int r = 0; r < 4; ++r)
        EXPECT_TRUE(m.m[r][0] == 0.0f && m.m[r][1] == 0.0f) << "row " << r;
}

// (1 - 2^-24)^2 lies 2^-23 below 1: inside the tolerance, so it is copied bit for bit.
// Tiny, zero and NaN vectors become zero; in place gives what a separate output does.
TEST(Vec3Normalize, NearUnitIsCopiedDegenerateBecomesZeroAndInPlaceEqualsSeparate)
{
    const Vector3 nearlyUnit{std::nextafter(1.0f, 0.0f), 0, 0};
    Vector3 out;
    vec3Normalize(&out, &nearlyUnit);
    EXPECT_EQ(std::bit_cast<uint32_t>(out.x), std::bit_cast<uint32_t>(nearlyUnit.x));

    for (const Vector3& v : {Vector3{0, 0, 0}, Vector3{1e-20f, 0, 0}, Vector3{NAN, 1, 0}}) {
        out = {7, 7, 7};
        vec3Normalize(&out, &v);
        EXPECT_TRUE(out.x == 0.0f && out.y == 0.0f && out.z == 0.0f) << v.x << "," << v.y << "," << v.z;
    }

    Vector3 v{3, -4, 12};
    vec3Normalize(&out, &v);
    vec3Normalize(&v, &v);
    EXPECT_TRUE(v.x == out.x && v.y == out.y && v.z == out.z);
    EXPECT_NEAR(out.x, 3.0f / 13, 1e-6f);
    EXPECT_NEAR(out.y, -4.0f / 13, 1e-6f);
    EXPECT_NEAR(out.z, 12.0f / 13, 1e-6f);
}
