// tovira-capture end to end: the show runs headless into real files, which the ffmpeg and
// ffprobe programs then read back, to be compared with what the show presented and with the
// music rendered on its own.
#include "capture.h"
#include "capture_options.h"
#include "frame_timing.h"
#include "golden_image.h"
#include "golden_moments.h"
#include "show_data.h"
#include "show_harness.h"
#include "tool_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// Reading the files back with FFmpeg's own programs.

struct DecodedMedia {
    std::string error;
    std::string videoCodec, audioCodec;
    int width = 0, height = 0;
    std::vector<RgbImage> frames;
    int sampleRate = 0, channels = 0;
    std::vector<int16_t> samples; // interleaved, converted to 16-bit
};

DecodedMedia decodeMedia(const fs::path& path)
{
    DecodedMedia media;
    const std::string rgb = path.string() + ".rgb", pcm = path.string() + ".pcm";
    const auto probe = [&](const char* stream, const char* entries) {
        return commandOutput("ffprobe -v error -select_streams " + std::string(stream) + " -show_entries stream=" +
                             entries + " -of csv=p=0 " + quoted(path.string())).text;
    };
    char video[32] = "", audio[32] = "";
    std::sscanf(probe("v", "codec_name,width,height").c_str(), "%31[^,],%d,%d", video, &media.width, &media.height);
    std::sscanf(probe("a", "codec_name,sample_rate,channels").c_str(), "%31[^,],%d,%d", audio, &media.sampleRate,
                &media.channels);
    media.videoCodec = video;
    media.audioCodec = audio;
    if (media.width <= 0 || media.channels <= 0 ||
        std::system(("ffmpeg -v error -y -i '" + path.string() + "' -map 0:v -fps_mode passthrough -f rawvideo " +
                     "-pix_fmt rgb24 '" + rgb + "' -map 0:a -f s16le '" + pcm + "'")
                        .c_str()) != 0) {
        media.error = "FFmpeg cannot decode a video and an audio stream from " + path.string();
        return media;
    }
    const std::string pixels = readText(rgb), sound = readText(pcm);
    const size_t frameBytes = static_cast<size_t>(media.width) * media.height * 3;
    for (size_t at = 0; at + frameBytes <= pixels.size(); at += frameBytes)
        media.frames.push_back(
            {media.width, media.height, std::vector<uint8_t>(pixels.begin() + at, pixels.begin() + at + frameBytes)});
    media.samples.resize(sound.size() / 2);
    std::memcpy(media.samples.data(), sound.data(), media.samples.size() * 2);
    fs::remove(rgb);
    fs::remove(pcm);
    return media;
}

// Codecs, picture size, sample rate and channels, as ffprobe reports them.
std::tuple<std::string, std::string, int, int, int, int> streams(const DecodedMedia& m)
{
    return {m.videoCodec, m.audioCodec, m.width, m.height, m.sampleRate, m.channels};
}

// What the show presents and plays, taken independently of the capture tool.

// The first `count` frames as the scene tests' harness sees them at 60 per second.
std::vector<RgbImage> harnessFrames(uint64_t count)
{
    std::vector<RgbImage> frames;
    ShowHarness harness(60.0);
    harness.drawPixels(true);
    d3d8host::setCallRecording(false);
    harness.onFrame = [&](const d3d8host::FrameView& view) {
        if (frames.size() < count)
            frames.push_back(imageFromFrame(view.pixels, view.width, view.height, view.pitchBytes));
    };
    harness.atFrame(count, [] { win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0); });
    harness.runShow();
    return frames;
}

// The module played alone through the offline sink from its start, in one piece.
std::vector<int16_t> musicAlone(size_t frames)
{
    basshost::resetForTest();
    std::vector<int16_t> samples(frames * 2);
    BASS_Init(-1, 44100, 16, nullptr);
    const HMUSIC music = BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, BASS_MUSIC_LOOP);
    BASS_Start();
    BASS_MusicPlay(music);
    basshost::renderOffline(samples.data(), frames);
    BASS_Stop();
    BASS_MusicFree(music);
    BASS_Free();
    return samples;
}

