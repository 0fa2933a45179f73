// Scene 4: a tilted, spinning model with a tall picture bobbing at the right edge,
// the greetings typed over them and, from 28 s, the closing page. From 25 s to 30 s
// a second model stands in further back; in the last 3 s the frame fades out.
#include "scenes.h"
#include "scene_parts.h"

#include <cmath>

namespace {

constexpr DWORD DURATION = 61000;
constexpr DWORD TYPING_INTERVAL = 70;
constexpr DWORD SECOND_MODEL_FROM = 25000, SECOND_MODEL_UNTIL = 30000;
constexpr DWORD CLOSING_PAGE_START = 28000;
constexpr DWORD CLOSING_FADE_START = 58000;
constexpr float CAMERA_FIELD_OF_VIEW = 1.6580628f; // 95 degrees, as at the start of the show
constexpr float TILT_X = -0.7330383f;              // -42 degrees
constexpr float TILT_Z = -0.38397244f;             // -22 degrees

struct ClosingScene {
    unsigned greetingsTyped = 0;
    unsigned closingTyped = 0;
    float t = 0.0f;
    float pictureAlpha = 0.0f;
    float endFade = 0.0f;
};

// The greetings keep counting after the page has switched; the closing page starts
// counting only then, so it always starts empty.
void takeTypingStep(ClosingScene& scene, SceneFrame& frame)
{
    if (GetTickCount() - frame.stepTick < TYPING_INTERVAL)
        return;
    if (scene.greetingsTyped < GREETINGS_LENGTH)
        ++scene.greetingsTyped;
    if (frame.elapsed() >= CLOSING_PAGE_START && scene.closingTyped < CLOSING_PAGE_LENGTH)
        ++scene.closingTyped;
    frame.stepTick = GetTickCount();
}

// The first model spins about its own axis and is then tilted; the second is tilted
// first, turned about the world's vertical axis and stands 3 units further back.
void drawClosingModel(const ClosingScene& scene, const SceneFrame& frame)
{
    const ShowState& g = showState;
    const float theta = 8.4f * scene.t;
    WorldMatrix world;
    Mesh* model = g.obuMesh;
    if (elapsedWithin(frame, SECOND_MODEL_FROM, SECOND_MODEL_UNTIL)) {
        world.then(rotationX(TILT_X)).then(rotationZ(TILT_Z)).then(rotationY(theta));
        world.then(translation(-0.1f, 0.0f, 0.0f)).then(translation(0.0f, 0.0f, 3.0f));
        model = g.thingyMesh;
    } else {
        world.then(rotationY(theta)).then(rotationX(TILT_X)).then(rotationZ(TILT_Z));
        world.then(translation(-0.1f, 0.0f, 0.0f));
    }
    world.setOnDevice();
    drawModel(model);
}

// Stands against the right edge and bobs between y = -32 and 0; the alpha is not
// clamped here, drawFadedQuad clamps what it draws.
void drawBobbingPicture(ClosingScene& scene, float delta)
{
    if (scene.pictureAlpha < 1.0f)
        scene.pictureAlpha += 0.005f * delta;
    const int top = static_cast<int>(16.0f * std::cos(9.03f * scene.t) - 16.0f);
    drawFadedQuad(384, top, 256, 512, showState.tarvok2Texture, scene.pictureAlpha);
}

void writeCurrentPage(const ClosingScene& scene, const SceneFrame& frame)
{
    if (frame.elapsed() < CLOSING_PAGE_START)
        writeTextPage(greetingsList, 0, static_cast<int>(scene.greetingsTyped));
    else
        writeTextPage(closingPage, 0, static_cast<int>(scene.closingTyped));
}

void drawClosingFrame(ClosingScene& scene, SceneFrame& frame)
{
    ShowState& g = showState;
    g.device->SetTexture(0, g.texture06);
    g.device->SetTexture(1, g.texture02);
    takeTypingStep(scene, frame);
    drawClosingModel(scene, frame);
    beginOverlay();
    drawBobbingPicture(scene, frame.delta());
    writeCurrentPage(scene, frame);
    if (frame.elapsed() >= CLOSING_FADE_START && scene.endFade < 1.0f)
        scene.endFade += 0.005f * frame.delta();
    drawScreenFade(scene.endFade);
}

} // namespace

void runClosingScene()
{
    ClosingScene scene;
    runSceneLoop({DURATION, CLEAR_TARGET_AND_DEPTH, TRUE, &scene.t}, [] { setCameraFieldOfView(CAMERA_FIELD_OF_VIEW); },
                 [&scene](SceneFrame& frame) { drawClosingFrame(scene, frame); });
}
