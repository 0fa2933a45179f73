// Pieces the scenes share: world matrices built factor by factor, the camera's
// perspective, and the overlay switch of the swarm and closing scenes.
#pragma once

#include "show.h"
#include "draw.h"
#include "assets.h"

constexpr float CAMERA_ASPECT = 1.33f; // not 4/3
constexpr float CAMERA_NEAR = 0.1f;
constexpr float CAMERA_FAR = 100.0f;
constexpr float DEGREES_TO_RADIANS = 0.017453292f;
constexpr DWORD CLEAR_TARGET_AND_DEPTH = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;

Matrix rotationX(float angle);
Matrix rotationY(float angle);
Matrix rotationZ(float angle);
Matrix translation(float x, float y, float z);

// A world matrix accumulated as M = M x factor, so the factor given first acts first
// on the model.
class WorldMatrix {
public:
    WorldMatrix();                             // starts as the identity
    explicit WorldMatrix(const Matrix& first); // starts as its first factor
    WorldMatrix& then(const Matrix& factor);
    void setOnDevice() const;                  // the device's world transform
    const Matrix& matrix() const { return value; }

private:
    Matrix value;
};

// Rebuilds the shared projection with the given vertical field of view and hands it
// to the device; setOverlayMode(false) restores it from then on.
void setCameraFieldOfView(float radians);

// Draws a model with the world transform and stages already set; a model that never
// loaded is skipped.
void drawModel(Mesh* mesh);

// Into 2D over the models, with stage 1 emptied and classic alpha blending switched on.
void beginOverlay();

// True while elapsed scene time lies in [from, until), each bound read anew.
bool elapsedWithin(const SceneFrame& frame, DWORD from, DWORD until);
