// The whole show headless on the virtual clock at steady frame rates: every scene's
// length, settings and timeline events, read from the device calls of each frame.
// Motion and fades must follow the frame time, typed text its millisecond steps,
// whatever the frame rate.
#include "scene_timeline.h"
#include "scenes.h"
#include "assets.h"
#include "show_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct SceneLoopSettings {
    DWORD duration;
    DWORD clearFlags;
    bool normalizeNormals;
};
const SceneLoopSettings SEQUENCE[5] = {
    {8000, 3, false}, {24000, 3, false}, {14500, 2, true}, {61000, 3, true}, {14500, 2, true},
};

// An opacity byte as drawFadedQuad makes it.
int alphaByte(double value)
{
    return static_cast<int>(std::clamp(value, 0.0, 1.0) * 255.0);
}

// The opacity bytes may differ by rounding of the accumulated frame times.
constexpr int ALPHA_SLACK = 2;

void checkScenesRunTheirDurationsWithTheirClearAndNormalSettings(const ShowRun& run)
{
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.frames.back().scene, 5);
    for (int position = 1; position <= 5; ++position) {
        const auto frames = run.scene(position);
        const SceneLoopSettings& settings = SEQUENCE[position - 1];
        ASSERT_FALSE(frames.empty()) << "scene " << position;
        // The loop ends after the first frame that brings the scene time to its duration.
        const double expectedFrames = std::ceil(settings.duration / run.periodMs() - 1e-9);
        EXPECT_NEAR(static_cast<double>(frames.size()), expectedFrames, 1.0) << "scene " << position;
        EXPECT_LT(frames.back()->elapsed, settings.duration) << "scene " << position;
        EXPECT_GE(frames.back()->elapsed + run.periodMs() + 1.0, settings.duration) << "scene " << position;
        for (const RecordedFrame* frame : frames) {
            ASSERT_EQ(frame->clearFlags, settings.clearFlags) << "scene " << position;
            ASSERT_EQ(frame->normalizeNormals, settings.normalizeNormals) << "scene " << position;
        }
    }
}

void checkTitleDrawsTheModelAndTwoCopiesEveryFrame(const ShowRun& run)
{
    for (const RecordedFrame* frame : run.scene(1)) {
        ASSERT_EQ(frame->meshes.size(), 3u) << "frame " << frame->frameInScene;
        for (const RecordedMesh& mesh : frame->meshes) {
            EXPECT_EQ(mesh.texture0, "envi01Texture");
            EXPECT_EQ(mesh.texture1, "texture02");
            EXPECT_EQ(mesh.model, "knoduMesh");
        }
        // The copies stand 0.4 above and 0.4 below the model: the bob is shared.
        const float modelY = frame->meshes[0].world[13];
        EXPECT_NEAR(frame->meshes[1].world[13] - modelY, 0.4f, 1e-4);
        EXPECT_NEAR(frame->meshes[2].world[13] - modelY, -0.4f, 1e-4);
        ASSERT_GE(frame->quads.size(), 2u);
        EXPECT_EQ(frame->quads.front(), "logoTexture");
        EXPECT_EQ(frame->quads.back(), "fadeTexture");
    }
}

void checkTitleFadesInShowsTheLogoTypesTheTitleAndFadesOut(const ShowRun& run)
{
    const auto frames = run.scene(1);
    int firstTyped = 0;
    int firstClosing = 0;
    for (const RecordedFrame* frame : frames) {
        const int k = frame->frameInScene;
        const int drawn = alphaOf(frame->lastQuadDiffuse);
        if (frame->elapsed < 5500) {
            const double expected = 1.0 - 0.01 * deltaSum(1, k - 1, run.framesPerSecond);
            EXPECT_NEAR(drawn, alphaByte(expected), ALPHA_SLACK) << "opening fade, frame " << k;
        } else {
            if (firstClosing == 0)
                firstClosing = k;
            const double expected = 0.005 * deltaSum(firstClosing, k - 1, run.framesPerSecond);
            EXPECT_NEAR(drawn, alphaByte(expected), ALPHA_SLACK) << "closing fade, frame " << k;
        }
        if (!frame->glyphs.empty() && firstTyped == 0)
            firstTyped = k;
        const unsigned typed = firstTyped == 0 ? 0 : std::min(k - firstTyped + 1, TITLE_LINE_LENGTH);
        EXPECT_EQ(frame->glyphs, glyphsOf(titleDashRule, typed) + glyphsOf(titleLine, typed)) << "frame " << k;
    }
    // One second of fade-in, two of logo, then one character of each line a frame.
    ASSERT_NE(firstTyped, 0);
    EXPECT_NEAR(frames[firstTyped - 1]->elapsed, 3000.0, 2.0 * run.periodMs() + 1.0);
}

