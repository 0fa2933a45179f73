#include "scene_parts.h"

Matrix rotationX(float angle)
{
    Matrix m;
    return *matrixRotationX(&m, angle);
}

Matrix rotationY(float angle)
{
    Matrix m;
    return *matrixRotationY(&m, angle);
}

Matrix rotationZ(float angle)
{
    Matrix m;
    return *matrixRotationZ(&m, angle);
}

Matrix translation(float x, float y, float z)
{
    Matrix m;
    return *matrixTranslation(&m, x, y, z);
}

WorldMatrix::WorldMatrix()
{
    matrixIdentity(&value);
}

WorldMatrix::WorldMatrix(const Matrix& first) : value(first)
{
}

WorldMatrix& WorldMatrix::then(const Matrix& factor)
{
    matrixMultiply(&value, &value, &factor);
    return *this;
}

void WorldMatrix::setOnDevice() const
{
    showState.device->SetTransform(D3DTS_WORLD, &value);
}

void setCameraFieldOfView(float radians)
{
    ShowState& g = showState;
    matrixPerspectiveFovLH(&g.projection, radians, CAMERA_ASPECT, CAMERA_NEAR, CAMERA_FAR);
    g.device->SetTransform(D3DTS_PROJECTION, &g.projection);
}

void drawModel(Mesh* mesh)
{
    if (mesh != nullptr)
        drawMesh(mesh);
}

void beginOverlay()
{
    IDirect3DDevice8* device = showState.device;
    setCullMode(D3DCULL_NONE);
    setDepthTest(false);
    setOverlayMode(true);
    device->SetTexture(1, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    useAlphaBlend();
}

bool elapsedWithin(const SceneFrame& frame, DWORD from, DWORD until)
{
    return frame.elapsed() >= from && frame.elapsed() < until;
}
