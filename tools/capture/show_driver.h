// Runs the show's own WinMain on the headless platform, on the virtual clock, one
// frame period per Present, and hands every presented frame over together with the
// music that plays while it is on screen.
#pragma once

#include "frame_timing.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// One frame as the show presented it, with the stereo samples of its display time.
struct PresentedFrame {
    int64_t index = 0;       // 0-based count of Presents
    int64_t timeMicros = 0;  // virtual time of the Present
    const uint8_t* pixels = nullptr; // X8R8G8B8 rows, valid during the call only
    int width = 0, height = 0, pitchBytes = 0;
    const int16_t* audio = nullptr; // interleaved stereo, from this frame's time to the next's
    size_t audioFrames = 0;
};

struct ShowRunResult {
    int exitCode = 0;              // what WinMain returned
    int64_t framesPresented = 0;
    int64_t framesHandedOver = 0;
    bool stoppedEarly = false;     // the frame handler asked to stop
};

// Called for each frame until it returns false; then the show is ended the way a
// viewer ends it (Escape) and the frames it still draws are neither handed over nor
// given music. `timing` decides the frame rate and the music's sample rate.
using FrameHandler = std::function<bool(const PresentedFrame&)>;
ShowRunResult runShowHeadless(const FrameTiming& timing, const FrameHandler& onFrame);

// The sample rate the show opens its sound output with.
constexpr int64_t SHOW_SAMPLE_RATE = 44100;
// Length of the uninterrupted show: 8 + 24 + 14.5 + 61 + 14.5 seconds of scenes.
constexpr int64_t SHOW_LENGTH_MICROS = 122'000'000;
