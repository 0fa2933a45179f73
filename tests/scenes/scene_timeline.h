// Whole-show runs for the scene tests: the show played once per frame rate with the
// data set, every frame summarised, the golden moments kept as images at
// GOLDEN_FRAMES_PER_SECOND; and the timeline arithmetic the tests compare the frames with.
#pragma once

#include "golden_moments.h"
#include "show_recorder.h"

#include <string>
#include <vector>

struct ShowRun {
    double framesPerSecond = 0;
    int exitCode = -1;
    std::vector<RecordedFrame> frames;
    std::map<std::string, RgbImage> captures;

    std::vector<const RecordedFrame*> scene(int position) const { return framesOfScene(frames, position); }
    double periodMs() const { return 1000.0 / framesPerSecond; }
};

// The uninterrupted show at a steady frame rate, played once per process and rate.
// Needs the data set to be current.
const ShowRun& fullShowAt(double framesPerSecond);

// Frame time in hundredths of a second of the scene's k-th frame (1-based), as its
// FrameClock measures it: the first tick follows the clock's start at once and reads 1.0.
double frameDelta(int k, double framesPerSecond);

// The characters that draw a glyph among the first count characters of text.
std::string glyphsOf(const char* text, unsigned count);

// A discrete step due when interval milliseconds have passed since the previous one,
// the first counted from the scene's start; at most one per frame.
struct TimedSteps {
    DWORD interval;
    DWORD last = 0;
    bool due(DWORD elapsed)
    {
        if (elapsed - last < interval)
            return false;
        last = elapsed;
        return true;
    }
};

// The vertical field of view, in degrees, of a perspective projection.
double fieldOfViewDegrees(const std::array<float, 16>& projection);
