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

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---------------------------------------------------------------------------------
// Reading the files back with FFmpeg's own programs
// ---------------------------------------------------------------------------------

struct DecodedMedia {
    std::string error;
    std::string videoCodec, audioCodec;
    int width = 0, height = 0;
    int64_t videoFrames = 0;
    std::vector<RgbImage> frames; // kept only when asked for
    int sampleRate = 0, channels = 0;
    std::vector<int16_t> samples; // interleaved, converted to 16-bit
};

// The first stream of a kind as ffprobe describes it: "codec,number,number".
std::istringstream probe(const fs::path& path, const char* stream, const char* entries)
{
    const fs::path out = path.string() + "." + stream + ".probe";
    const std::string command = std::string("ffprobe -v error -select_streams ") + stream + ":0 -show_entries stream=" +
                                entries + " -of csv=p=0 '" + path.string() + "' > '" + out.string() + "'";
    std::istringstream description(std::system(command.c_str()) == 0 ? readText(out) : "");
    fs::remove(out);
    return description;
}

DecodedMedia decodeMedia(const fs::path& path, bool keepFrames)
{
    DecodedMedia media;
    char comma = 0;
    std::istringstream video = probe(path, "v", "codec_name,width,height");
    std::getline(video, media.videoCodec, ',');
    video >> media.width >> comma >> media.height;
    std::istringstream audio = probe(path, "a", "codec_name,sample_rate,channels");
    std::getline(audio, media.audioCodec, ',');
    audio >> media.sampleRate >> comma >> media.channels;
    const std::string rgb = path.string() + ".rgb", pcm = path.string() + ".pcm";
    if (media.width <= 0 || media.channels <= 0 ||
        std::system(("ffmpeg -v error -y -i '" + path.string() + "' -map 0:v -fps_mode passthrough -f rawvideo " +
                     "-pix_fmt rgb24 '" + rgb + "' -map 0:a -f s16le '" + pcm + "'")
                        .c_str()) != 0) {
        media.error = "FFmpeg cannot decode a video and an audio stream from " + path.string();
        return media;
    }
    const std::string pixels = readText(rgb), sound = readText(pcm);
    const size_t frameBytes = static_cast<size_t>(media.width) * media.height * 3;
    media.videoFrames = static_cast<int64_t>(pixels.size() / frameBytes);
    for (size_t at = 0; keepFrames && at + frameBytes <= pixels.size(); at += frameBytes)
        media.frames.push_back(
            {media.width, media.height, std::vector<uint8_t>(pixels.begin() + at, pixels.begin() + at + frameBytes)});
    media.samples.resize(sound.size() / 2);
    std::memcpy(media.samples.data(), sound.data(), media.samples.size() * 2);
    fs::remove(rgb);
    fs::remove(pcm);
    return media;
}

// ---------------------------------------------------------------------------------
// What the show presents and plays, taken independently of the capture tool
// ---------------------------------------------------------------------------------

// Frames [first, first + count) as the scene tests' harness sees them at 60 per second.
std::vector<RgbImage> harnessFrames(uint64_t first, uint64_t count)
{
    std::vector<RgbImage> frames;
    ShowHarness harness(60.0);
    harness.drawPixels(true);
    d3d8host::setCallRecording(false);
    harness.onFrame = [&](const d3d8host::FrameView& view) {
        const uint64_t index = harness.presentCount - 1;
        if (index >= first && index < first + count)
            frames.push_back(imageFromFrame(view.pixels, view.width, view.height, view.pitchBytes));
    };
    harness.atFrame(first + count, [] { win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0); });
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

// Pixels with a colour channel further apart than `tolerance`; all of them when the sizes differ.
int differingPixels(const RgbImage& a, const RgbImage& b, int tolerance = 0)
{
    const ImageComparison comparison = compareImages(a, b, tolerance);
    return comparison.sameSize ? comparison.pixelsBeyondTolerance : a.width * a.height;
}

RgbImage readStill(const fs::path& path)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(readPng(path.string(), image, error)) << error;
    return image;
}

