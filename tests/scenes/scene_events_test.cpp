// The whole show headless on the virtual clock at steady frame rates: every scene's
// length, settings and timeline, read from the device calls of each frame. Each scene
// is one table of what every frame shows, what ramps by the frame time and what is
// counted out in millisecond steps. Where things stand within a frame (the swarm's
// places, the title's copies, the text rows) the golden frames show.
#include "draw.h"
#include "scenes.h"
#include "show_data.h"
#include "show_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct ShowRun {
    double framesPerSecond = 0;
    int exitCode = -1;
    std::vector<RecordedFrame> frames;
    std::map<std::string, RgbImage> captures;

    double periodMs() const { return 1000.0 / framesPerSecond; }
};

// The uninterrupted show at a steady frame rate; only the golden rate draws pixels, the
// others follow the timeline through the calls.
ShowRun playShow(double framesPerSecond)
{
    ShowHarness harness(framesPerSecond);
    harness.drawPixels(framesPerSecond == GOLDEN_FRAMES_PER_SECOND);
    ShowRecorder recorder(harness);
    if (framesPerSecond == GOLDEN_FRAMES_PER_SECOND)
        for (const GoldenMoment& moment : GOLDEN_MOMENTS)
            recorder.captureAt(moment);
    // A braced list runs in order: the show first, then what it recorded.
    return {framesPerSecond, harness.runShow(), recorder.frames(), recorder.captures()};
}

// Frame time in hundredths of a second of the scene's k-th frame (1-based), as its
// FrameClock measures it: the first tick follows the clock's start at once and reads 1.0.
double frameDelta(int k, double framesPerSecond) { return k <= 1 ? 1.0 : 100.0 / framesPerSecond; }

// The characters that draw a glyph among the first count characters of text.
std::string glyphsOf(const char* text, unsigned count)
{
    std::string glyphs;
    for (unsigned i = 0; i < count; ++i)
        if (glyphIndex(static_cast<unsigned char>(text[i])) >= 0)
            glyphs += text[i];
    return glyphs;
}

constexpr DWORD NEVER = std::numeric_limits<DWORD>::max();
constexpr double NONE = std::numeric_limits<double>::infinity();

// A value starting at `start` from the first frame at `from`, moved by perCs times the
// frame time in hundredths of a second until it is past `bound`: either before the frame
// draws (stepFirst) or after it.
struct Ramp {
    const char* what;
    double (*read)(const RecordedFrame&); // NaN where the frame does not show it
    DWORD from, until;
    double start, perCs, bound;
    bool stepFirst;
    double tolerance;
};

// Characters typed (or, without a text, swarm copies added) one per step, a step due
// `interval` ms after the previous one and counted from `countFrom`; shown in [shownFrom, shownUntil).
struct Counter {
    const char* text;
    const char* secondLine; // typed alongside, as the title's two lines
    unsigned length;
    DWORD interval; // 0: one a frame, from the first frame that shows one, near countFrom
    DWORD countFrom, shownFrom, shownUntil;
    bool stepFirst;
};

struct SceneTimeline {
    int position;
    DWORD duration, clearFlags;
    bool normalizeNormals;
    void (*everyFrame)(const RecordedFrame&);
    std::vector<Ramp> ramps;
    std::vector<Counter> counters;
};

bool within(const RecordedFrame& f, DWORD from, DWORD until) { return f.elapsed >= from && f.elapsed < until; }

// The screen fade is the last rectangle but while the intro's photograph flashes over it.
double screenFade(const RecordedFrame& f)
{
    return !f.quads.empty() && f.quads.back() == "fadeTexture" ? (f.lastQuadDiffuse >> 24) / 255.0 : NAN;
}
// The vertical field of view of the frame's perspective projection.
double viewDegrees(const RecordedFrame& f) { return 2.0 * std::atan(1.0 / f.projection[5]) * 180.0 / M_PI; }
double modelY(const RecordedFrame& f) { return f.meshes.empty() ? NAN : f.meshes[0].world[13]; }
// The second model stands 3 further back along the same fly-in.
double modelZ(const RecordedFrame& f)
{
    return f.meshes.empty() ? NAN : f.meshes[0].world[14] - (f.meshes[0].model == "thingyMesh" ? 3.0 : 0.0);
}

// Opacity bytes are truncated and differ by the rounding of accumulated frame times.
constexpr double FADE_SLACK = 3.0 / 255.0;

// Which model each frame shows, and when; the textures and the order of the rectangles
// the golden frames show.
void titleFrame(const RecordedFrame& f)
{
    ASSERT_EQ(f.meshes.size(), 3u);
    EXPECT_EQ(f.meshes[0].model, "knoduMesh");
}

