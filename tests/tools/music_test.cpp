// The show's music module: its bytes, how libopenmpt loads and plays it, and the text notation behind it.
#include "music.h"
#include "music_song.h"
#include "music_synth.h"
#include "tool_test_files.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr int renderRate = 48000;
constexpr double sceneChanges[] = {8.0, 32.0, 46.5, 107.5, 122.0};

unsigned u16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) { return u16(b, at) | (u16(b, at + 2) << 16); }

// The plan the description gives: rows of each order entry and the time each entry starts.
struct Plan {
    Song song;
    std::vector<int> rows;
    std::vector<double> starts;
    double seconds = 0.0;
};

Plan planOf(std::string_view text) {
    Plan plan;
    std::string error;
    EXPECT_TRUE(parseSong(text, &plan.song, &error)) << error;
    const double rowSeconds = plan.song.speed * 2.5 / plan.song.bpm;
    for (const std::string& name : plan.song.order) {
        plan.starts.push_back(plan.seconds);
        plan.rows.push_back(findPattern(plan.song, name)->rows);
        plan.seconds += plan.rows.back() * rowSeconds;
    }
    return plan;
}

struct Rendered {
    std::vector<float> left, right;
};

Rendered render(const std::vector<std::uint8_t>& bytes) {
    openmpt::module module(bytes, std::clog, {{"play.at_end", "stop"}});
    Rendered out;
    std::vector<float> block(2 * 480);
    while (const std::size_t frames = module.read_interleaved_stereo(renderRate, 480, block.data())) {
        for (std::size_t i = 0; i < frames; ++i) {
            out.left.push_back(block[2 * i]);
            out.right.push_back(block[2 * i + 1]);
        }
    }
    return out;
}

class MusicFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        path_ = new fs::path(scratchFolder("music_test") / "pork.xm");
        std::string error;
        ASSERT_TRUE(writeMusic(path_->string(), &error)) << error;
        const std::string text = readText(*path_);
        bytes_ = new std::vector<std::uint8_t>(text.begin(), text.end());
        plan_ = new Plan(planOf(porkSongText()));
    }
    static void TearDownTestSuite() {
        fs::remove_all(path_->parent_path());
        delete path_;
        delete bytes_;
        delete plan_;
        delete rendered_;
    }
    static const Rendered& rendered() {
        if (!rendered_) rendered_ = new Rendered(render(*bytes_));
        return *rendered_;
    }

    static inline fs::path* path_ = nullptr;
    static inline std::vector<std::uint8_t>* bytes_ = nullptr;
    static inline Plan* plan_ = nullptr;
    static inline Rendered* rendered_ = nullptr;
};

// Walks every block with its recorded sizes: they must add up to exactly the file, and each
// sample's stored deltas must decode back to the sound synthesised for it.
TEST_F(MusicFile, BlocksAddUpAndSamplesDecodeToTheSynthesisedSound) {
    XmModule module;
    std::string error;
    ASSERT_TRUE(buildMusicModule(porkSongText(), &module, &error)) << error;
    const std::vector<std::uint8_t>& b = *bytes_;
    const unsigned channels = u16(b, 68), patterns = u16(b, 70), instruments = u16(b, 72);
    ASSERT_EQ(instruments, module.instruments.size());
    std::size_t at = 60 + u32(b, 60);
    for (unsigned p = 0; p < patterns; ++p) {
        ASSERT_EQ(u32(b, at), 9u) << "pattern " << p;
        ASSERT_EQ(b.at(at + 4), 0) << "packing type";
        const unsigned rows = u16(b, at + 5), packed = u16(b, at + 7);
        ASSERT_TRUE(rows >= 1 && rows <= 256);
        std::size_t cell = at + 9, cells = 0;
        for (; cell < at + 9 + packed; ++cells) {
            const std::uint8_t flags = b.at(cell);
            cell += (flags & 0x80) ? 1 + std::bitset<5>(flags & 0x1F).count() : 5;
        }
        ASSERT_EQ(cell, at + 9 + packed) << "pattern " << p;
        ASSERT_EQ(cells, rows * channels) << "pattern " << p;
        at += 9 + packed;
    }
    for (const XmInstrument& instrument : module.instruments) {
        ASSERT_EQ(u32(b, at), 263u) << instrument.name;
        ASSERT_EQ(u16(b, at + 27), instrument.samples.size()) << instrument.name;
        ASSERT_EQ(u32(b, at + 29), 40u);
        std::size_t header = at + 263, data = header + 40 * instrument.samples.size();
        for (const XmSample& s : instrument.samples) {
            ASSERT_EQ(u32(b, header), 2 * s.pcm.size()) << s.name << ": length in bytes";
            EXPECT_EQ(u32(b, header + 4), 2 * s.loopStart) << s.name;
            EXPECT_EQ(u32(b, header + 8), 2 * s.loopLength) << s.name;
            EXPECT_LE(b.at(header + 12), 64) << "volume";
            EXPECT_EQ(b.at(header + 14), (s.loopLength ? 0x11 : 0x10)) << "16-bit, forward loop when looped";
            EXPECT_EQ(b.at(header + 17), 0) << "reserved byte";
            std::uint16_t value = 0;
            for (std::size_t i = 0; i < s.pcm.size(); ++i) {
                value = static_cast<std::uint16_t>(value + u16(b, data + 2 * i));
                ASSERT_EQ(static_cast<std::int16_t>(value), s.pcm[i]) << s.name << " frame " << i;
            }
            header += 40;
            data += 2 * s.pcm.size();
        }
        at = data;
    }
    EXPECT_EQ(at, b.size());
}

