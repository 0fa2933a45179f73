#include "music_synth.h"

#include "music_dsp.h"
#include "music_synth_parts.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

constexpr double samplePeak = 0.891;   // -1 dBFS
constexpr int tableSize = 8192;
constexpr double highestPartialHz = 19000.0;
constexpr int noteC4 = 49;

// A waveform family: a sine on the fundamental, a saw and a square, through a 12 dB/octave roll-off.
struct Timbre {
    double sine = 0.0;
    double saw = 0.0;
    double square = 0.0;
    double cutoffHz = 1e9;
};

double harmonicAmplitude(const Timbre& timbre, int h, double fundamentalHz) {
    const double base = (h == 1 ? timbre.sine : 0.0) + timbre.saw / h + (h % 2 == 1 ? timbre.square / h : 0.0);
    const double x = h * fundamentalHz / timbre.cutoffHz;
    return base / (1.0 + x * x);
}

std::vector<double> timbreTable(const Timbre& timbre, int harmonics, double fundamentalHz, int fromHarmonic = 1) {
    std::vector<double> amplitudes;
    for (int h = 1; h <= harmonics; ++h)
        amplitudes.push_back(h < fromHarmonic ? 0.0 : harmonicAmplitude(timbre, h, fundamentalHz));
    return harmonicTable(amplitudes, tableSize);
}

// A looped tone: an attack that morphs from one timbre to another, then a loop of whole periods. Chorus
// voices, detuned, add only the upper harmonics: detuned copies of the fundamental would beat into a
// slow tremolo. They too hold whole numbers of periods per loop, so the loop repeats exactly.
struct ToneRecipe {
    int rootNote = noteC4;
    int topNote = noteC4;
    double loopSeconds = 0.1;
    Timbre attack, sustain;
    double attackSeconds = 0.0;
    std::vector<double> chorusCents;
    double chorusLevel = 0.0;
    int chorusFromHarmonic = 3;
    std::uint32_t seed = 1;
};

struct LoopFit {
    long long length = 1;
    long long periods = 1;
};

// The loop length near `seconds` that holds a whole number of periods most exactly.
LoopFit fitLoop(double period, double seconds, double rate) {
    const long long first = std::llround(seconds * rate);
    LoopFit best;
    double bestError = 1e30;
    for (long long length = first; length <= first + static_cast<long long>(std::ceil(period)); ++length) {
        const double cycles = static_cast<double>(length) / period;
        const long long periods = std::llround(cycles);
        const double error = std::fabs(cycles - static_cast<double>(periods)) / cycles;
        if (periods >= 1 && error < bestError) {
            bestError = error;
            best = {length, periods};
        }
    }
    return best;
}

struct VoiceTables {
    std::vector<double> attack;
    std::vector<double> sustain;
    long long attackFrames = 0;
    double level = 1.0;
};

// Every tone starts with a short fade-in ahead of its loop, so a note never starts on a jump.
constexpr double fadeInSeconds = 0.001;

long long attackFrames(const ToneRecipe& recipe) {
    return std::llround(std::max(recipe.attackSeconds, 2.0 * fadeInSeconds) * synthSampleRate());
}

void fadeIn(std::vector<double>& signal) {
    const auto frames = static_cast<std::size_t>(std::llround(fadeInSeconds * synthSampleRate()));
    for (std::size_t i = 0; i < frames && i < signal.size(); ++i)
        signal[i] *= static_cast<double>(i) / static_cast<double>(frames);
}

VoiceTables voiceTables(const ToneRecipe& recipe, int harmonics, double rootHz, int fromHarmonic, double level) {
    return {timbreTable(recipe.attack, harmonics, rootHz, fromHarmonic),
            timbreTable(recipe.sustain, harmonics, rootHz, fromHarmonic), attackFrames(recipe), level};
}

void addVoice(std::vector<double>& out, long long periods, long long offset, long long loop, const VoiceTables& t) {
    for (long long i = 0; i < static_cast<long long>(out.size()); ++i) {
        const double phase = static_cast<double>((periods * i + offset) % loop) / static_cast<double>(loop);
        double morph = 0.0;
        if (i < t.attackFrames) {
            const double remaining = 1.0 - static_cast<double>(i) / static_cast<double>(t.attackFrames);
            morph = remaining * remaining;
        }
        double value = (1.0 - morph) * readTable(t.sustain, phase);
        if (morph > 0.0) value += morph * readTable(t.attack, phase);
        out[static_cast<std::size_t>(i)] += t.level * value;
    }
}

