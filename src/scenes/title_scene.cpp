// Scene 1: the tumbling, bobbing model with two additive copies above and below it;
// the frame fades in from the fade texture, the logo fades in, the dash rule and the
// title line type themselves out one character a frame, and from 5.5 s the frame
// fades back to the fade texture.
#include "scenes.h"
#include "scene_parts.h"

#include <cmath>
#include <cstring>

namespace {

constexpr DWORD DURATION = 8000;
constexpr DWORD CLOSING_FADE_START = 5500;
constexpr float TILT = -0.383972436f; // -22 degrees

struct TitleScene {
    float t = 0.0f;        // animation time, 0.1 a second
    float fade = 1.0f;     // the frame starts fully covered
    float logoAlpha = 0.0f;
    bool fadeDone = false; // the opening fade has cleared; gates the logo
    bool typing = false;   // the logo is opaque; gates the typing
    int typed = 0;         // characters shown of each title line
};

// The model, then its two copies added on top: 0.4 above and 0.4 below, turned back
// about the vertical axis.
void drawModelAndCopies(const TitleScene& scene)
{
    ShowState& g = showState;
    const float t = scene.t;
    WorldMatrix world(rotationY(8.4f * t));
    world.then(rotationX(TILT)).then(rotationZ(12.4f * t)).then(translation(0.0f, 0.7f * std::sin(18.0f * t), 0.0f));
    world.setOnDevice();
    drawModel(g.knoduMesh);

    world.then(translation(0.0f, 0.4f, 0.0f)).then(rotationY(-14.8f * t));
    world.setOnDevice();
    g.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    useOneSrcAlphaBlend();
    drawModel(g.knoduMesh);

    world.then(translation(0.0f, -0.8f, 0.0f));
    world.setOnDevice();
    drawModel(g.knoduMesh);
}

void enterOverlay()
{
    showState.device->SetTexture(1, nullptr);
    useAlphaBlend();
    setCullMode(D3DCULL_NONE);
    setDepthTest(false);
    setOverlayMode(true);
}

// The logo starts only once the opening fade has cleared; typing once it is opaque.
void advanceLogoAndTyping(TitleScene& scene, float delta)
{
    if (scene.fadeDone) {
        if (scene.logoAlpha < 1.0f)
            scene.logoAlpha += 0.005f * delta;
        if (scene.logoAlpha > 1.0f) {
            scene.logoAlpha = 1.0f;
            scene.typing = true;
        } else if (scene.logoAlpha == 1.0f) {
            scene.typing = true;
        }
    }
    if (scene.typing && scene.typed < TITLE_LINE_LENGTH)
        ++scene.typed;
}

void writeTitleLines(int typed)
{
    char rule[TITLE_LINE_LENGTH + 1] = {};
    char title[TITLE_LINE_LENGTH + 1] = {};
    std::memcpy(rule, titleDashRule, typed);
    std::memcpy(title, titleLine, typed);
    writeString(rule, 194, 190);
    writeString(title, 194, 272);
}

// Fades in until 5.5 s (only then may the logo start), back out from there on.
void advanceFade(TitleScene& scene, const SceneFrame& frame)
{
    const float delta = frame.delta();
    if (frame.elapsed() < CLOSING_FADE_START) {
        if (scene.fade > 0.0f)
            scene.fade -= 0.01f * delta;
        if (scene.fade < 0.0f) {
            scene.fade = 0.0f;
            scene.fadeDone = true;
        } else if (scene.fade == 0.0f) {
            scene.fadeDone = true;
        }
    } else {
        if (scene.fade < 1.0f)
            scene.fade += 0.005f * delta;
        if (scene.fade > 1.0f)
            scene.fade = 1.0f;
    }
}

void drawTitleFrame(TitleScene& scene, SceneFrame& frame)
{
    ShowState& g = showState;
    g.device->SetTexture(0, g.envi01Texture);
    g.device->SetTexture(1, g.texture02);
    drawModelAndCopies(scene);
    enterOverlay();
    drawFadedQuad(64, 176, 512, 128, g.logoTexture, scene.logoAlpha);
    advanceLogoAndTyping(scene, frame.delta());
    writeTitleLines(scene.typed);
    useAlphaBlend();
    drawScreenFade(scene.fade);
    advanceFade(scene, frame);
}

} // namespace

void runTitleScene()
{
    TitleScene scene;
    runSceneLoop({DURATION, CLEAR_TARGET_AND_DEPTH, FALSE, &scene.t}, nullptr,
                 [&scene](SceneFrame& frame) { drawTitleFrame(scene, frame); });
}