// ---------------------------------------------------------------------------------
// The fixture: a capture run in the data set's directory, outputs in the build tree
// ---------------------------------------------------------------------------------

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readAll(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
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
        previousDirectory = fs::current_path();
        fs::current_path(dataDirectory);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        outputs = fs::path(TOVIRA_TEST_BINARY_DIR) / "capture_out" / test->name();
        fs::remove_all(outputs);
        fs::create_directories(outputs);
    }

    void TearDown() override
    {
        if (!previousDirectory.empty())
            fs::current_path(previousDirectory);
    }

    Outcome capture(const std::vector<std::string>& args)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        Outcome outcome;
        outcome.status = captureMain(args, out, err, false);
        outcome.out = readAll(out);
        outcome.err = readAll(err);
        return outcome;
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

    fs::path dataDirectory;
    fs::path previousDirectory;
    fs::path outputs;
};

} // namespace

TEST_F(CaptureRun, LosslessRangeHoldsExactlyTheFramesAndMusicOfThatRange)
{
    const Outcome run = capture({"--lossless", "--from", "0.5", "--to", "1", output("range.mkv")});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    EXPECT_NE(run.out.find("30 frames"), std::string::npos) << run.out;
    EXPECT_EQ(filesWritten(), std::vector<std::string>{"range.mkv"});

    const DecodedMedia media = decodeMedia(output("range.mkv"), true);
    ASSERT_EQ(media.error, "");
    EXPECT_EQ(media.videoCodec, "ffv1");
    EXPECT_EQ(media.audioCodec, "flac");
    EXPECT_EQ(media.width, 640);
    EXPECT_EQ(media.height, 480);
    EXPECT_EQ(media.videoFrames, 30);
    EXPECT_EQ(media.sampleRate, 44100);
    EXPECT_EQ(media.channels, 2);
    ASSERT_EQ(media.samples.size(), 22050u * 2) << "half a second of stereo music";

    // Frame i of the video is frame 30 + i of the show; the music is the module's
    // second quarter-second pair exactly, sample for sample.
    const std::vector<RgbImage> shown = harnessFrames(30, 30);
    ASSERT_EQ(shown.size(), 30u);
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(differingPixels(media.frames[i], shown[i]), 0) << "video frame " << i;
    const std::vector<int16_t> music = musicAlone(44100);
    EXPECT_TRUE(std::equal(media.samples.begin(), media.samples.end(), music.begin() + 22050 * 2));
}

TEST_F(CaptureRun, TwoCapturesOfTheSameRangeAreIdentical)
{
    for (const char* name : {"first.mkv", "second.mkv"})
        ASSERT_EQ(capture({"--lossless", "--to", "0.5", output(name)}).status, CAPTURE_OK);
    // Same frames, same music, and no dates or random ids either: the archive copy is the same file.
    const std::string first = readText(output("first.mkv"));
    EXPECT_GT(first.size(), 0u);
    EXPECT_EQ(first, readText(output("second.mkv")));
}

TEST_F(CaptureRun, DeliveryFormatIsScaledH264WithAacOfTheRangesLength)
{
    const Outcome run = capture({"--scale", "2", "--fps", "30", "--from", "1", "--to", "1.5", output("small.mp4")});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    const DecodedMedia media = decodeMedia(output("small.mp4"), false);
    ASSERT_EQ(media.error, "");
    EXPECT_EQ(media.videoCodec, "h264");
    EXPECT_EQ(media.audioCodec, "aac");
    EXPECT_EQ(media.width, 1280);
    EXPECT_EQ(media.height, 960);
    EXPECT_EQ(media.videoFrames, 15);
    EXPECT_EQ(media.sampleRate, 44100);
    // AAC codes whole blocks of 1024 samples; the encoder's lead-in is dropped again.
    const int64_t samples = static_cast<int64_t>(media.samples.size()) / 2;
    EXPECT_GE(samples, 22050);
    EXPECT_LT(samples, 22050 + 1024);
}