// A second model from 7 s to 8 s, a photograph over the fade from 12.5 s for 150 ms.
void introFrame(const RecordedFrame& f)
{
    ASSERT_EQ(f.meshes.size(), 1u);
    EXPECT_EQ(f.meshes[0].model, within(f, 7000, 8000) ? "thingyMesh" : "obuMesh");
    EXPECT_EQ(f.quads.back() == "tarvok1Texture", within(f, 12500, 12650));
}

void swarmFrame(const RecordedFrame& f)
{
    EXPECT_EQ(f.swarmRunCount, f.scene == 3 ? 1 : 2);
    for (const RecordedMesh& copy : f.meshes)
        EXPECT_EQ(copy.model, "glimmoraMesh");
}

// A second model, further back, from 25 s to 30 s.
void closingFrame(const RecordedFrame& f)
{
    ASSERT_EQ(f.meshes.size(), 1u);
    const bool second = within(f, 25000, 30000);
    EXPECT_EQ(f.meshes[0].model, second ? "thingyMesh" : "obuMesh");
    EXPECT_NEAR(f.meshes[0].world[14], second ? 3.0f : 0.0f, 1e-5);
}

SceneTimeline swarm(int position, const char* caption)
{
    return {position, 14500, D3DCLEAR_ZBUFFER, true, swarmFrame,
            {{"view", viewDegrees, 0, 12000, 95.0, 0.0, NONE, true, 2e-3},
             {"view widening", viewDegrees, 12000, NEVER, 95.0, 0.3, NONE, true, 5e-3},
             {"end fade", screenFade, 13500, NEVER, 0.0, 0.01, NONE, true, FADE_SLACK}},
            {{nullptr, nullptr, 45, 300, 0, 0, NEVER, false}, // each copy shows from the frame after its step
             {caption, nullptr, SWARM_CAPTION_LENGTH, 300, 2600, 0, NEVER, true}}};
}

const std::vector<SceneTimeline>& timelines()
{
    static const std::vector<SceneTimeline> scenes = {
        {1, 8000, 3, false, titleFrame,
         {{"opening fade", screenFade, 0, 5500, 1.0, -0.01, 0.0, false, FADE_SLACK},
          {"closing fade", screenFade, 5500, NEVER, 0.0, 0.005, 1.0, false, FADE_SLACK}},
         // One second of fade-in, two of logo, then one character of each line a frame.
         {{titleDashRule, titleLine, TITLE_LINE_LENGTH, 0, 3000, 0, NEVER, true}}},
        {2, 24000, 3, false, introFrame,
         // Fly-in and zoom stop at the first value past their bound.
         {{"zoom", viewDegrees, 0, NEVER, 140.0, -0.15, 95.0, true, 5e-3},
          {"fly-in height", modelY, 0, NEVER, -1.5, 0.005, 0.0, true, 1e-3},
          {"fly-in depth", modelZ, 0, NEVER, -1.5, 0.005, 0.0, true, 1e-3},
          {"no fade", screenFade, 0, 23000, 0.0, 0.0, NONE, false, FADE_SLACK},
          {"closing fade", screenFade, 23000, NEVER, 0.0, 0.01, 1.0, false, FADE_SLACK}},
         {{introText, nullptr, INTRO_TEXT_LENGTH, 70, 0, 0, NEVER, true}}},
        swarm(3, swarmCaption1),
        {4, 61000, 3, true, closingFrame,
         {{"view", viewDegrees, 0, NEVER, 95.0, 0.0, NONE, true, 1e-3},
          {"no fade", screenFade, 0, 58000, 0.0, 0.0, NONE, true, FADE_SLACK},
          {"closing fade", screenFade, 58000, NEVER, 0.0, 0.005, NONE, true, FADE_SLACK}},
         {{greetingsList, nullptr, GREETINGS_LENGTH, 70, 0, 0, 28000, true},
          {closingPage, nullptr, CLOSING_PAGE_LENGTH, 70, 28000, 28000, NEVER, true}}},
        swarm(5, swarmCaption2),
    };
    return scenes;
}

