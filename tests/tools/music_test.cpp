// The show's music module: how libopenmpt loads and plays it, and the text notation behind it.
#include "music.h"
#include "music_synth.h"
#include "tool_test_files.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr int renderRate = 48000;

class MusicFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path path = scratchFolder("music_test") / "pork.xm";
        std::string error;
        ASSERT_TRUE(writeMusic(path.string(), &error)) << error;
        const std::string text = readText(path);
        bytes_.assign(text.begin(), text.end());
        fs::remove_all(path.parent_path());
    }

    static inline std::vector<std::uint8_t> bytes_;
};

// libopenmpt loads it without a word; it lasts about two minutes, a new order entry starts within
// a millisecond of each scene change, and when the show's looping player wraps it restarts at the
// build (order 1), which no player reports, so it is read from the header.
TEST_F(MusicFile, LibopenmptLoadsItWithoutAWordAndANewSectionStartsAtEachSceneChange) {
    ASSERT_GT(bytes_.size(), 80u);
    EXPECT_EQ(bytes_[66] | (bytes_[67] << 8), 1) << "restart position";
    std::ostringstream log;
    openmpt::module module(bytes_, log);
    EXPECT_EQ(std::tuple(log.str(), module.get_metadata("warnings"), module.get_metadata("type")), std::tuple("", "", "xm"));
    const double seconds = module.get_duration_seconds();
    EXPECT_TRUE(seconds >= 122.0 && seconds <= 135.0) << seconds;
    for (double change : {8.0, 32.0, 46.5, 107.5, 122.0}) {
        // A seek lands on the first row that starts at or after the time asked for.
        module.set_position_seconds(change - 0.001);
        EXPECT_NEAR(module.get_position_seconds(), change, 0.001);
        EXPECT_EQ(module.get_current_row(), 0) << "at " << change << " s";
    }
}

// Rendered once through: as long as reported; every second of the show sounds (the title's
// eight seconds together), the song has no DC offset (which damaged sample data would show),
// nothing clips, and it ends in silence, so that a loop or a stop cuts nothing.
TEST_F(MusicFile, EverySecondOfTheShowSoundsCleanlyAndTheSongEndsInSilence) {
    openmpt::module module(bytes_, std::clog, {{"play.at_end", "stop"}});
    const double seconds = module.get_duration_seconds();
    std::vector<float> sound, block(2 * 480);
    while (const std::size_t frames = module.read_interleaved_stereo(renderRate, 480, block.data()))
        sound.insert(sound.end(), block.begin(), block.begin() + 2 * frames);
    ASSERT_EQ(sound.size(), 2 * static_cast<std::size_t>(std::llround(seconds * renderRate)));
    double peak = 0, mean = 0;  // of the last stretch measured
    auto rms = [&](double from, double to) {  // both channels together
        double sum = 0;
        peak = mean = 0;
        const std::size_t a = 2 * std::size_t(from * renderRate), b = 2 * std::size_t(to * renderRate);
        for (std::size_t i = a; i < b; ++i) {
            peak = std::max(peak, double(std::fabs(sound[i])));
            sum += double(sound[i]) * sound[i];
            mean += sound[i] / double(b - a);
        }
        return std::sqrt(sum / double(b - a));
    };
    EXPECT_GT(rms(0.0, 8.0), 0.02) << "the title is too quiet";  // -34 dBFS
    for (double t = 8.0; t + 1.0 <= 122.0; t += 1.0) EXPECT_GT(rms(t, t + 1.0), 0.02) << "drop-out at " << t << " s";
    rms(0.0, seconds);
    EXPECT_LT(peak, 0.9) << "too close to clipping";
    EXPECT_LT(std::fabs(mean), 0.002) << "DC offset";
    rms(seconds - 0.05, seconds);
    EXPECT_LT(peak, 0.001) << "the song does not end in silence";
}

