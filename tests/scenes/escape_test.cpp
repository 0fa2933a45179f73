// Escape during any scene ends it without another frame; each later scene then sets
// itself up and flashes exactly one frame, and the show exits with code 1.
#include "show_data.h"
#include "show_recorder.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
    int scene;            // the scene running when Escape arrives
    uint64_t afterFrame;  // the present after which it is pressed (60 frames a second)
};

// At 60 frames a second the scenes start at frames 1, 481, 1921, 2791 and 6451.
const EscapeCase CASES[] = {{1, 100}, {2, 500}, {3, 1930}, {4, 2800}};

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
            // Its set-up and first step only: drawn at once, nothing typed yet.
            EXPECT_EQ(flash[0]->elapsed, 0u) << "scene " << later;
            EXPECT_TRUE(flash[0]->glyphs.empty()) << "scene " << later;
            EXPECT_FALSE(flash[0]->quads.empty()) << "scene " << later;
            EXPECT_EQ(flash[0]->meshes.size(), later == 3 || later == 5 ? 0u : 1u) << "scene " << later;
        }
    }
}