void checkRamp(const Ramp& ramp, const std::vector<const RecordedFrame*>& frames, double framesPerSecond)
{
    SCOPED_TRACE(ramp.what);
    double value = ramp.start;
    auto step = [&](int k) {
        if (!(ramp.perCs > 0 ? value >= ramp.bound : value <= ramp.bound)) // not yet past its bound
            value += ramp.perCs * frameDelta(k, framesPerSecond);
    };
    for (const RecordedFrame* frame : frames) {
        if (frame->elapsed < ramp.from || frame->elapsed >= ramp.until)
            continue;
        if (ramp.stepFirst)
            step(frame->frameInScene);
        const double expected = ramp.read == screenFade ? std::clamp(value, 0.0, 1.0) : value;
        const double shown = ramp.read(*frame);
        ASSERT_TRUE(std::isnan(shown) || std::fabs(shown - expected) <= ramp.tolerance)
            << shown << " where " << expected << " was due at " << frame->elapsed << " ms";
        if (!ramp.stepFirst)
            step(frame->frameInScene);
    }
}

void checkCounter(const Counter& counter, const std::vector<const RecordedFrame*>& frames, double periodMs)
{
    SCOPED_TRACE(counter.text ? counter.text : "swarm copies");
    DWORD countFrom = counter.countFrom;
    if (counter.interval == 0) {
        const auto first = std::find_if(frames.begin(), frames.end(), [](auto f) { return !f->glyphs.empty(); });
        ASSERT_NE(first, frames.end());
        EXPECT_NEAR((*first)->elapsed, counter.countFrom, 2.0 * periodMs + 1.0);
        countFrom = (*first)->elapsed;
    }
    // A step is due when interval ms have passed since the previous one, the first counted
    // from the scene's start; at most one per frame.
    DWORD lastStep = 0;
    unsigned count = 0;
    auto step = [&](DWORD elapsed) {
        if (elapsed - lastStep < counter.interval)
            return;
        lastStep = elapsed;
        if (elapsed >= countFrom && count < counter.length)
            ++count;
    };
    for (const RecordedFrame* frame : frames) {
        if (counter.stepFirst)
            step(frame->elapsed);
        if (frame->elapsed >= counter.shownFrom && frame->elapsed < counter.shownUntil) {
            const std::string second = counter.secondLine ? glyphsOf(counter.secondLine, count) : "";
            if (counter.text == nullptr) {
                ASSERT_EQ(frame->meshes.size(), count) << frame->elapsed << " ms";
            } else {
                ASSERT_EQ(frame->glyphs, glyphsOf(counter.text, count) + second) << frame->elapsed << " ms";
            }
        }
        if (!counter.stepFirst)
            step(frame->elapsed);
    }
}

void checkScene(const SceneTimeline& scene, const ShowRun& run)
{
    SCOPED_TRACE("scene " + std::to_string(scene.position));
    const auto frames = framesOfScene(run.frames, scene.position);
    ASSERT_FALSE(frames.empty());
    // The loop ends after the first frame that brings the scene time to its duration.
    EXPECT_NEAR(static_cast<double>(frames.size()), std::ceil(scene.duration / run.periodMs() - 1e-9), 1.0);
    EXPECT_LT(frames.back()->elapsed, scene.duration);
    EXPECT_GE(frames.back()->elapsed + run.periodMs() + 1.0, scene.duration);
    for (const RecordedFrame* frame : frames) {
        SCOPED_TRACE(std::to_string(frame->elapsed) + " ms");
        ASSERT_EQ(std::pair(frame->clearFlags, frame->normalizeNormals), std::pair(scene.clearFlags, scene.normalizeNormals));
        scene.everyFrame(*frame);
        if (::testing::Test::HasFailure())
            return;
    }
    for (const Ramp& ramp : scene.ramps)
        checkRamp(ramp, frames, run.framesPerSecond);
    for (const Counter& counter : scene.counters)
        checkCounter(counter, frames, run.periodMs());
}

} // namespace

// One test per frame rate, each playing the whole show once; at 60 frames a second
// also the golden frames.
class WholeShow : public ::testing::TestWithParam<double> {};

TEST_P(WholeShow, EveryScenePlaysItsTimeline)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    const ShowRun run = playShow(GetParam());
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.frames.back().scene, 5);
    for (const SceneTimeline& scene : timelines())
        checkScene(scene, run);
    if (GetParam() == GOLDEN_FRAMES_PER_SECOND) {
        ASSERT_EQ(run.captures.size(), GOLDEN_MOMENTS.size());
        for (const GoldenMoment& moment : GOLDEN_MOMENTS)
            EXPECT_TRUE(matchesGolden(run.captures.at(moment.name), moment.name));
    }
}

INSTANTIATE_TEST_SUITE_P(SteadyFrameRates, WholeShow, ::testing::Values(60.0, 30.0, 144.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string(static_cast<int>(info.param)) + "fps";
                         });