TEST_F(CaptureRun, StillsAreTheFramesOnScreenAtTheirTimes)
{
    const Outcome run = capture({"--null", "--to", "1", "--png-at", "0,0.5,0.999"});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    EXPECT_NE(run.out.find("rendered 60 frames"), std::string::npos) << run.out;
    const std::vector<RgbImage> shown = harnessFrames(0, 60);
    const std::pair<const char*, size_t> stills[] = {{"0.000", 0}, {"0.500", 30}, {"0.999", 59}};
    for (const auto& [seconds, frame] : stills) {
        const fs::path path = fs::current_path() / (std::string("tovira-") + seconds + "s.png");
        const RgbImage still = readStill(path);
        EXPECT_EQ(still.width, 640);
        EXPECT_EQ(still.height, 480);
        EXPECT_EQ(differingPixels(still, shown[frame]), 0) << path;
        fs::remove(path);
    }
}

namespace {

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

// The scene tests' golden moments of the first 45 seconds; later ones would only lengthen the run.
TEST_F(CaptureRun, StillsMatchTheSceneTestsGoldenFrames)
{
    std::vector<GoldenMoment> moments;
    std::string times;
    for (const GoldenMoment& moment : GOLDEN_MOMENTS) {
        if (moment.scene <= 3) {
            moments.push_back(moment);
            times += (times.empty() ? "" : ",") + formatSeconds(goldenMomentMicros(moment));
        }
    }
    const int64_t last = goldenMomentMicros(moments.back());
    const Outcome run = capture({"--null", "--png-at", times, "--to", formatSeconds(last + 100'000)});
    ASSERT_EQ(run.status, CAPTURE_OK) << run.err;
    for (const GoldenMoment& moment : moments) {
        const fs::path still = fs::current_path() / ("tovira-" + formatSeconds(goldenMomentMicros(moment)) + "s.png");
        const RgbImage actual = readStill(still);
        const fs::path golden = fs::path(TOVIRA_TEST_SOURCE_DIR) / "golden" / (std::string(moment.name) + ".png");
        // The scene tests let a channel be one rounding step off (2 of 255).
        const int differing = differingPixels(actual, readStill(golden), 2);
        EXPECT_EQ(differing, 0) << moment.name << ", still at " << formatSeconds(goldenMomentMicros(moment)) << " s";
        if (differing)
            writePng((outputs / (fs::path(moment.name).filename().string() + ".actual.png")).string(), actual);
        fs::remove(still);
    }
}

TEST_F(CaptureRun, MistakesAreReportedAndLeaveNoFileBehind)
{
    Outcome run = capture({"--frobnicate", output("x.mp4")});
    EXPECT_EQ(run.status, CAPTURE_USAGE_ERROR);
    EXPECT_NE(run.err.find("unknown option --frobnicate"), std::string::npos) << run.err;

    run = capture({"--to", "0.1", (outputs / "no" / "such" / "dir.mp4").string()});
    EXPECT_EQ(run.status, CAPTURE_FAILED);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;

    requestCaptureStop(); // as Ctrl-C would, while the show runs
    run = capture({"--lossless", "--to", "1", output("stopped.mkv")});
    EXPECT_EQ(run.status, CAPTURE_INTERRUPTED);
    EXPECT_NE(run.err.find("was not written"), std::string::npos) << run.err;

    EXPECT_EQ(filesWritten(), std::vector<std::string>{});
}

TEST_F(CaptureRun, MissingOrIncompleteDataSetIsReportedAndNothingWritten)
{
    const fs::path empty = outputs / "empty";
    fs::create_directories(empty);
    fs::current_path(empty);
    Outcome run = capture({"--lossless", output("nothing.mkv")});
    EXPECT_EQ(run.status, CAPTURE_FAILED);
    EXPECT_NE(run.err.find("tovira-makedata"), std::string::npos) << run.err;

    // Without the fade picture the show would run on, showing its message box.
    const fs::path partial = outputs / "partial";
    fs::create_directories(partial);
    fs::copy(dataDirectory / "data", partial / "data", fs::copy_options::recursive);
    fs::remove(partial / "data" / "feidi.tga");
    fs::current_path(partial);
    run = capture({"--lossless", "--to", "1", output("nothing.mkv")});
    EXPECT_EQ(run.status, CAPTURE_FAILED);
    EXPECT_NE(run.err.find("Failed to load texture"), std::string::npos) << run.err;

    fs::remove_all(empty);
    fs::remove_all(partial);
    EXPECT_EQ(filesWritten(), std::vector<std::string>{});
}