void checkIntroFliesInAndZoomsByTheFrameTime(const ShowRun& run)
{
    double previousFov = 140.0;
    double previousY = -1.5, previousZ = -1.5;
    for (const RecordedFrame* frame : run.scene(2)) {
        const double d = frameDelta(frame->frameInScene, run.framesPerSecond);
        const double fov = fieldOfViewDegrees(frame->projection);
        const double expectedFov = previousFov > 95.0 ? previousFov - 0.15 * d : previousFov;
        ASSERT_NEAR(fov, expectedFov, 2e-3) << "frame " << frame->frameInScene;
        previousFov = fov;

        ASSERT_FALSE(frame->meshes.empty());
        const RecordedMesh& model = frame->meshes[0];
        const double extraZ = model.texture0 == "texture05" ? 3.0 : 0.0;
        const double expectedY = previousY < 0.0 ? previousY + 0.005 * d : previousY;
        const double expectedZ = previousZ < 0.0 ? previousZ + 0.005 * d : previousZ;
        ASSERT_NEAR(model.world[13], expectedY, 1e-4) << "frame " << frame->frameInScene;
        ASSERT_NEAR(model.world[14] - extraZ, expectedZ, 1e-4) << "frame " << frame->frameInScene;
        previousY = model.world[13];
        previousZ = model.world[14] - extraZ;
    }
    // Both stop at the first value past their bound, by less than one frame's step.
    EXPECT_LE(previousFov, 95.0);
    EXPECT_GT(previousFov, 95.0 - 0.15 * 100.0 / run.framesPerSecond - 1e-3);
    EXPECT_GE(previousZ, 0.0);
    EXPECT_LT(previousZ, 0.005 * 100.0 / run.framesPerSecond + 1e-4);
}

void checkIntroSecondModelFrom7000To7999AndPhotographFrom12500To12649(const ShowRun& run)
{
    int secondModelFrames = 0, photographFrames = 0;
    for (const RecordedFrame* frame : run.scene(2)) {
        ASSERT_EQ(frame->meshes.size(), 1u);
        const RecordedMesh& model = frame->meshes[0];
        const bool secondModel = frame->elapsed >= 7000 && frame->elapsed < 8000;
        secondModelFrames += secondModel;
        EXPECT_EQ(model.texture0, secondModel ? "texture05" : "texture06") << frame->elapsed << " ms";
        EXPECT_EQ(model.texture1, "texture02");
        EXPECT_EQ(model.model, secondModel ? "thingyMesh" : "obuMesh");

        const bool photograph = frame->elapsed >= 12500 && frame->elapsed < 12650;
        photographFrames += photograph;
        EXPECT_EQ(frame->countQuads("tarvok1Texture"), photograph ? 1u : 0u) << frame->elapsed << " ms";
        if (photograph) {
            EXPECT_EQ(frame->quads.back(), "tarvok1Texture") << "drawn over the fade";
        }
    }
    EXPECT_NEAR(secondModelFrames, 1000.0 / run.periodMs(), 1.0);
    EXPECT_NEAR(photographFrames, 150.0 / run.periodMs(), 1.0);
}

