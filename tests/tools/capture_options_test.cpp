// The capture tool's arithmetic and command line, without running the show: where
// frames and samples fall in time, which options are accepted, how frames are enlarged.
#include "capture_options.h"
#include "frame_timing.h"
#include "media_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

TEST(CaptureTiming, PresentsFollowTheHarnessClockAndSamplesNeverDrift)
{
    for (int fps : {24, 25, 30, 50, 60, 144}) {
        const FrameTiming timing{fps, 44100};
        for (int64_t k = 0; k <= 7320; ++k) {
            ASSERT_EQ(timing.presentMicros(k), std::llround(k * 1e6 / fps)) << fps << " fps, frame " << k;
            const int64_t share = timing.samplesOf(k);
            ASSERT_TRUE(share == 44100 / fps || share == 44100 / fps + 1) << fps << " fps, frame " << k;
        }
        // Every whole second of frames starts on its second's first sample, to the end.
        for (int64_t second = 0; second <= 122; ++second)
            ASSERT_EQ(timing.firstSampleOf(fps * second), 44100 * second) << fps << " fps, second " << second;
    }
}

TEST(CaptureTiming, RangesAndStillsFollowVideoTime)
{
    // The capture runs start ranges and take stills on whole frames; here the microseconds around them.
    const FrameTiming timing{60, 44100};
    EXPECT_EQ(std::pair(timing.firstFrameFrom(1), timing.firstFrameFrom(1'000'001)), (std::pair<int64_t, int64_t>(1, 61)));
    // Frame 1 is on screen from 1/60 s = 16666.67 µs on.
    EXPECT_EQ(std::tuple(timing.frameShownAt(16'666), timing.frameShownAt(16'667), timing.frameShownAt(121'999'999)),
              (std::tuple<int64_t, int64_t, int64_t>(0, 1, 7319)));
}

// The defaults and the spaced spelling show in the capture runs' frame counts and sizes; here the
// joined spelling, an upper-case extension and --help.
TEST(CaptureOptions, OptionsAreReadJoinedToTheirValues)
{
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parseCaptureOptions({"--fps=30", "--scale=3", "--lossless", "--from=1.5", "--to=61.25",
                                     "--png-at=2,10.5,0.001", "out/Show.MKV"},
                                    o, error))
        << error;
    EXPECT_EQ(std::tie(o.fps, o.scale, o.lossless, o.fromMicros, o.toMicros, o.output),
              std::tuple(30, 3, true, 1'500'000, 61'250'000, "out/Show.MKV"));
    EXPECT_EQ(o.stillMicros, (std::vector<int64_t>{2'000'000, 10'500'000, 1'000}));
    ASSERT_TRUE(parseCaptureOptions({"--help"}, o, error)) << error;
    EXPECT_TRUE(o.help);
}

TEST(CaptureOptions, MistakesAreRefusedWithAReason)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no OUTPUT"},
        {{"--null", "x.mp4"}, "not both"},
        {{"a.mp4", "b.mp4"}, "only one OUTPUT"},
        {{"--fps", "0", "x.mp4"}, "--fps"},
        {{"--scale", "9", "x.mp4"}, "--scale"},
        {{"x.mp4", "--fps"}, "needs a value"},
        {{"--from", "-1", "x.mp4"}, "--from"},
        {{"--from", "5", "--to", "5", "x.mp4"}, "later than --from"},
        {{"--to", "5", "--png-at", "1,5", "x.mp4"}, "not before --to"},
        {{"--png-at", "1,,2", "x.mp4"}, "--png-at"},
        {{"x.mkv"}, "end in .mp4"},
        {{"--lossless", "x.mp4"}, "end in .mkv"},
    };
    for (const auto& [args, reason] : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parseCaptureOptions(args, options, error)) << reason;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(CaptureOptions, SecondsAreReadExactlyAndNamedBack)
{
    for (const auto& [text, micros] : {std::pair(".5", 500'000), std::pair("7.", 7'000'000), std::pair("0.000001", 1)})
        EXPECT_EQ(parseSeconds(text), micros) << text;
    for (const char* bad : {"", ".", "-1", "+1", "1e3", "0.0000001", "1,5", " 1", "inf", "1.2.3"})
        EXPECT_FALSE(parseSeconds(bad)) << bad;
    EXPECT_EQ(formatSeconds(61'250'000), "61.250");
    EXPECT_EQ(formatSeconds(1'500), "0.001500");
}

TEST(CaptureScaling, EachPixelBecomesAScaleByScaleBlock)
{
    // 3x2 source with a padded pitch; every output pixel comes from (x / 3, y / 3).
    const uint32_t source[] = {1, 2, 3, 0xDEADBEEF, 4, 5, 6, 0xDEADBEEF};
    const int scale = 3, outPitch = 3 * scale * 4 + 8;
    std::vector<uint32_t> out(outPitch / 4 * 2 * scale, 0x12345678);
    upscaleNearest(reinterpret_cast<const uint8_t*>(source), 3, 2, 16, scale, reinterpret_cast<uint8_t*>(out.data()), outPitch);
    for (int y = 0; y < 2 * scale; ++y) {
        for (int x = 0; x < 3 * scale; ++x)
            ASSERT_EQ(out[y * outPitch / 4 + x], source[y / scale * 4 + x / scale]) << x << "," << y;
        EXPECT_EQ(out[y * outPitch / 4 + 3 * scale], 0x12345678u) << "row padding written at row " << y;
    }
}
