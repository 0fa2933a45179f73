// Escape during any scene ends it without another frame; each later scene then sets
// itself up and flashes exactly one frame, and the show exits with code 1.
#include "scene_timeline.h"
#include "show_data.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct EscapeCase {
    int scene;            // the scene running when Escape arrives
    uint64_t afterFrame;  // the present after which it is pressed (60 frames a second)
};

// At 60 frames a second the scenes start at frames 1, 481, 1921, 2791 and 6451.
const EscapeCase CASES[] = {{1, 100}, {2, 500}, {3, 1930}, {4, 2800}};

// The one frame each later scene flashes: its set-up and first step only.
struct Flash {
    const char* model; // nullptr: the swarm has no copy before its first 300 ms step
    std::vector<std::string> quads;
    double fieldOfView; // 0: not checked
};
const std::map<int, Flash> FLASHES = {
    {2, {"obuMesh", {"fadeTexture"}, 140.0 - 0.15}},
    {3, {nullptr, {"fadeTexture", "tarvok1Texture", "fadeTexture"}, 0.0}},
    {4, {"obuMesh", {"tarvok2Texture", "fadeTexture"}, 95.0}},
    {5, {nullptr, {"envi02Texture", "fadeTexture", "tarvok1Texture", "fadeTexture"}, 0.0}},
};

void expectFlashOf(int scene, const RecordedFrame& frame)
{
    SCOPED_TRACE("flash of scene " + std::to_string(scene));
    const Flash& flash = FLASHES.at(scene);
    EXPECT_EQ(frame.frameInScene, 1);
    EXPECT_EQ(frame.elapsed, 0u);
    EXPECT_TRUE(frame.glyphs.empty());
    EXPECT_EQ(frame.quads, flash.quads);
    EXPECT_EQ(frame.clearFlags, flash.model ? 3u : 2u) << "the swarm keeps its trails";
    EXPECT_EQ(frame.meshes.size(), flash.model ? 1u : 0u);
    if (flash.model && !frame.meshes.empty()) {
        EXPECT_EQ(frame.meshes[0].model, flash.model);
    }
    if (flash.fieldOfView != 0.0) {
        EXPECT_NEAR(fieldOfViewDegrees(frame.projection), flash.fieldOfView, 1e-3);
    } else {
        EXPECT_EQ(frame.swarmRunCount, scene == 3 ? 1 : 2);
    }
}

} // namespace

TEST(EscapeKey, EndsTheRunningSceneAndEveryLaterSceneFlashesOneFrame)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    for (const EscapeCase& escape : CASES) {
        SCOPED_TRACE("Escape in scene " + std::to_string(escape.scene));
        ShowHarness harness(60.0);
        ShowRecorder recorder(harness);
        harness.atFrame(escape.afterFrame, [] { win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0); });
        EXPECT_EQ(harness.runShow(), 1);
        EXPECT_EQ(harness.presents(), escape.afterFrame + (5 - escape.scene));

        const std::vector<RecordedFrame>& frames = recorder.frames();
        ASSERT_EQ(frames.size(), harness.presents());
        // The scene that met Escape drew no frame after it.
        EXPECT_EQ(frames[escape.afterFrame - 1].scene, escape.scene);
        for (int later = escape.scene + 1; later <= 5; ++later) {
            const auto flash = framesOfScene(frames, later);
            ASSERT_EQ(flash.size(), 1u) << "scene " << later;
            expectFlashOf(later, *flash[0]);
        }
    }
}