void checkIntroTypesOneCharacterPerSeventyMillisecondsAndFadesFrom23000(const ShowRun& run)
{
    TimedSteps typing{70};
    unsigned typed = 0;
    int fadeStart = 0;
    for (const RecordedFrame* frame : run.scene(2)) {
        const int k = frame->frameInScene;
        if (typing.due(frame->elapsed) && typed < INTRO_TEXT_LENGTH)
            ++typed;
        ASSERT_EQ(frame->glyphs, glyphsOf(introText, typed)) << "frame " << k << ", " << frame->elapsed << " ms";

        if (frame->elapsed >= 23000 && fadeStart == 0)
            fadeStart = k;
        const double fade = fadeStart == 0 ? 0.0 : 0.01 * deltaSum(fadeStart, k - 1, run.framesPerSecond);
        if (frame->quads.back() == "fadeTexture") {
            EXPECT_NEAR(alphaOf(frame->lastQuadDiffuse), alphaByte(fade), ALPHA_SLACK) << "frame " << k;
        }
    }
}

// Undoes the swarm's turn to find the place a copy was put at: the copy's world is
// RotX(a)RotY(b)RotZ(c) T(p) RotX(-a)RotY(-b)RotZ(-c) T(0, 0, distance), so its
// fourth row is p RotX(-a)RotY(-b)RotZ(-c) + (0, 0, distance).
Vector3 copyPlace(const RecordedMesh& copy, double ax, double ay, double az, double distance)
{
    // Row vector times the transposed (inverse) rotations, last factor first.
    double v[3] = {copy.world[12], copy.world[13], copy.world[14] - distance};
    auto rotate = [&v](int i, int j, double angle) { // v times the rotation by angle in the (i, j) plane
        const double c = std::cos(angle), s = std::sin(angle);
        const double a = v[i] * c - v[j] * s, b = v[i] * s + v[j] * c;
        v[i] = a;
        v[j] = b;
    };
    // p R2 = r  =>  p = r R2^T = r RotZ(-c)^T RotY(-b)^T RotX(-a)^T.
    rotate(0, 1, az);   // RotZ(-c)^T = RotZ(c)
    rotate(2, 0, ay);   // RotY(-b)^T = RotY(b)
    rotate(1, 2, ax);   // RotX(-a)^T = RotX(a)
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

void expectPlace(const Vector3& actual, float x, float y, float z, const char* what)
{
    EXPECT_NEAR(actual.x, x, 2e-3) << what;
    EXPECT_NEAR(actual.y, y, 2e-3) << what;
    EXPECT_NEAR(actual.z, z, 2e-3) << what;
}

void checkSwarmAddsACopyEvery300msAndTypesItsCaptionFrom2600(const ShowRun& run)
{
    for (int position : {3, 5}) {
        TimedSteps steps{300};
        int copies = 0;
        unsigned typed = 0;
        const char* caption = position == 3 ? swarmCaption1 : swarmCaption2;
        for (const RecordedFrame* frame : run.scene(position)) {
            // The step comes after the copies are drawn, so it shows in the next frame.
            ASSERT_EQ(static_cast<int>(frame->meshes.size()), copies) << "scene " << position << ", " << frame->elapsed;
            if (steps.due(frame->elapsed)) {
                if (copies < 45)
                    ++copies;
                if (frame->elapsed >= 2600 && typed < SWARM_CAPTION_LENGTH)
                    ++typed;
            }
            ASSERT_EQ(frame->glyphs, glyphsOf(caption, typed)) << "scene " << position << ", " << frame->elapsed;
        }
        EXPECT_EQ(typed, SWARM_CAPTION_LENGTH);
    }
}

void checkSwarmRunsDifferInTexturesBackgroundVeilAndCaption(const ShowRun& run)
{
    for (int position : {3, 5}) {
        const bool first = position == 3;
        for (const RecordedFrame* frame : run.scene(position)) {
            EXPECT_EQ(frame->swarmRunCount, first ? 1 : 2);
            for (const RecordedMesh& copy : frame->meshes) {
                EXPECT_EQ(copy.texture0, first ? "texture01" : "texture06");
                EXPECT_EQ(copy.texture1, first ? "texture07" : "envi02Texture");
                EXPECT_EQ(copy.model, "glimmoraMesh");
            }
            // Background (second run only), veil, caption glyphs, picture, end fade.
            std::vector<std::string> expected;
            if (!first)
                expected.push_back("envi02Texture");
            expected.push_back("fadeTexture");
            for (char c : frame->glyphs)
                expected.push_back(std::string("glyph:") + c);
            expected.push_back("tarvok1Texture");
            expected.push_back("fadeTexture");
            ASSERT_EQ(frame->quads, expected) << "scene " << position << ", " << frame->elapsed << " ms";
        }
    }
}

void checkSwarmCopiesStandAtTheGeneratorsPlaces(const ShowRun& run)
{
    struct Expected {
        int position;
        float first[3];
        float second[3];
    };
    // The first run takes the generator's first 135 values, the second the next 135.
    const Expected runs[] = {{3, {-4.959f, 3.467f, 1.334f}, {1.500f, 4.169f, 0.724f}},
                             {5, {-1.570f, -3.893f, -4.809f}, {0, 0, 0}}};
    for (const Expected& expected : runs) {
        for (const RecordedFrame* frame : run.scene(expected.position)) {
            if (frame->meshes.size() < 2 || frame->elapsed >= 12000)
                continue;
            const double spin = deltaSum(1, frame->frameInScene - 1, run.framesPerSecond);
            const Vector3 first = copyPlace(frame->meshes[0], 0.003 * spin, 0.0078 * spin, 0.00676 * spin, 7.0);
            expectPlace(first, expected.first[0], expected.first[1], expected.first[2], "first copy");
            if (expected.position == 3) {
                const Vector3 second = copyPlace(frame->meshes[1], 0.003 * spin, 0.0078 * spin, 0.00676 * spin, 7.0);
                expectPlace(second, expected.second[0], expected.second[1], expected.second[2], "second copy");
            }
            break;
        }
    }
}

void checkSwarmWidensTheViewFrom12000AndFadesOutFrom13500(const ShowRun& run)
{
    for (int position : {3, 5}) {
        double fov = 95.0;
        int fadeStart = 0;
        for (const RecordedFrame* frame : run.scene(position)) {
            const int k = frame->frameInScene;
            if (frame->elapsed >= 12000)
                fov += 0.3 * frameDelta(k, run.framesPerSecond);
            ASSERT_NEAR(fieldOfViewDegrees(frame->projection), fov, 2e-3) << frame->elapsed << " ms";
            // The end fade is raised before it is drawn.
            if (frame->elapsed >= 13500 && fadeStart == 0)
                fadeStart = k;
            const double fade = fadeStart == 0 ? 0.0 : 0.01 * deltaSum(fadeStart, k, run.framesPerSecond);
            ASSERT_NEAR(alphaOf(frame->lastQuadDiffuse), alphaByte(fade), ALPHA_SLACK) << frame->elapsed << " ms";
        }
        EXPECT_NEAR(fov, 170.0, 0.3 * 100.0 / run.framesPerSecond + 1.0);
    }
}

void checkClosingTypesTheGreetingsThenTheClosingPageFrom28000(const ShowRun& run)
{
    TimedSteps steps{70};
    unsigned greetings = 0, closing = 0;
    for (const RecordedFrame* frame : run.scene(4)) {
        if (steps.due(frame->elapsed)) {
            if (greetings < GREETINGS_LENGTH)
                ++greetings;
            if (frame->elapsed >= 28000 && closing < CLOSING_PAGE_LENGTH)
                ++closing;
        }
        const std::string expected =
            frame->elapsed < 28000 ? glyphsOf(greetingsList, greetings) : glyphsOf(closingPage, closing);
        ASSERT_EQ(frame->glyphs, expected) << frame->elapsed << " ms";
        ASSERT_GE(frame->quads.size(), 2u);
        EXPECT_EQ(frame->quads.front(), "tarvok2Texture");
        EXPECT_EQ(frame->quads.back(), "fadeTexture");
    }
}

void checkClosingShowsTheSecondModelFrom25000To29999UnderThe95DegreeCamera(const ShowRun& run)
{
    for (const RecordedFrame* frame : run.scene(4)) {
        ASSERT_EQ(frame->meshes.size(), 1u);
        const RecordedMesh& model = frame->meshes[0];
        const bool second = frame->elapsed >= 25000 && frame->elapsed < 30000;
        EXPECT_EQ(model.model, second ? "thingyMesh" : "obuMesh") << frame->elapsed << " ms";
        EXPECT_EQ(model.texture0, "texture06");
        EXPECT_EQ(model.texture1, "texture02");
        EXPECT_NEAR(model.world[12], -0.1f, 1e-5);
        EXPECT_NEAR(model.world[13], 0.0f, 1e-5);
        EXPECT_NEAR(model.world[14], second ? 3.0f : 0.0f, 1e-5) << frame->elapsed << " ms";
        ASSERT_NEAR(fieldOfViewDegrees(frame->projection), 95.0, 1e-3);
    }
}

void checkClosingFadesOutFrom58000(const ShowRun& run)
{
    int fadeStart = 0;
    for (const RecordedFrame* frame : run.scene(4)) {
        const int k = frame->frameInScene;
        if (frame->elapsed >= 58000 && fadeStart == 0)
            fadeStart = k;
        const double fade = fadeStart == 0 ? 0.0 : 0.005 * deltaSum(fadeStart, k, run.framesPerSecond);
        ASSERT_NEAR(alphaOf(frame->lastQuadDiffuse), alphaByte(fade), ALPHA_SLACK) << frame->elapsed << " ms";
    }
}

void checkGoldenFrames(const ShowRun& run)
{
    ASSERT_EQ(run.captures.size(), GOLDEN_MOMENTS.size());
    for (const GoldenMoment& moment : GOLDEN_MOMENTS)
        EXPECT_TRUE(matchesGolden(run.captures.at(moment.name), moment.name));
}

} // namespace

