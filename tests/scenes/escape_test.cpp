// Escape during any scene ends it without another frame; each later scene then sets
// itself up and flashes exactly one frame, and the show exits with code 1.
#include "show_data.h"
#include "show_recorder.h"

#include <gtest/gtest.h>

TEST(EscapeKey, EndsTheRunningSceneAndEveryLaterSceneFlashesOneFrame)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    // The scene running when Escape arrives and the present after which it is pressed; at 60
    // frames a second the scenes start at frames 1, 481, 1921, 2791 and 6451.
    for (const auto& [scene, afterFrame] : {std::pair(1, 100u), {2, 500u}, {3, 1930u}, {4, 2800u}}) {
        SCOPED_TRACE("Escape in scene " + std::to_string(scene));
        ShowHarness harness(60.0);
        ShowRecorder recorder(harness);
        harness.atFrame(afterFrame, [] { win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0); });
        EXPECT_EQ(harness.runShow(), 1);
        EXPECT_EQ(harness.presents(), afterFrame + (5 - scene));

        const std::vector<RecordedFrame>& frames = recorder.frames();
        ASSERT_EQ(frames.size(), harness.presents());
        // The scene that met Escape drew no frame after it.
        EXPECT_EQ(frames[afterFrame - 1].scene, scene);
        for (int later = scene + 1; later <= 5; ++later) {
            const auto flash = framesOfScene(frames, later);
            ASSERT_EQ(flash.size(), 1u) << "scene " << later;
            // Its set-up and first step only: drawn at once, nothing typed yet.
            EXPECT_EQ(std::tuple(flash[0]->elapsed, flash[0]->glyphs.empty(), flash[0]->quads.empty(), flash[0]->meshes.size()),
                      std::tuple(0u, true, false, later == 3 || later == 5 ? 0u : 1u))
                << "scene " << later;
        }
    }
}
