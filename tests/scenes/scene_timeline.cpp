#include "scene_timeline.h"
#include "draw.h"

#include <cmath>
#include <map>

const ShowRun& fullShowAt(double framesPerSecond)
{
    static std::map<double, ShowRun> runs;
    auto found = runs.find(framesPerSecond);
    if (found != runs.end())
        return found->second;

    ShowRun& run = runs[framesPerSecond];
    run.framesPerSecond = framesPerSecond;
    ShowHarness harness(framesPerSecond);
    // Only the golden run needs pixels; the others follow the timeline through the calls.
    harness.drawPixels(framesPerSecond == GOLDEN_FRAMES_PER_SECOND);
    ShowRecorder recorder(harness);
    if (framesPerSecond == GOLDEN_FRAMES_PER_SECOND)
        for (const GoldenMoment& moment : GOLDEN_MOMENTS)
            recorder.captureAt(moment);
    run.exitCode = harness.runShow();
    run.frames = recorder.frames();
    run.captures = recorder.captures();
    return run;
}

double frameDelta(int k, double framesPerSecond)
{
    return k <= 1 ? 1.0 : 100.0 / framesPerSecond;
}

std::string glyphsOf(const char* text, unsigned count)
{
    std::string glyphs;
    for (unsigned i = 0; i < count; ++i)
        if (glyphIndex(static_cast<unsigned char>(text[i])) >= 0)
            glyphs += text[i];
    return glyphs;
}

double fieldOfViewDegrees(const std::array<float, 16>& projection)
{
    return 2.0 * std::atan(1.0 / projection[5]) * 180.0 / M_PI;
}