// One test per frame rate, each playing the whole show once: the scenes' lengths and
// settings, then every scene's timeline; at 60 frames a second also the golden frames.
class WholeShow : public ::testing::TestWithParam<double> {};

TEST_P(WholeShow, EveryScenePlaysItsTimeline)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    const ShowRun& run = fullShowAt(GetParam());
    EXPECT_EQ(run.exitCode, 1);
    const std::pair<const char*, void (*)(const ShowRun&)> checks[] = {
        {"scene lengths and settings", checkScenesRunTheirDurationsWithTheirClearAndNormalSettings},
        {"title: model and copies", checkTitleDrawsTheModelAndTwoCopiesEveryFrame},
        {"title: fades, logo, typing", checkTitleFadesInShowsTheLogoTypesTheTitleAndFadesOut},
        {"intro: fly-in and zoom", checkIntroFliesInAndZoomsByTheFrameTime},
        {"intro: second model and photograph", checkIntroSecondModelFrom7000To7999AndPhotographFrom12500To12649},
        {"intro: typing and fade", checkIntroTypesOneCharacterPerSeventyMillisecondsAndFadesFrom23000},
        {"swarm: copies and caption", checkSwarmAddsACopyEvery300msAndTypesItsCaptionFrom2600},
        {"swarm: the two runs", checkSwarmRunsDifferInTexturesBackgroundVeilAndCaption},
        {"swarm: places of the copies", checkSwarmCopiesStandAtTheGeneratorsPlaces},
        {"swarm: widening and fade", checkSwarmWidensTheViewFrom12000AndFadesOutFrom13500},
        {"closing: greetings and closing page", checkClosingTypesTheGreetingsThenTheClosingPageFrom28000},
        {"closing: models and camera", checkClosingShowsTheSecondModelFrom25000To29999UnderThe95DegreeCamera},
        {"closing: fade", checkClosingFadesOutFrom58000},
    };
    for (const auto& [what, check] : checks) {
        SCOPED_TRACE(what);
        check(run);
    }
    if (GetParam() == GOLDEN_FRAMES_PER_SECOND) {
        SCOPED_TRACE("golden frames");
        checkGoldenFrames(run);
    }
}

INSTANTIATE_TEST_SUITE_P(SteadyFrameRates, WholeShow, ::testing::Values(60.0, 30.0, 144.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string(static_cast<int>(info.param)) + "fps";
                         });
