// The show's core: the one global record, the display presets, the frame clock and
// the scene loop skeleton, and the matrix arithmetic every transform is built with.
//
// Everything runs on one thread. Every field of ShowState names the part of the show
// that writes it; everyone else only reads.
#pragma once

#include <windows.h>
#include <d3d8.h>
#include <bass.h>

#include <array>
#include <cstdint>
#include <functional>

struct Mesh;

// ---------------------------------------------------------------------------------
// Shared types
// ---------------------------------------------------------------------------------

// Row-major 4x4 float matrix, laid out as the device's own; row vectors multiply on
// the left, translation lives in the fourth row, left-handed, radians.
typedef D3DMATRIX Matrix;
typedef D3DVECTOR Vector3;

// One corner of a screen rectangle: pixel x and y, z always 1.0, ARGB diffuse, u, v.
struct OverlayVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(OverlayVertex) == 24);

constexpr DWORD OVERLAY_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x142
constexpr int GLYPH_COUNT = 42;

// The font: glyph textures for a..z, 0..9, then ! . / : - , in that order.
typedef std::array<IDirect3DTexture8*, GLYPH_COUNT> GlyphSet;

// ---------------------------------------------------------------------------------
// The global record
// ---------------------------------------------------------------------------------

struct ShowState {
    // Entry and window (written by WinMain and windowProc).
    HWND window = nullptr;
    HINSTANCE instance = nullptr;
    uint8_t runningFlag = 0; // 1 from the first statement; cleared once by Escape, a left click or a close
    Matrix view{};           // built once at start
    Matrix projection{};     // rebuilt in place by the intro, swarm and closing scenes
    HMUSIC music = 0;

    // Display (written by createDisplay, released by releaseAll).
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    IDirect3DVertexBuffer8* quadBuffer = nullptr;
    OverlayVertex quadVertices[4] = {
        {0, 0, 1.0f, 0xFFFFFFFF, 0, 0},
        {0, 0, 1.0f, 0xFFFFFFFF, 1, 0},
        {0, 0, 1.0f, 0xFFFFFFFF, 1, 1},
        {0, 0, 1.0f, 0xFFFFFFFF, 0, 1},
    };

    // Asset set (written by loadAssets, released by releaseAssets; null when a file failed).
    IDirect3DTexture8* texture01 = nullptr;
    IDirect3DTexture8* texture02 = nullptr;
    IDirect3DTexture8* texture05 = nullptr;
    IDirect3DTexture8* texture06 = nullptr;
    IDirect3DTexture8* texture07 = nullptr;
    IDirect3DTexture8* logoTexture = nullptr;
    IDirect3DTexture8* envi01Texture = nullptr;
    IDirect3DTexture8* envi02Texture = nullptr;
    IDirect3DTexture8* tarvok1Texture = nullptr;
    IDirect3DTexture8* tarvok2Texture = nullptr;
    IDirect3DTexture8* fadeTexture = nullptr;
    GlyphSet glyphs{};
    Mesh* knoduMesh = nullptr;
    Mesh* thingyMesh = nullptr;
    Mesh* obuMesh = nullptr;
    Mesh* glimmoraMesh = nullptr;

    // Counted up on every entry of the swarm scene; tells its two runs apart.
    int32_t swarmRunCount = 0;
};

extern ShowState showState;

// Puts the global record back to its program-start contents (tests run many shows).
void resetShowState();

// ---------------------------------------------------------------------------------
// Entry (winmain.cpp)
// ---------------------------------------------------------------------------------

// Escape, a left click or a close request end the show; other keys are swallowed.
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------
// Display device and presets (display.cpp)
// ---------------------------------------------------------------------------------

// Creates direct3d, device (six attempts) and quadBuffer; false when no device could be made.
bool createDisplay();
// Releases the asset set, quadBuffer, device and direct3d, in that order.
void releaseAll();
// On: pixel-space orthographic transforms. Off: the camera's view and projection again.
void setOverlayMode(bool on);
void setCullMode(DWORD mode);
void setDepthTest(bool on);
// Classic source-alpha blending factors and alpha modulation in stage 0 (blending stays as it was).
void useAlphaBlend();
// Source + destination x source alpha (blending stays as it was).
void useOneSrcAlphaBlend();
void presentFrame();

// ---------------------------------------------------------------------------------
// Frame clock and scene loop (frame_loop.cpp)
// ---------------------------------------------------------------------------------

// Performance-counter clock; after tick(), delta is the last frame in 1/scale seconds,
// never zero or negative.
struct FrameClock {
    float scale = 1.0f;
    int64_t frequency = 1;
    int64_t lastCount = 0;
    float delta = 1.0f;

    void start(float newScale);
    void tick();
};

// What distinguishes one scene's loop from another's.
struct SceneSettings {
    DWORD duration;          // milliseconds of GetTickCount
    DWORD clearFlags;        // D3DCLEAR_* for the clear at the top of each frame
    BOOL normalizeNormals;   // D3DRS_NORMALIZENORMALS for the whole scene
    float* sceneTime;        // advanced by delta x 0.001 after each frame, or null
};

// Per-frame view of the running loop for a scene's body.
struct SceneFrame {
    FrameClock clock;
    DWORD sceneStart = 0;
    DWORD stepTick = 0; // GetTickCount of the scene's last timed step (typing, a new copy); starts at sceneStart
    float delta() const { return clock.delta; }
    DWORD elapsed() const { return GetTickCount() - sceneStart; } // unsigned: survives the wrap
};

// The loop every scene runs: stage states, an optional scene-specific step, clock start,
// then pump / tick / clear / body / end-of-frame states / present until the duration
// is up or runningFlag is clear; returns at once when the pump meets WM_QUIT.
void runSceneLoop(const SceneSettings& settings, const std::function<void()>& beforeClock,
                  const std::function<void(SceneFrame&)>& body);

// ---------------------------------------------------------------------------------
// Matrix and vector math (math.cpp). Output first; each returns its output.
// ---------------------------------------------------------------------------------

Matrix* matrixIdentity(Matrix* out);
Matrix* matrixMultiply(Matrix* out, const Matrix* a, const Matrix* b);
Matrix* matrixTranslation(Matrix* out, float x, float y, float z);
Matrix* matrixRotationX(Matrix* out, float angle);
Matrix* matrixRotationY(Matrix* out, float angle);
Matrix* matrixRotationZ(Matrix* out, float angle);
Matrix* matrixLookAtLH(Matrix* out, const Vector3* eye, const Vector3* at, const Vector3* up);
Matrix* matrixPerspectiveFovLH(Matrix* out, float fovY, float aspect, float zn, float zf);
Matrix* matrixOrthoOffCenterLH(Matrix* out, float l, float r, float b, float t, float zn, float zf);
Vector3* vec3Normalize(Vector3* out, const Vector3* v);
