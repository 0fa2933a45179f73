// Scene 2: the model flies in from behind and below the camera while the view narrows
// from 140 to 95 degrees, and the intro page types itself out over it. From 7 s to
// 8 s a second model stands in further back; at 12.5 s a photograph flashes for
// 150 ms; from 23 s the frame fades to the fade texture.
#include "scenes.h"
#include "scene_parts.h"

#include <cmath>

namespace {

constexpr DWORD DURATION = 24000;
constexpr DWORD TYPING_INTERVAL = 70;
constexpr DWORD SECOND_MODEL_FROM = 7000, SECOND_MODEL_UNTIL = 8000;
constexpr DWORD PHOTOGRAPH_FROM = 12500, PHOTOGRAPH_UNTIL = 12650;
constexpr DWORD CLOSING_FADE_START = 23000;
constexpr float TILT = -0.383972436f; // -22 degrees
constexpr float NARROWEST_VIEW = 95.0f;

struct IntroScene {
    float t = 0.0f;
    float modelY = -1.5f;  // below the camera...
    float modelZ = -1.5f;  // ...and behind it (the camera stands at z = -1)
    float fieldOfView = 140.0f;
    float fade = 0.0f;
    unsigned typed = 0;    // characters of introText shown
};

// Neither the fly-in nor the zoom is clamped: each stops at the first value past its
// bound, overshooting by up to one frame's step.
void advanceFlyInAndZoom(IntroScene& scene, float delta)
{
    if (scene.modelY < 0.0f)
        scene.modelY += 0.005f * delta;
    if (scene.modelZ < 0.0f)
        scene.modelZ += 0.005f * delta;
    if (scene.fieldOfView > NARROWEST_VIEW)
        scene.fieldOfView -= 0.15f * delta;
    setCameraFieldOfView(scene.fieldOfView * DEGREES_TO_RADIANS);
}

void drawIntroModel(const IntroScene& scene, const SceneFrame& frame)
{
    ShowState& g = showState;
    WorldMatrix world(rotationY(8.4f * scene.t));
    world.then(rotationX(TILT)).then(translation(0.0f, scene.modelY, scene.modelZ));
    world.setOnDevice();
    if (elapsedWithin(frame, SECOND_MODEL_FROM, SECOND_MODEL_UNTIL)) {
        world.then(translation(0.0f, 0.0f, 3.0f));
        world.setOnDevice();
        g.device->SetTexture(0, g.texture05);
        drawModel(g.thingyMesh);
    } else {
        drawModel(g.obuMesh);
    }
}

void enterOverlay()
{
    showState.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    showState.device->SetTexture(1, nullptr);
    useAlphaBlend();
    setCullMode(D3DCULL_NONE);
    setDepthTest(false);
    setOverlayMode(true);
}

// One more character at most per frame, and only once 70 ms have passed since the
// last step; the step time is renewed even once the page is complete.
void typeIntroText(IntroScene& scene, SceneFrame& frame)
{
    if (GetTickCount() - frame.stepTick >= TYPING_INTERVAL) {
        if (scene.typed < INTRO_TEXT_LENGTH)
            ++scene.typed;
        frame.stepTick = GetTickCount();
    }
    writeTextPage(introText, 0, static_cast<int>(scene.typed));
}

void fadeAndFlash(IntroScene& scene, const SceneFrame& frame)
{
    drawScreenFade(scene.fade);
    if (frame.elapsed() >= CLOSING_FADE_START) {
        if (scene.fade < 1.0f)
            scene.fade += 0.01f * frame.delta();
        if (scene.fade > 1.0f)
            scene.fade = 1.0f;
    }
    // Drawn after the fade, so over it.
    if (elapsedWithin(frame, PHOTOGRAPH_FROM, PHOTOGRAPH_UNTIL))
        drawFadedQuad(200, 96, 256, 384, showState.tarvok1Texture, 1.0f);
}

void drawIntroFrame(IntroScene& scene, SceneFrame& frame)
{
    ShowState& g = showState;
    g.device->SetTexture(0, g.texture06);
    g.device->SetTexture(1, g.texture02);
    advanceFlyInAndZoom(scene, frame.delta());
    drawIntroModel(scene, frame);
    enterOverlay();
    typeIntroText(scene, frame);
    fadeAndFlash(scene, frame);
}

} // namespace

void runIntroScene()
{
    IntroScene scene;
    runSceneLoop({DURATION, CLEAR_TARGET_AND_DEPTH, FALSE, &scene.t}, nullptr,
                 [&scene](SceneFrame& frame) { drawIntroFrame(scene, frame); });
}