// Every sample starts on zero, one-shots also end on it; a loop's seam bends no harder than the
// waveform does anywhere else.
TEST(MusicInstruments, SamplesStartOnZeroAndLoopWithoutAJump) {
    for (const std::string& name : synthInstrumentNames()) {
        XmInstrument instrument;
        ASSERT_TRUE(synthesiseInstrument(name, &instrument));
        for (const XmSample& s : instrument.samples) {
            EXPECT_EQ(s.pcm.front(), 0) << s.name;
            if (!s.loopLength) {
                EXPECT_EQ(s.pcm.back(), 0) << s.name;
                continue;
            }
            const std::size_t start = s.loopStart, end = s.loopStart + s.loopLength;
            auto at = [&](std::size_t i) { return int(s.pcm[i < end ? i : i - s.loopLength]); };
            auto bend = [&](std::size_t i) { return std::abs(at(i + 1) - 2 * at(i) + at(i - 1)); };
            int steepest = 0;
            for (std::size_t i = start + 1; i + 2 < end; ++i) steepest = std::max(steepest, bend(i));
            EXPECT_LE(std::max(bend(end - 1), bend(end)), steepest + 2) << s.name;
        }
    }
}

// libopenmpt loads it without a word as planned, and it lasts about two minutes with a new order
// entry starting at each scene change. What a player does not report is read from the header:
// the restart at the build, linear frequencies, tidy unused orders.
TEST_F(MusicFile, LibopenmptLoadsItAsPlannedWithSectionsAtTheSceneChanges) {
    const std::vector<std::uint8_t>& b = *bytes_;
    ASSERT_GT(b.size(), 336u);
    EXPECT_EQ(u16(b, 66), 1u) << "restart at the build";
    EXPECT_EQ(u16(b, 74), 1u) << "linear frequency table";
    for (unsigned i = u16(b, 64); i < 256; ++i) EXPECT_EQ(b[80 + i], 0) << "unused order " << i;

    std::ostringstream log;
    openmpt::module module(b, log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(module.get_metadata("warnings"), "");
    EXPECT_EQ(module.get_metadata("type"), "xm");
    EXPECT_EQ(module.get_metadata("title"), "pork");
    EXPECT_EQ(module.get_metadata("tracker"), "tovira makedata");
    ASSERT_EQ(module.get_num_orders(), static_cast<int>(plan_->rows.size()));
    for (int order = 0; order < module.get_num_orders(); ++order)
        EXPECT_EQ(module.get_pattern_num_rows(module.get_order_pattern(order)), plan_->rows[order]) << order;
    EXPECT_EQ(module.get_num_instruments(), static_cast<int>(plan_->song.instruments.size()));
    EXPECT_EQ(module.get_num_channels(), plan_->song.columns);

    const double seconds = module.get_duration_seconds();
    EXPECT_GE(seconds, 120.0);
    EXPECT_LE(seconds, 135.0);
    EXPECT_NEAR(seconds, plan_->seconds, 0.001);
    for (double change : sceneChanges) {
        const auto start = std::find(plan_->starts.begin(), plan_->starts.end(), change);
        ASSERT_NE(start, plan_->starts.end()) << "no order entry starts at " << change << " s";
        module.set_position_seconds(change + 0.01);
        EXPECT_EQ(module.get_current_order(), start - plan_->starts.begin()) << "playing at " << change << " s";
    }
    EXPECT_EQ(rendered().left.size(), static_cast<std::size_t>(std::llround(seconds * renderRate)));
}

struct Levels {
    double rms = 0, peak = 0, mean = 0, sideToMid = 0, balanceDb = 0;
    bool finite = true;
};

Levels measure(const Rendered& sound, double from, double to) {
    const std::size_t a = std::size_t(from * renderRate), b = std::min(sound.left.size(), std::size_t(to * renderRate));
    double sum = 0, sumL = 0, sumR = 0, mid = 0, side = 0;
    Levels levels;
    for (std::size_t i = a; i < b; ++i) {
        const double l = sound.left[i], r = sound.right[i];
        levels.finite = levels.finite && std::isfinite(l) && std::isfinite(r);
        levels.peak = std::max({levels.peak, std::fabs(l), std::fabs(r)});
        sum += l + r;
        sumL += l * l;
        sumR += r * r;
        mid += (l + r) * (l + r);
        side += (l - r) * (l - r);
    }
    const double n = double(b - a);
    levels.rms = std::sqrt((sumL + sumR) / (2 * n));
    levels.mean = sum / (2 * n);
    levels.sideToMid = side / mid;
    levels.balanceDb = 10 * std::log10(sumL / sumR);
    return levels;
}

TEST_F(MusicFile, EverySectionSoundsCleanly) {
    const Rendered& sound = rendered();
    const double bounds[] = {0.0, 8.0, 32.0, 46.5, 107.5, 122.0};
    for (std::size_t s = 0; s + 1 < std::size(bounds); ++s) {
        SCOPED_TRACE("section from " + std::to_string(bounds[s]) + " s");
        const Levels levels = measure(sound, bounds[s], bounds[s + 1]);
        EXPECT_TRUE(levels.finite);
        EXPECT_GT(levels.rms, 0.02) << "too quiet";    // -34 dBFS
        EXPECT_LT(levels.peak, 0.9) << "too close to clipping";
        EXPECT_LT(std::fabs(levels.mean), 0.002) << "DC offset";
        EXPECT_LT(std::fabs(levels.balanceDb), 2.0) << "leans to one side";
        EXPECT_GT(levels.sideToMid, 0.003) << "no stereo width";
        EXPECT_LT(levels.sideToMid, 0.3) << "too little in the centre";
    }
    // Loudness within a section stays steady, second by second: no drop-outs.
    for (double t = 8.0; t + 1.0 <= 122.0; t += 1.0) EXPECT_GT(measure(sound, t, t + 1.0).rms, 0.02) << t << " s";
    const double end = double(sound.left.size()) / renderRate;
    EXPECT_LT(measure(sound, end - 0.05, end).peak, 0.001) << "the song ends in silence, so a loop or a stop cuts nothing";
}

// One note per pitch, each held for eight rows, rendered and measured by autocorrelation.
double measuredCents(const std::string& instrument, int note) {
    static const char* names[] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    const std::string name = names[(note - 1) % 12] + std::to_string((note - 1) / 12);
    const std::string text = "tempo 120 6\nchannels a b\ninstrument " + instrument + " 64 128\nclip c " + instrument +
                             " " + name + " .*7\npattern p 8\n  a c\norder p\n";
    XmModule module;
    std::string error;
    EXPECT_TRUE(buildMusicModule(text, &module, &error)) << error;
    openmpt::module player(encodeXm(module));
    std::vector<float> sound(renderRate);
    player.read(renderRate, sound.size(), sound.data());
    const double hz = 440.0 * std::pow(2.0, (note - 58) / 12.0);
    const std::size_t from = renderRate / 5, length = renderRate / 5;
    auto correlation = [&](int lag) {
        double s = 0, e1 = 0, e2 = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            s += sound[i] * sound[i + lag];
            e1 += sound[i] * sound[i];
            e2 += sound[i + lag] * sound[i + lag];
        }
        return s / std::sqrt(e1 * e2 + 1e-30);
    };
    // Four periods: finer resolution, and still one clear peak near the expected lag.
    const double expected = 4.0 * renderRate / hz;
    int best = int(expected);
    for (int lag = int(expected * 0.97); lag <= int(expected * 1.03) + 1; ++lag)
        if (correlation(lag) > correlation(best)) best = lag;
    const double a = correlation(best - 1), b = correlation(best), c = correlation(best + 1);
    const double lag = best + 0.5 * (a - c) / (a - 2 * b + c);
    return 1200.0 * std::log2(expected / lag);
}

