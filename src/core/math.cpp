// Matrix and vector arithmetic for the device's row-vector, left-handed convention.
#include "show.h"

#include <cmath>
#include <cstring>

Matrix* matrixIdentity(Matrix* out)
{
    std::memset(out, 0, sizeof(Matrix));
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

Matrix* matrixMultiply(Matrix* out, const Matrix* a, const Matrix* b)
{
    // The product goes through a temporary so that out may alias a or b.
    Matrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            product.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] +
                              a->m[r][3] * b->m[3][c];
        }
    }
    *out = product;
    return out;
}

Matrix* matrixTranslation(Matrix* out, float x, float y, float z)
{
    matrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

Matrix* matrixRotationX(Matrix* out, float angle)
{
    const float s = std::sin(angle), c = std::cos(angle);
    matrixIdentity(out);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

Matrix* matrixRotationY(Matrix* out, float angle)
{
    const float s = std::sin(angle), c = std::cos(angle);
    matrixIdentity(out);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

Matrix* matrixRotationZ(Matrix* out, float angle)
{
    const float s = std::sin(angle), c = std::cos(angle);
    matrixIdentity(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

Vector3* vec3Normalize(Vector3* out, const Vector3* v)
{
    const float lengthSquared = v->x * v->x + v->y * v->y + v->z * v->z;
    const float unitTolerance = 1.1920929e-7f; // 2^-23
    const float smallestNormal = 1.1754944e-38f; // 2^-126
    if (std::fabs(lengthSquared - 1.0f) <= unitTolerance) {
        if (out != v)
            *out = *v;
        return out;
    }
    if (!(lengthSquared > smallestNormal)) { // also catches NaN
        *out = Vector3{0.0f, 0.0f, 0.0f};
        return out;
    }
    const float inverse = 1.0f / std::sqrt(lengthSquared);
    const Vector3 scaled{v->x * inverse, v->y * inverse, v->z * inverse};
    *out = scaled;
    return out;
}

static Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

static float dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Matrix* matrixLookAtLH(Matrix* out, const Vector3* eye, const Vector3* at, const Vector3* up)
{
    Vector3 z{at->x - eye->x, at->y - eye->y, at->z - eye->z};
    vec3Normalize(&z, &z);
    Vector3 x = cross(*up, z);
    vec3Normalize(&x, &x);
    const Vector3 y = cross(z, x); // already unit length when x and z are; not renormalised

    out->_11 = x.x; out->_12 = y.x; out->_13 = z.x; out->_14 = 0.0f;
    out->_21 = x.y; out->_22 = y.y; out->_23 = z.y; out->_24 = 0.0f;
    out->_31 = x.z; out->_32 = y.z; out->_33 = z.z; out->_34 = 0.0f;
    out->_41 = -dot(x, *eye); out->_42 = -dot(y, *eye); out->_43 = -dot(z, *eye); out->_44 = 1.0f;
    return out;
}

Matrix* matrixPerspectiveFovLH(Matrix* out, float fovY, float aspect, float zn, float zf)
{
    const float h = std::cos(fovY / 2.0f) / std::sin(fovY / 2.0f);
    const float w = h / aspect;
    const float q = zf / (zf - zn);
    std::memset(out, 0, sizeof(Matrix));
    out->_11 = w;
    out->_22 = h;
    out->_33 = q;
    out->_34 = 1.0f;
    out->_43 = -zn * q;
    return out;
}

Matrix* matrixOrthoOffCenterLH(Matrix* out, float l, float r, float b, float t, float zn, float zf)
{
    const float inverseWidth = 1.0f / (r - l);
    const float inverseHeight = 1.0f / (t - b);
    const float inverseDepth = 1.0f / (zf - zn);
    matrixIdentity(out);
    out->_11 = 2.0f * inverseWidth;
    out->_22 = 2.0f * inverseHeight;
    out->_33 = inverseDepth;
    out->_41 = -(l + r) * inverseWidth;
    out->_42 = -(t + b) * inverseHeight;
    out->_43 = -zn * inverseDepth;
    return out;
}