// Pixels with a colour channel that differs; all of them when the sizes differ.
int differingPixels(const RgbImage& a, const RgbImage& b)
{
    const ImageComparison comparison = compareImages(a, b, 0);
    return comparison.sameSize ? comparison.pixelsBeyondTolerance : a.width * a.height;
}

RgbImage readStill(const fs::path& path)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(readPng(path.string(), image, error)) << error;
    return image;
}

// The fixture: a capture run in the data set's directory, outputs in the build tree.

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readAll(std::FILE* file)
{
    std::string text(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string whyMissing;
        dataDirectory = showDataDirectory(&whyMissing);
        if (dataDirectory.empty())
            GTEST_SKIP() << whyMissing;
        inData.emplace(dataDirectory);
        outputs = fs::path(TOVIRA_TEST_BINARY_DIR) / "capture_out" /
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(outputs);
        fs::create_directories(outputs);
    }

    Outcome capture(const std::vector<std::string>& args)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = captureMain(args, out, err, false);
        return {status, readAll(out), readAll(err)};
    }

    std::string output(const std::string& name) const { return (outputs / name).string(); }

    // Nothing in the output directory but the listed files: no partial leftovers.
    std::vector<std::string> filesWritten() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(outputs))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dataDirectory, outputs;
    std::optional<InDataDirectory> inData; // back to where the test started when it ends
};

// Show time of a golden moment's frame. The scenes follow one another without a gap on
// the virtual clock, each starting where the one before ran out its duration; the
// scene time is the tick count's whole milliseconds since that start.
int64_t goldenMomentMicros(const GoldenMoment& moment)
{
    const int64_t sceneStarts[] = {0, 8'000'000, 32'000'000, 46'500'000, 107'500'000};
    const FrameTiming timing{60, 44100};
    const int64_t first = timing.firstFrameFrom(sceneStarts[moment.scene - 1]);
    int64_t frame = first;
    while (timing.presentMicros(frame) / 1000 - timing.presentMicros(first) / 1000 < moment.elapsed)
        ++frame;
    return (frame * 1'000'000 + 59) / 60; // the frame's own start, rounded into it
}


} // namespace

// One lossless run of a range with stills, twice: the archive copy is the same file each time
// (no dates or random ids), and it holds exactly the show's frames and music of that range.
TEST_F(CaptureRun, LosslessRangeHoldsExactlyTheFramesMusicAndStillsOfThatRangeEveryTime)
{
    for (const char* name : {"first", "second"}) {
        const Outcome run = capture({"--lossless", "--from", "0.5", "--to", "1", "--png-at", "0,0.5,0.999",
                                     output(name + std::string(".mkv"))});
        ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
        EXPECT_NE(run.out.find("30 frames"), std::string::npos) << run.out;
    }
    EXPECT_EQ(filesWritten(), (std::vector<std::string>{"first-0.000s.png", "first-0.500s.png", "first-0.999s.png",
                                                         "first.mkv", "second-0.000s.png", "second-0.500s.png",
                                                         "second-0.999s.png", "second.mkv"}));
    EXPECT_EQ(readText(output("first.mkv")), readText(output("second.mkv")));

    const DecodedMedia media = decodeMedia(output("first.mkv"));
    ASSERT_EQ(media.error, "");
    EXPECT_EQ(streams(media), std::tuple("ffv1", "flac", 640, 480, 44100, 2));
    ASSERT_EQ(media.frames.size(), 30u);
    ASSERT_EQ(media.samples.size(), 22050u * 2) << "half a second of stereo music";

    // Frame i of the video is frame 30 + i of the show; the music is the module's
    // second half-second exactly, sample for sample.
    const std::vector<RgbImage> shown = harnessFrames(60);
    ASSERT_EQ(shown.size(), 60u);
    for (size_t i = 0; i < media.frames.size(); ++i)
        EXPECT_EQ(differingPixels(media.frames[i], shown[30 + i]), 0) << "video frame " << i;
    const std::vector<int16_t> music = musicAlone(44100);
    EXPECT_TRUE(std::equal(media.samples.begin(), media.samples.end(), music.begin() + 22050 * 2));
    // A still is the frame on screen at its time, whether or not the video holds that frame.
    for (const auto& [seconds, frame] : {std::pair<const char*, size_t>{"0.000", 0}, {"0.500", 30}, {"0.999", 59}}) {
        const RgbImage still = readStill(output(std::string("first-") + seconds + "s.png"));
        EXPECT_EQ(still.width, 640);
        EXPECT_EQ(differingPixels(still, shown[frame]), 0) << seconds << " s";
    }
}