// The phase (0..1) of the table's gentlest zero crossing: a note started there needs no click-prone jump.
double quietestStart(const std::vector<double>& table) {
    std::size_t best = 0;
    double bestSlope = 1e30;
    for (std::size_t j = 0; j + 1 < table.size(); ++j) {
        const double slope = std::fabs(table[j + 1] - table[j]);
        if ((table[j] <= 0.0) != (table[j + 1] <= 0.0) && slope < bestSlope) {
            bestSlope = slope;
            best = j;
        }
    }
    return static_cast<double>(best) / static_cast<double>(table.size());
}

XmSample tunedSample(const std::string& name, const std::vector<double>& signal, int rootNote, int octavesDown) {
    XmSample sample;
    sample.name = name;
    sample.pcm = quantise(signal, samplePeak);
    sample.relativeNote = static_cast<std::int8_t>(synthRelativeNoteAtC4 + noteC4 - rootNote - 12 * octavesDown);
    sample.finetune = static_cast<std::int8_t>(synthFinetune);
    return sample;
}

XmSample buildTone(const std::string& name, const ToneRecipe& recipe) {
    const double rate = synthSampleRate();
    const double rootHz = xmNoteFrequency(recipe.rootNote);
    const LoopFit loop = fitLoop(rate / rootHz, recipe.loopSeconds, rate);
    const int harmonics = std::max(1, static_cast<int>(highestPartialHz / xmNoteFrequency(recipe.topNote + 1)));
    const VoiceTables core = voiceTables(recipe, harmonics, rootHz, 1, 1.0);
    std::vector<double> signal(static_cast<std::size_t>(core.attackFrames + loop.length), 0.0);
    NoiseSource random(recipe.seed);
    auto randomOffset = [&] { return static_cast<long long>(random.nextBits() % static_cast<std::uint32_t>(loop.length)); };
    const auto start = std::llround(quietestStart(core.attack) * static_cast<double>(loop.length) /
                                    static_cast<double>(loop.periods));
    addVoice(signal, loop.periods, start, loop.length, core);
    if (!recipe.chorusCents.empty()) {
        const VoiceTables chorus = voiceTables(recipe, harmonics, rootHz, recipe.chorusFromHarmonic, recipe.chorusLevel);
        for (double cents : recipe.chorusCents) {
            const double ratio = detPow2(cents / 1200.0) - 1.0;
            const long long periods = loop.periods + std::llround(static_cast<double>(loop.periods) * ratio);
            addVoice(signal, periods, randomOffset(), loop.length, chorus);
        }
    }
    fadeIn(signal);
    XmSample sample = tunedSample(name, signal, recipe.rootNote, 0);
    sample.loopStart = static_cast<std::uint32_t>(core.attackFrames);
    sample.loopLength = static_cast<std::uint32_t>(loop.length);
    return sample;
}

// One sample per key range: each range's root note, and the last note it plays.
struct KeyRange {
    int rootNote;
    int topNote;
};

void addTones(XmInstrument& instrument, const std::vector<KeyRange>& ranges, ToneRecipe recipe) {
    int lowNote = 1;
    for (const KeyRange& range : ranges) {
        recipe.rootNote = range.rootNote;
        recipe.topNote = range.topNote;
        recipe.seed += 17;
        const auto index = static_cast<std::uint8_t>(instrument.samples.size());
        instrument.samples.push_back(buildTone(instrument.name + " " + std::to_string(range.rootNote), recipe));
        for (int note = lowNote; note <= 96; ++note) instrument.keymap[static_cast<std::size_t>(note - 1)] = index;
        lowNote = range.topNote + 1;
    }
}

XmEnvelope sustainedEnvelope(std::vector<XmEnvelopePoint> points) {
    XmEnvelope envelope;
    envelope.sustain = static_cast<std::uint8_t>(points.size() - 1);
    envelope.points = std::move(points);
    envelope.enabled = true;
    envelope.sustainOn = true;
    return envelope;
}

void addOneShot(XmInstrument& instrument, const std::vector<double>& signal, int rootNote, int octavesDown) {
    instrument.samples.push_back(tunedSample(instrument.name, signal, rootNote, octavesDown));
}

void makeBass(XmInstrument& in) {
    ToneRecipe recipe;
    recipe.loopSeconds = 0.05;
    recipe.attack = {0.3, 1.0, 0.6, 2600.0};
    recipe.sustain = {0.3, 1.0, 0.6, 520.0};
    recipe.attackSeconds = 0.09;
    addTones(in, {{25, 40}}, recipe);
    in.volumeEnvelope = sustainedEnvelope({{0, 64}, {4, 52}, {16, 42}});
    in.fadeout = 0x800;
}

