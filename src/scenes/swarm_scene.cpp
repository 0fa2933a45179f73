// Scene 3, played twice: a swarm of up to 45 copies of one model at random places in
// a cube, each spinning, the whole swarm turning; one more copy every 300 ms. The
// colour buffer is never cleared, so the copies leave trails under a faint veil of
// the fade texture. A caption types itself out, a picture slides up and fades in; in
// the last 2.5 s the view widens and the swarm recedes, in the last second the frame
// fades out. The two runs differ in textures, background, veil and caption.
#include "scenes.h"
#include "scene_parts.h"

#include <cmath>

namespace {

constexpr DWORD DURATION = 14500;
constexpr int MAX_COPIES = 45;
constexpr DWORD STEP_INTERVAL = 300;
constexpr DWORD CAPTION_START = 2600;
constexpr DWORD WIDENING_START = 12000;
constexpr DWORD CLOSING_FADE_START = 13500;
constexpr float PICTURE_REST_TOP = 96.0f;

struct SwarmRun {
    IDirect3DTexture8* modelTexture;
    IDirect3DTexture8* reflectionTexture;
    bool pulsingBackground;
    float veilAlpha;
    const char* caption;
};

SwarmRun currentRun()
{
    const ShowState& g = showState;
    if (g.swarmRunCount == 1)
        return {g.texture01, g.texture07, false, 0.02f, swarmCaption1};
    return {g.texture06, g.envi02Texture, true, 0.04f, swarmCaption2};
}

struct SwarmScene {
    Vector3 positions[MAX_COPIES];
    int copies = 0;
    unsigned typed = 0;                 // characters of the caption shown
    float ax = 0.0f, ay = 0.0f, az = 0.0f;
    float fieldOfView = 95.0f;
    float distance = 7.0f;              // how far the swarm stands in front of the camera
    float pictureTop = 480.0f;          // just below the screen
    float pictureAlpha = 0.0f;
    float endFade = 0.0f;
};

// Every coordinate from -5.0 to 4.999 in steps of 0.001, drawn x, y, z copy by copy.
float randomCoordinate()
{
    return static_cast<float>((nextRandom() % 10000) * 0.001 - 5.0);
}

void placeCopies(SwarmScene& scene)
{
    for (Vector3& position : scene.positions) {
        position.x = randomCoordinate();
        position.y = randomCoordinate();
        position.z = randomCoordinate();
    }
}

void drawPulsingBackground(const SwarmScene& scene)
{
    IDirect3DDevice8* device = showState.device;
    setCullMode(D3DCULL_NONE);
    setDepthTest(false);
    setOverlayMode(true);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    useAlphaBlend();
    drawFadedQuad(0, 0, 640, 480, showState.envi02Texture, (std::cos(3.4f * scene.az) + 1.0f) * 0.5f);
    setOverlayMode(false);
    setDepthTest(true);
    setCullMode(D3DCULL_CCW);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

// Each copy spins about its own centre, goes to its place, and the swarm then turns
// by the negated angles, again in the order x, y, z, and is pushed away along z.
void drawCopies(const SwarmScene& scene)
{
    const float nx = -scene.ax, ny = -scene.ay, nz = -scene.az;
    for (int i = 0; i < scene.copies; ++i) {
        const Vector3& p = scene.positions[i];
        WorldMatrix world;
        world.then(rotationX(scene.ax)).then(rotationY(scene.ay)).then(rotationZ(scene.az));
        world.then(translation(p.x, p.y, p.z));
        world.then(rotationX(nx)).then(rotationY(ny)).then(rotationZ(nz));
        world.then(translation(0.0f, 0.0f, scene.distance));
        world.setOnDevice();
        drawModel(showState.glimmoraMesh);
    }
}

void drawSwarm(SwarmScene& scene, const SwarmRun& run, const SceneFrame& frame)
{
    const float delta = frame.delta();
    showState.device->SetTexture(0, run.modelTexture);
    showState.device->SetTexture(1, run.reflectionTexture);
    if (frame.elapsed() >= WIDENING_START) {
        scene.fieldOfView += 0.3f * delta;
        scene.distance += 0.06f * delta;
    }
    setCameraFieldOfView(scene.fieldOfView * DEGREES_TO_RADIANS);
    drawCopies(scene);
    scene.ax += 0.003f * delta;
    scene.ay += 0.0078f * delta;
    scene.az += 0.00676f * delta;
}

// At most one step a frame, due 300 ms after the previous one: one more copy, and
// from 2.6 s one more caption character.
void takeTimedStep(SwarmScene& scene, SceneFrame& frame)
{
    if (GetTickCount() - frame.stepTick < STEP_INTERVAL)
        return;
    if (scene.copies < MAX_COPIES)
        ++scene.copies;
    if (frame.elapsed() >= CAPTION_START && scene.typed < SWARM_CAPTION_LENGTH)
        ++scene.typed;
    frame.stepTick = GetTickCount();
}

// The picture rises to rest against the right and bottom edges while fading in.
void drawRisingPicture(SwarmScene& scene, float delta)
{
    if (scene.pictureTop > PICTURE_REST_TOP)
        scene.pictureTop -= 0.768f * delta;
    if (scene.pictureAlpha < 1.0f)
        scene.pictureAlpha += 0.002f * delta;
    if (scene.pictureTop < PICTURE_REST_TOP)
        scene.pictureTop = PICTURE_REST_TOP;
    if (scene.pictureAlpha > 1.0f)
        scene.pictureAlpha = 1.0f;
    drawFadedQuad(384, static_cast<int>(scene.pictureTop), 256, 384, showState.tarvok1Texture, scene.pictureAlpha);
}

void drawSwarmFrame(SwarmScene& scene, SceneFrame& frame)
{
    const SwarmRun run = currentRun();
    if (run.pulsingBackground)
        drawPulsingBackground(scene);
    drawSwarm(scene, run, frame);
    takeTimedStep(scene, frame);
    beginOverlay();
    drawScreenFade(run.veilAlpha);
    writeTextPage(run.caption, 0, static_cast<int>(scene.typed));
    drawRisingPicture(scene, frame.delta());
    if (frame.elapsed() >= CLOSING_FADE_START && scene.endFade < 1.0f)
        scene.endFade += 0.01f * frame.delta();
    drawScreenFade(scene.endFade);
}

} // namespace

void runSwarmScene()
{
    SwarmScene scene;
    placeCopies(scene);
    runSceneLoop({DURATION, D3DCLEAR_ZBUFFER, TRUE, nullptr}, [] { ++showState.swarmRunCount; },
                 [&scene](SceneFrame& frame) { drawSwarmFrame(scene, frame); });
}