TEST(MusicInstruments, PlayAtConcertPitch) {
    const std::map<std::string, std::vector<int>> notes = {
        {"sine", {22, 49, 58, 73}}, {"bass", {18, 22, 34}}, {"pad", {44, 49, 58}},
        {"lead", {56, 60, 61, 72, 73, 82}}, {"pluck", {54, 60, 61, 73}}};
    for (const auto& [instrument, list] : notes)
        for (int note : list) EXPECT_NEAR(measuredCents(instrument, note), 0.0, 5.0) << instrument << " note " << note;
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

const char* smallSong = R"(
tempo 120 6
channels lead echo pad:2 fx:2
pan pad 64 192
legato pad
echo echo lead 2 50
instrument lead 40 128
instrument pad 32 128
clip tune lead C-5 . D-5/20 off
clip chord pad C-4,E-4 . C-4,G-4 .
pattern p 8
  lead tune
  pad  chord*2
order p
)";

const XmCell& cellAt(const XmModule& m, int order, int row, int column) {
    return m.patterns.at(m.orders.at(order)).cells.at(std::size_t(row * m.channels + column));
}

TEST(MusicText, TiesEchoesAndPanningFollowTheNotation) {
    XmModule m;
    std::string error;
    ASSERT_TRUE(buildMusicModule(smallSong, &m, &error)) << error;
    ASSERT_EQ(m.channels, 6);
    EXPECT_EQ(cellAt(m, 0, 0, 0).note, 61);  // C-5
    EXPECT_EQ(cellAt(m, 0, 0, 0).instrument, 1);
    EXPECT_EQ(cellAt(m, 0, 2, 0).volume, 0x10 + 20);
    EXPECT_EQ(cellAt(m, 0, 3, 0).note, xmKeyOff);
    // The echo repeats two rows later at half volume (the instrument's 40 when the note gives none).
    EXPECT_EQ(cellAt(m, 0, 2, 1).note, 61);
    EXPECT_EQ(cellAt(m, 0, 2, 1).volume, 0x10 + 20);
    EXPECT_EQ(cellAt(m, 0, 4, 1).volume, 0x10 + 10);
    EXPECT_EQ(cellAt(m, 0, 5, 1).note, xmKeyOff);
    // The pad's lower voice keeps C-4 through both chords; the upper moves; each struck note gets its panning.
    EXPECT_EQ(cellAt(m, 0, 0, 2).note, 49);
    EXPECT_EQ(cellAt(m, 0, 0, 2).effect, 8);
    EXPECT_EQ(cellAt(m, 0, 0, 2).param, 64);
    EXPECT_EQ(cellAt(m, 0, 2, 2).note, 0);
    EXPECT_EQ(cellAt(m, 0, 4, 2).note, 0);
    EXPECT_EQ(cellAt(m, 0, 2, 3).note, 56);  // G-4
    EXPECT_EQ(cellAt(m, 0, 2, 3).param, 192);
    EXPECT_EQ(cellAt(m, 0, 4, 3).note, 53);  // E-4 again
}