std::uint64_t fingerprint(const XmInstrument& instrument) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the little-endian samples
    for (const XmSample& sample : instrument.samples)
        for (std::int16_t value : sample.pcm)
            for (int shift : {0, 8}) {
                hash ^= (static_cast<std::uint16_t>(value) >> shift) & 0xFF;
                hash *= 1099511628211ull;
            }
    return hash;
}

// The synthesis uses only correctly rounded arithmetic, so these values hold on every machine and
// compiler. After an intended change to a recipe, replace its value with the one reported.
TEST(MusicInstruments, SoundTheSameOnEveryMachine) {
    const std::map<std::string, std::uint64_t> expected = {
        {"bass", 0x6de252a9263f718cull},  {"bell", 0x1f6ce1d3e4ff1ab2ull},  {"clap", 0x50f588b66d2611d5ull},
        {"crash", 0x8572f3ebf7c16a9eull}, {"hatc", 0x9ddb1534bf4ab03eull},  {"hato", 0xb45c3d06e11360beull},
        {"kick", 0xcc46d7d182355fd6ull},  {"lead", 0x79e0f116e0e0ef7dull},  {"pad", 0xe7cd4f5a58ee1583ull},
        {"pluck", 0x343d3306528e5edaull}, {"riser", 0x63c18730e26c3242ull}, {"sine", 0xd75bcade49ad6cbfull},
        {"snare", 0x1869bcbe86804594ull},
    };
    EXPECT_EQ(synthInstrumentNames().size(), expected.size());
    for (const std::string& name : synthInstrumentNames()) {
        XmInstrument instrument;
        ASSERT_TRUE(synthesiseInstrument(name, &instrument));
        EXPECT_EQ(fingerprint(instrument), expected.count(name) ? expected.at(name) : 0)
            << name << ": 0x" << std::hex << fingerprint(instrument);
    }
    XmInstrument unknown;
    EXPECT_FALSE(synthesiseInstrument("kazoo", &unknown));
}

TEST(MusicText, RefusesFaultyDescriptionsWithTheLine) {
    const std::string head = "tempo 120 6\nchannels a b\ninstrument lead 40 128\n";  // lines 1-3
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + "clip c lead H-4\n", "line 4: bad note 'H-4'"},
        {head + "clip c lead C-4:A00\n", "line 4: effect 'A00' needs its own parameter"},
        {head + "clip c lead C-4*5\npattern p 4\n  a c\norder p\n", "clips run past the pattern's 4 rows"},
        {head + "pattern p 4\n  a nothing\norder p\n", "line 5: unknown clip 'nothing'"},
        {head + "clip c lead C-4\npattern p 4\n  b c\n  b c\norder p\n", "row 0, voice 0 is set twice"},
        {head + "clip c lead B-7\npattern p 4\n  a c+1\norder p\n", "transposed out of C-0..B-7"},
        {"channels a b c\n", "line 1: channel voices must add up to an even number"},
        {"tempo 120 6\nchannels a b\necho b a 2 50\ninstrument lead 40 128\nclip c lead . . . C-4\n"
         "pattern p 4\n  a c\norder p\n", "the echo would change after the loop"},
        {"tempo 120 6\nchannels a b\ninstrument kazoo 40 128\nclip c kazoo C-4\npattern p 4\n  a c\norder p\n",
         "no recipe for instrument 'kazoo'"},
        {head + "clip c lead C-4\npattern p 4\n  a c\norder p\nrestart 1\n", "restart lies beyond the order list"},
        {head + "orders p\n", "line 4: unknown keyword 'orders'"},
    };
    for (const auto& [text, message] : cases) {
        XmModule module;
        std::string error;
        EXPECT_FALSE(buildMusicModule(text, &module, &error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nwanted: " << message;
    }
}

TEST(MusicText, WriteMusicReportsAnUnwritablePath) {
    std::string error;
    EXPECT_FALSE(writeMusic((fs::path(TOVIRA_TEST_BINARY_DIR) / "no-such-folder" / "pork.xm").string(), &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

}  // namespace