void makePad(XmInstrument& in) {
    ToneRecipe recipe;
    recipe.loopSeconds = 2.0;
    recipe.chorusCents = {-7.0, 7.0, -17.0, 17.0};
    recipe.chorusLevel = 0.6;
    recipe.sustain = {0.0, 1.0, 0.15, 1900.0};
    recipe.attack = recipe.sustain;
    addTones(in, {{49, 62}}, recipe);
    in.volumeEnvelope = sustainedEnvelope({{0, 0}, {10, 64}});
    in.fadeout = 0x140;
}

void makeLead(XmInstrument& in) {
    ToneRecipe recipe;
    recipe.loopSeconds = 1.0;
    recipe.chorusCents = {6.0};
    recipe.chorusLevel = 0.4;
    recipe.attack = {0.0, 1.0, 0.6, 7500.0};
    recipe.sustain = {0.0, 1.0, 0.6, 3200.0};
    recipe.attackSeconds = 0.1;
    addTones(in, {{49, 60}, {61, 72}, {73, 86}}, recipe);
    in.volumeEnvelope = sustainedEnvelope({{0, 64}, {6, 54}, {20, 48}});
    in.fadeout = 0x600;
    in.vibrato = {0, 60, 6, 24};
}

void makePluck(XmInstrument& in) {
    ToneRecipe recipe;
    recipe.loopSeconds = 0.05;
    recipe.attack = {0.0, 1.0, 0.3, 9000.0};
    recipe.sustain = {0.0, 1.0, 0.3, 1400.0};
    recipe.attackSeconds = 0.2;
    addTones(in, {{49, 60}, {61, 76}}, recipe);
    in.volumeEnvelope.points = {{0, 64}, {3, 40}, {10, 20}, {24, 6}, {40, 0}};
    in.volumeEnvelope.enabled = true;
    in.fadeout = 0x800;
}

void makeSine(XmInstrument& in) {
    ToneRecipe recipe;
    recipe.loopSeconds = 0.1;
    recipe.sustain = {1.0, 0.0, 0.0, 1e9};
    recipe.attack = recipe.sustain;
    addTones(in, {{58, 96}}, recipe);
}

using Recipe = std::function<void(XmInstrument&)>;

const std::map<std::string, Recipe>& recipes() {
    static const std::map<std::string, Recipe> table = {
        {"kick", [](XmInstrument& in) { addOneShot(in, synthKick(synthSampleRate()), noteC4, 0); }},
        {"snare", [](XmInstrument& in) { addOneShot(in, synthSnare(synthSampleRate()), noteC4, 0); }},
        {"clap", [](XmInstrument& in) { addOneShot(in, synthClap(synthSampleRate()), noteC4, 0); }},
        {"hatc", [](XmInstrument& in) { addOneShot(in, synthHat(synthSampleRate(), 0.028, 0.15), noteC4, 0); }},
        {"hato", [](XmInstrument& in) { addOneShot(in, synthHat(synthSampleRate(), 0.2, 0.6), noteC4, 0); }},
        {"crash", [](XmInstrument& in) { addOneShot(in, synthCrash(synthSampleRate()), noteC4, 0); }},
        {"riser", [](XmInstrument& in) { addOneShot(in, synthRiser(synthSampleRate() / 2.0, 4.0), noteC4, 1); }},
        {"bell", [](XmInstrument& in) {
             addOneShot(in, synthBell(synthSampleRate(), xmNoteFrequency(61), highestPartialHz / 2.0), 61, 0);
         }},
        {"bass", makeBass},
        {"pad", makePad},
        {"lead", makeLead},
        {"pluck", makePluck},
        {"sine", makeSine},
    };
    return table;
}

}  // namespace

double synthSampleRate() { return 8363.0 * detPow2((synthRelativeNoteAtC4 + synthFinetune / 128.0) / 12.0); }

std::vector<std::string> synthInstrumentNames() {
    std::vector<std::string> names;
    for (const auto& entry : recipes()) names.push_back(entry.first);
    return names;
}

bool synthesiseInstrument(const std::string& name, XmInstrument* out) {
    const auto recipe = recipes().find(name);
    if (recipe == recipes().end()) return false;
    XmInstrument instrument;
    instrument.name = name;
    recipe->second(instrument);
    *out = std::move(instrument);
    return true;
}