TEST_F(CaptureRun, DeliveryFormatIsScaledH264WithAacOfTheRangesLength)
{
    const Outcome run = capture({"--scale", "2", "--fps", "30", "--from", "1", "--to", "1.5", output("small.mp4")});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    const DecodedMedia media = decodeMedia(output("small.mp4"));
    ASSERT_EQ(media.error, "");
    EXPECT_EQ(streams(media), std::tuple("h264", "aac", 1280, 960, 44100, 2));
    EXPECT_EQ(media.frames.size(), 15u);
    // AAC codes whole blocks of 1024 samples; the encoder's lead-in is dropped again.
    const int64_t samples = static_cast<int64_t>(media.samples.size()) / 2;
    EXPECT_TRUE(samples >= 22050 && samples < 22050 + 1024) << samples << " samples";
}


// The scene tests' golden moments of the first 45 seconds; later ones would only lengthen the run.
TEST_F(CaptureRun, StillsMatchTheSceneTestsGoldenFrames)
{
    std::vector<GoldenMoment> moments;
    std::string times;
    std::copy_if(GOLDEN_MOMENTS.begin(), GOLDEN_MOMENTS.end(), std::back_inserter(moments), [](auto& m) { return m.scene <= 3; });
    for (const GoldenMoment& moment : moments)
        times += (times.empty() ? "" : ",") + formatSeconds(goldenMomentMicros(moment));
    const int64_t last = goldenMomentMicros(moments.back());
    const Outcome run = capture({"--null", "--png-at", times, "--to", formatSeconds(last + 100'000)});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    for (const GoldenMoment& moment : moments) {
        const fs::path still = fs::current_path() / ("tovira-" + formatSeconds(goldenMomentMicros(moment)) + "s.png");
        // As in the scene tests, a channel may be one rounding step off (2 of 255).
        EXPECT_TRUE(matchesGolden(readStill(still), moment.name))
            << "still at " << formatSeconds(goldenMomentMicros(moment)) << " s";
        fs::remove(still);
    }
}

// Each mistake has its message and status, and none leaves a file behind, partial or whole.
// Without the fade picture the show would run on, showing its message box.
TEST_F(CaptureRun, MistakesAndMissingDataAreReportedAndLeaveNoFileBehind)
{
    const fs::path empty = outputs / "empty", partial = outputs / "partial";
    fs::create_directories(empty);
    fs::create_directories(partial);
    fs::copy(dataDirectory / "data", partial / "data", fs::copy_options::recursive);
    fs::remove(partial / "data" / "feidi.tga");
    // Where the capture runs, its arguments, status and message.
    const std::tuple<fs::path, std::vector<std::string>, int, const char*> cases[] = {
        {dataDirectory, {"--frobnicate", output("x.mp4")}, CAPTURE_USAGE_ERROR, "unknown option --frobnicate"},
        {dataDirectory, {"--to", "0.1", (outputs / "no" / "such" / "dir.mp4").string()}, CAPTURE_FAILED, "cannot write"},
        {dataDirectory, {"--lossless", "--to", "1", output("stopped.mkv")}, CAPTURE_INTERRUPTED, "was not written"},
        {empty, {"--lossless", output("nothing.mkv")}, CAPTURE_FAILED, "tovira-makedata"},
        {partial, {"--lossless", "--to", "1", output("nothing.mkv")}, CAPTURE_FAILED, "Failed to load texture"},
    };
    for (const auto& [directory, args, status, message] : cases) {
        fs::current_path(directory);
        if (status == CAPTURE_INTERRUPTED)
            requestCaptureStop(); // as Ctrl-C would, while the show runs
        const Outcome run = capture(args);
        EXPECT_EQ(run.status, status) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    fs::remove_all(empty);
    fs::remove_all(partial);
    EXPECT_EQ(filesWritten(), std::vector<std::string>{});
}
