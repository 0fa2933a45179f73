// The sound library stand-in, heard through its offline sink.
#include "platform_support.h"
#include "xm_test_module.h"

#include <bass.h>
#include <bass_host.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <sstream>

using namespace platformtest;

namespace {

constexpr DWORD rate = 44100;

std::vector<int16_t> render(size_t frames)
{
    std::vector<int16_t> pcm(frames * 2, 12345);
    EXPECT_EQ(basshost::renderOffline(pcm.data(), frames), frames);
    return pcm;
}

size_t framesFor(double seconds)
{
    return static_cast<size_t>(std::llround(seconds * rate));
}

double rms(const std::vector<int16_t>& pcm, size_t firstFrame = 0, size_t frameCount = SIZE_MAX)
{
    size_t end = std::min(pcm.size(), frameCount == SIZE_MAX ? pcm.size() : (firstFrame + frameCount) * 2);
    double sum = 0;
    for (size_t i = firstFrame * 2; i < end; ++i)
        sum += static_cast<double>(pcm[i]) * pcm[i];
    return end > firstFrame * 2 ? std::sqrt(sum / static_cast<double>(end - firstFrame * 2)) : 0.0;
}

class Sound : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        basshost::resetForTest();
        basshost::useOfflineSink(rate);
        const std::vector<uint8_t> module = makeTestModule();
        scratch.write("data/pork.xm", std::string(module.begin(), module.end()));
    }
    void TearDown() override
    {
        basshost::resetForTest();
        HeadlessTest::TearDown();
    }

    // Initialise, load and start as the program does; returns the music.
    static HMUSIC startMusic(DWORD flags)
    {
        EXPECT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
        HMUSIC music = BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, flags);
        EXPECT_NE(music, 0u);
        EXPECT_TRUE(BASS_Start());
        return music;
    }

    ScratchDirectory scratch;
};

} // namespace

TEST_F(Sound, MusicSoundsOnceLoadedPlayedAndStartedUntilStoppedAndFreedAndStartsAgain)
{
    ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
    HMUSIC music = BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, BASS_MUSIC_LOOP);
    EXPECT_EQ(rms(render(4410)), 0.0);
    ASSERT_TRUE(BASS_MusicPlay(music));
    EXPECT_EQ(rms(render(4410)), 0.0) << "before BASS_Start";
    ASSERT_TRUE(BASS_Start());
    EXPECT_GT(rms(render(framesFor(1.0))), 1000.0);
    ASSERT_TRUE(BASS_Stop());
    EXPECT_EQ(rms(render(4410)), 0.0);
    BASS_Free();
    EXPECT_EQ(rms(render(4410)), 0.0);
    EXPECT_FALSE(BASS_MusicPlay(music));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    music = startMusic(BASS_MUSIC_LOOP);
    EXPECT_TRUE(BASS_MusicPlay(music));
    EXPECT_GT(rms(render(4410)), 1000.0);
}

TEST_F(Sound, TheLoopFlagKeepsTheMusicGoingPastTheEndOfTheModule)
{
    BASS_MusicPlay(startMusic(BASS_MUSIC_LOOP));
    const std::vector<int16_t> pcm = render(framesFor(3 * testModuleSeconds + 0.5));
    for (int pass = 0; pass < 3; ++pass) {
        size_t start = framesFor(pass * testModuleSeconds);
        EXPECT_GT(rms(pcm, start + 441, framesFor(1.0)), 1000.0) << "pass " << pass;
        EXPECT_LT(rms(pcm, start + framesFor(testModuleSilentFrom + 0.05), framesFor(0.3)), 50.0)
            << "the key-off rows of pass " << pass;
    }
}

TEST_F(Sound, WithoutTheLoopFlagTheMusicEndsInSilenceAtTheSinksOwnRate)
{
    for (DWORD sinkRate : {rate, DWORD{48000}}) {
        basshost::resetForTest();
        basshost::useOfflineSink(sinkRate);
        BASS_MusicPlay(startMusic(0));
        const std::vector<int16_t> pcm = render(static_cast<size_t>((testModuleSeconds + 1.0) * sinkRate));
        EXPECT_GT(rms(pcm, 0, sinkRate), 1000.0) << sinkRate;
        EXPECT_EQ(rms(pcm, static_cast<size_t>(testModuleSeconds * sinkRate), sinkRate), 0.0)
            << "ends after " << testModuleSeconds << " s at " << sinkRate << " Hz";
    }
}

