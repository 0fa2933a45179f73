// Watches a headless show frame by frame and keeps, for every presented frame, what
// the scenes drew: which scene it belongs to and at what scene time, the models drawn
// with their world transforms, the rectangles with their textures, the
// glyphs as text. The device's call record is summarised and emptied at each present,
// so a whole show stays small in memory.
#pragma once

#include "show_harness.h"
#include "golden_image.h"
#include "golden_moments.h"

#include <array>
#include <map>
#include <string>
#include <vector>

struct RecordedMesh {
    std::string model;              // the ShowState field whose counts match ("obuMesh"), or "?"
    std::array<float, 16> world{};  // row by row, as the device received it
};

struct RecordedFrame {
    int scene = 0;           // position in the show's sequence: 1 title, 2 intro, 3 swarm, 4 closing, 5 swarm
    int frameInScene = 0;    // counted from 1
    DWORD elapsed = 0;       // GetTickCount during the frame minus the scene's start
    DWORD clearFlags = 0;
    bool normalizeNormals = false;
    std::vector<RecordedMesh> meshes;
    std::vector<std::string> quads;        // the texture name of each rectangle, in drawing order
    std::string glyphs;                    // the characters of the glyph rectangles, in drawing order
    std::array<float, 16> projection{};    // the last perspective projection the device received
    DWORD lastQuadDiffuse = 0;             // diffuse of the frame's last rectangle
    int swarmRunCount = 0;
};

// The frames of one scene of the sequence (1 to 5).
std::vector<const RecordedFrame*> framesOfScene(const std::vector<RecordedFrame>& frames, int position);

class ShowRecorder {
public:
    explicit ShowRecorder(ShowHarness& harness);

    const std::vector<RecordedFrame>& frames() const { return recorded; }

    // Keeps, under the moment's name, the image of the first frame of its scene at or after its time.
    void captureAt(const GoldenMoment& moment) { pendingCaptures.push_back(moment); }
    const std::map<std::string, RgbImage>& captures() const { return captured; }

private:
    void nameResources();
    void summarise(const std::vector<std::string>& calls);
    void captureIfDue(const d3d8host::FrameView& view);

    std::vector<GoldenMoment> pendingCaptures;
    std::map<std::string, RgbImage> captured;

    std::map<std::string, std::string> textureNames; // device label -> field name or "glyph:c"
    std::map<std::pair<int, int>, std::string> meshNames; // vertex and triangle counts -> field name
    std::vector<RecordedFrame> recorded;
    int currentScene = 0;
    int frameInScene = 0;
    DWORD sceneStart = 0;
    // Device state carried from frame to frame, as the device keeps it.
    std::string texture0 = "null"; // a ShowState field's name ("texture06"), "null", or a label
    std::array<float, 16> world{};
    std::array<float, 16> projection{};
};
