// The capture tool's arithmetic and command line, without running the show: where
// frames and samples fall in time, which options are accepted, how frames are enlarged.
#include "capture_options.h"
#include "frame_timing.h"
#include "media_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

bool parses(const std::vector<std::string>& args, CaptureOptions& options)
{
    std::string error;
    const bool ok = parseCaptureOptions(args, options, error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
}

std::string refusal(const std::vector<std::string>& args)
{
    CaptureOptions options;
    std::string error;
    EXPECT_FALSE(parseCaptureOptions(args, options, error));
    return error;
}

} // namespace

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
    EXPECT_EQ(FrameTiming{}.samplesOf(0), 735);
}

TEST(CaptureTiming, RangesAndStillsFollowVideoTime)
{
    const FrameTiming timing{60, 44100};
    EXPECT_EQ(timing.firstFrameFrom(0), 0);
    EXPECT_EQ(timing.firstFrameFrom(1), 1);
    EXPECT_EQ(timing.firstFrameFrom(1'000'000), 60);
    EXPECT_EQ(timing.firstFrameFrom(1'000'001), 61);
    // Frame 1 is on screen from 1/60 s = 16666.67 µs on.
    EXPECT_EQ(timing.frameShownAt(0), 0);
    EXPECT_EQ(timing.frameShownAt(16'666), 0);
    EXPECT_EQ(timing.frameShownAt(16'667), 1);
    EXPECT_EQ(timing.frameShownAt(122'000'000), 7320);
    EXPECT_EQ(timing.frameShownAt(121'999'999), 7319);
}

TEST(CaptureOptions, DefaultsAndEveryOption)
{
    CaptureOptions o;
    ASSERT_TRUE(parses({"show.mp4"}, o));
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.scale, 1);
    EXPECT_FALSE(o.lossless);
    EXPECT_FALSE(o.nullOutput);
    EXPECT_EQ(o.fromMicros, 0);
    EXPECT_FALSE(o.toMicros);
    EXPECT_TRUE(o.stillMicros.empty());
    EXPECT_EQ(o.output, "show.mp4");

    ASSERT_TRUE(parses({"--fps", "30", "--scale=3", "--lossless", "--from", "1.5", "--to=61.25", "--png-at",
                        "2,10.5,0.001", "out/Show.MKV"},
                       o));
    EXPECT_EQ(o.fps, 30);
    EXPECT_EQ(o.scale, 3);
    EXPECT_TRUE(o.lossless);
    EXPECT_EQ(o.fromMicros, 1'500'000);
    EXPECT_EQ(o.toMicros, 61'250'000);
    EXPECT_EQ(o.stillMicros, (std::vector<int64_t>{2'000'000, 10'500'000, 1'000}));
    EXPECT_EQ(o.output, "out/Show.MKV");

    ASSERT_TRUE(parses({"--null", "--to", "2"}, o));
    EXPECT_TRUE(o.nullOutput);
    ASSERT_TRUE(parses({"--help"}, o));
    EXPECT_TRUE(o.help);
}

TEST(CaptureOptions, MistakesAreRefusedWithAReason)
{
    EXPECT_EQ(refusal({"--frobnicate", "x.mp4"}), "unknown option --frobnicate");
    EXPECT_NE(refusal({}).find("no OUTPUT"), std::string::npos);
    EXPECT_NE(refusal({"--null", "x.mp4"}).find("not both"), std::string::npos);
    EXPECT_NE(refusal({"a.mp4", "b.mp4"}).find("only one OUTPUT"), std::string::npos);
    EXPECT_NE(refusal({"--fps", "0", "x.mp4"}).find("--fps"), std::string::npos);
    EXPECT_NE(refusal({"--fps", "60x", "x.mp4"}).find("--fps"), std::string::npos);
    EXPECT_NE(refusal({"--scale", "9", "x.mp4"}).find("--scale"), std::string::npos);
    EXPECT_NE(refusal({"x.mp4", "--fps"}).find("needs a value"), std::string::npos);
    EXPECT_NE(refusal({"--from", "-1", "x.mp4"}).find("--from"), std::string::npos);
    EXPECT_NE(refusal({"--from", "5", "--to", "5", "x.mp4"}).find("later than --from"), std::string::npos);
    EXPECT_NE(refusal({"--to", "5", "--png-at", "1,5", "x.mp4"}).find("not before --to"), std::string::npos);
    EXPECT_NE(refusal({"--png-at", "1,,2", "x.mp4"}).find("--png-at"), std::string::npos);
    EXPECT_NE(refusal({"x.mkv"}).find("end in .mp4"), std::string::npos);
    EXPECT_NE(refusal({"--lossless", "x.mp4"}).find("end in .mkv"), std::string::npos);
}

TEST(CaptureOptions, SecondsAreReadExactlyAndNamedBack)
{
    EXPECT_EQ(parseSeconds("61.25"), 61'250'000);
    EXPECT_EQ(parseSeconds(".5"), 500'000);
    EXPECT_EQ(parseSeconds("7."), 7'000'000);
    EXPECT_EQ(parseSeconds("0.000001"), 1);
    for (const char* bad : {"", ".", "-1", "+1", "1e3", "0.0000001", "1,5", " 1", "inf", "1.2.3"})
        EXPECT_FALSE(parseSeconds(bad)) << bad;
    EXPECT_EQ(formatSeconds(5'000'000), "5.000");
    EXPECT_EQ(formatSeconds(61'250'000), "61.250");
    EXPECT_EQ(formatSeconds(1'500), "0.001500");
}

TEST(CaptureScaling, EachPixelBecomesAScaleByScaleBlock)
{
    // 3x2 source with a padded pitch; every output pixel comes from (x / 3, y / 3).
    const int width = 3, height = 2, pitch = 16, scale = 3, outPitch = width * scale * 4 + 8;
    std::vector<uint32_t> source(pitch / 4 * height, 0xDEADBEEF);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            source[y * pitch / 4 + x] = 0xFF000000u | (y << 8) | x;
    std::vector<uint32_t> out(outPitch / 4 * height * scale, 0x12345678);
    upscaleNearest(reinterpret_cast<const uint8_t*>(source.data()), width, height, pitch, scale,
                   reinterpret_cast<uint8_t*>(out.data()), outPitch);
    for (int y = 0; y < height * scale; ++y) {
        for (int x = 0; x < width * scale; ++x)
            ASSERT_EQ(out[y * outPitch / 4 + x], 0xFF000000u | ((y / scale) << 8) | (x / scale)) << x << "," << y;
        EXPECT_EQ(out[y * outPitch / 4 + width * scale], 0x12345678u) << "row padding written at row " << y;
    }
}