TEST_F(Sound, RenderingIsSampleExactWhateverTheChunking)
{
    HMUSIC music = startMusic(BASS_MUSIC_LOOP);
    BASS_MusicPlay(music);
    std::vector<int16_t> whole = render(3000);
    BASS_MusicFree(music);
    music = BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, BASS_MUSIC_LOOP);
    BASS_MusicPlay(music);
    std::vector<int16_t> parts = render(735);
    for (size_t n : {1, 1264, 1000})
        std::ranges::copy(render(n), std::back_inserter(parts));
    EXPECT_EQ(parts, whole);
}

// The library mixes linearly unless the load flags ask for no interpolation or for sinc;
// each choice must match libopenmpt rendering the module with that filter itself.
TEST_F(Sound, SamplesAreInterpolatedAsTheLoadFlagsAsk)
{
    const std::vector<uint8_t> bytes = makeTestModule();
    const size_t frames = framesFor(1.0);
    std::vector<std::vector<int16_t>> renders;
    for (auto [flags, taps] : {std::pair<DWORD, int>{0, 2}, {BASS_MUSIC_NONINTER, 1}, {BASS_MUSIC_SINCINTER, 8}}) {
        basshost::resetForTest();
        basshost::useOfflineSink(rate);
        BASS_MusicPlay(startMusic(flags));
        renders.push_back(render(frames));

        std::ostringstream log;
        openmpt::module reference(bytes, log, {{"play.at_end", "stop"}});
        reference.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, taps);
        std::vector<float> expected(frames * 2);
        ASSERT_EQ(reference.read_interleaved_stereo(rate, frames, expected.data()), frames);
        int worst = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(renders.back()[i] - static_cast<int>(std::lround(expected[i] * 32767.0f))));
        EXPECT_LE(worst, 1) << "flags " << flags;
    }
    EXPECT_NE(renders[0], renders[1]);
    EXPECT_NE(renders[0], renders[2]);
}

TEST_F(Sound, InitFailsLikeAMachineWithoutOutput)
{
    basshost::failNextInit(true);
    EXPECT_FALSE(BASS_Init(-1, 44100, 16, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_EQ(BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_TRUE(BASS_Init(-1, 44100, 16, nullptr)) << "the failure was for one call";
    EXPECT_FALSE(BASS_Init(-1, 44100, 16, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    BASS_Free();

    // An audio driver that does not exist stands for a machine with no sound output.
    EnvironmentOverride driver("SDL_AUDIODRIVER", "no-such-driver");
    basshost::useDeviceOutput();
    EXPECT_FALSE(BASS_Init(-1, 44100, 16, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
}

TEST_F(Sound, AnExplicitlyChosenSilentDriverPlaysThroughTheDevicePath)
{
    EnvironmentOverride driver("SDL_AUDIODRIVER", "dummy");
    basshost::useDeviceOutput();
    HMUSIC music = startMusic(BASS_MUSIC_LOOP);
    EXPECT_TRUE(BASS_MusicPlay(music));
    EXPECT_TRUE(BASS_Stop());
    BASS_MusicFree(music);
    BASS_Free();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST_F(Sound, AMissingOrBadModuleLoadsNothingAndStaysSilent)
{
    scratch.write("data/junk.xm", std::string(2000, 'j'));
    scratch.write("data/empty.xm", "");
    ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
    EXPECT_EQ(BASS_MusicLoad(FALSE, const_cast<char*>("data\\missing.xm"), 0, 0, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_MusicLoad(FALSE, const_cast<char*>("data\\junk.xm"), 0, 0, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_MusicLoad(FALSE, const_cast<char*>("data\\empty.xm"), 0, 0, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, nullptr, 0, 0, 0), 0u);
    BASS_Start();
    EXPECT_FALSE(BASS_MusicPlay(0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(rms(render(4410)), 0.0);
    BASS_MusicFree(0);
    BASS_Free();
}

TEST_F(Sound, ModulesLoadFromMemoryAndFromPartOfAFile)
{
    std::vector<uint8_t> bytes = makeTestModule();
    scratch.write("data/wrapped.bin", "HEAD" + std::string(bytes.begin(), bytes.end()) + "TAIL");
    ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
    EXPECT_NE(BASS_MusicLoad(TRUE, bytes.data(), 0, static_cast<DWORD>(bytes.size()), 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(TRUE, bytes.data(), 0, 0, 0), 0u) << "memory needs a length";
    HMUSIC part = BASS_MusicLoad(FALSE, const_cast<char*>("data\\wrapped.bin"), 4,
                                 static_cast<DWORD>(bytes.size()), 0);
    EXPECT_NE(part, 0u);
    BASS_Start();
    BASS_MusicPlay(part);
    EXPECT_GT(rms(render(4410)), 1000.0);
}
