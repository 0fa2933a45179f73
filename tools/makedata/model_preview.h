// A small software renderer that shows a model the way the show lights it: stage 0 multiplies the base
// texture by itself, stage 1 adds the reflection map "smoothly" (a + b - ab), sampled at the camera-space
// reflection vector's (x, y), computed per vertex; back faces (counter-clockwise on screen) are culled.
// For the contact sheet only.
#pragma once

#include <array>
#include <vector>

#include "image.h"
#include "mesh.h"

namespace makedata {

// Row-vector 4x4 transform, translation in the last row, as the show's matrices.
struct Transform {
    std::array<std::array<float, 4>, 4> m{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

    static Transform rotationX(float a);
    static Transform rotationY(float a);
    static Transform rotationZ(float a);
    static Transform translation(float x, float y, float z);
};
// a then b.
Transform operator*(const Transform& a, const Transform& b);

struct PreviewDraw {
    Transform world;
    bool additive = false;  // source + destination, as the title scene's echo copies
};

struct PreviewPose {
    std::vector<PreviewDraw> draws;
    float fovDegrees = 95;

    static PreviewPose title();    // the title scene about three seconds in
    static PreviewPose closing();  // the closing scene's first model
    static PreviewPose swarm();    // the swarm scene's 45 gems, five seconds in
};

// A 640x480 frame on black, camera at z = -1 looking at the origin.
Image renderScenePreview(const Mesh& mesh, const Image& base, const Image& reflection, const PreviewPose& pose);

// A 280x280 three-quarter view framing the whole model.
Image renderModelPreview(const Mesh& mesh, const Image& base, const Image& reflection);

}  // namespace makedata