TEST(MusicText, RefusesFaultyDescriptionsWithTheLine) {
    const std::string head = "tempo 120 6\nchannels a b\ninstrument lead 40 128\n";  // lines 1-3
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + "clip c lead H-4\n", "line 4: bad note 'H-4'"},
        {head + "clip c lead C-4:F00\n", "line 4: F00"},
        {head + "clip c lead C-4:E61\n", "line 4: effect E6x"},
        {head + "clip c lead C-4:A00\n", "line 4: effect 'A00' needs its own parameter"},
        {head + "clip c lead C-4,E-4\npattern p 4\n  a c\norder p\n", "line 6: pattern 'p', channel 'a': clip 'c'"},
        {head + "clip c lead C-4*5\npattern p 4\n  a c\norder p\n", "clips run past the pattern's 4 rows"},
        {head + "pattern p 4\n  a nothing\norder p\n", "line 5: unknown clip 'nothing'"},
        {head + "clip c lead C-4\npattern p 4\n  b c\n  b c\norder p\n", "row 0, voice 0 is set twice"},
        {head + "clip c lead B-7\npattern p 4\n  a c+1\norder p\n", "transposed out of C-0..B-7"},
        {"tempo 120 6\nchannels a b\ninstrument bass 40 128\nclip c bass C-7\npattern p 4\n  a c\norder p\n",
         "row 0, channel 0: cell out of range or note unplayable"},
        {"channels a b c\n", "line 1: channel voices must add up to an even number"},
        {"tempo 120 6\nchannels a b\necho b a 2 50\ninstrument lead 40 128\nclip c lead . . . C-4\n"
         "pattern p 4\n  a c\norder p\n", "the echo would change after the loop"},
        {head + "clip c kazoo C-4\n", "line 4: unknown instrument 'kazoo'"},
        {"tempo 120 6\nchannels a b\ninstrument kazoo 40 128\nclip c kazoo C-4\npattern p 4\n  a c\norder p\n",
         "no recipe for instrument 'kazoo'"},
        {head + "clip c lead C-4\npattern p 4\n  a c\norder p\nrestart 1\n", "restart lies beyond the order list"},
        {head + "  C-4\n", "line 4: indented line outside"},
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
