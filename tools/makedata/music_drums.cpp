#include "music_dsp.h"
#include "music_synth_parts.h"

#include <cstddef>

namespace {

std::size_t frames(double rate, double seconds) { return static_cast<std::size_t>(rate * seconds); }

// Short linear ramps at both ends so a one-shot neither clicks on start nor stops on a non-zero value.
void fadeEdges(std::vector<double>& signal, double rate, double inSeconds, double outSeconds) {
    const std::size_t in = frames(rate, inSeconds), out = frames(rate, outSeconds), n = signal.size();
    for (std::size_t i = 0; i < in && i < n; ++i) signal[i] *= static_cast<double>(i) / static_cast<double>(in);
    for (std::size_t i = 0; i < out && i < n; ++i)
        signal[n - 1 - i] *= static_cast<double>(i) / static_cast<double>(out);
}

double decay(double t, double seconds) { return detExp(-t / seconds); }

}  // namespace

std::vector<double> synthKick(double rate) {
    std::vector<double> out(frames(rate, 0.5));
    NoiseSource noise(0x4B1C4u);
    Biquad clickFilter = Biquad::lowPass(rate, 3000.0, 0.7);
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double hz = 44.0 + 90.0 * decay(t, 0.045) + 200.0 * decay(t, 0.007);
        const double body = detSinTurns(phase) * decay(t, 0.32);
        const double click = clickFilter.process(noise.next()) * decay(t, 0.004) * 0.6;
        out[i] = detSoftClip(1.8 * (body + click));
        phase += hz / rate;
    }
    removeDc(out, rate, 12.0);
    fadeEdges(out, rate, 0.0003, 0.03);
    return out;
}

std::vector<double> synthSnare(double rate) {
    std::vector<double> out(frames(rate, 0.34));
    NoiseSource noise(0x5A4E3u);
    Biquad high = Biquad::highPass(rate, 1100.0, 0.7), low = Biquad::lowPass(rate, 9500.0, 0.7);
    double phase1 = 0.0, phase2 = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double body = 0.75 * detSinTurns(phase1) * decay(t, 0.05) + 0.35 * detSinTurns(phase2) * decay(t, 0.03);
        const double hiss = low.process(high.process(noise.next())) * decay(t, 0.095);
        out[i] = detSoftClip(1.4 * (body + 0.9 * hiss));
        phase1 += (182.0 + 70.0 * decay(t, 0.012)) / rate;
        phase2 += 334.0 / rate;
    }
    removeDc(out, rate, 20.0);
    fadeEdges(out, rate, 0.0005, 0.03);
    return out;
}

std::vector<double> synthClap(double rate) {
    std::vector<double> out(frames(rate, 0.45));
    NoiseSource noise(0xC1A9u);
    Biquad band = Biquad::bandPass(rate, 1200.0, 1.1), high = Biquad::highPass(rate, 700.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double envelope = 0.0;
        for (double start : {0.0, 0.0105, 0.0215})
            if (t >= start) envelope += decay(t - start, 0.0035);
        if (t >= 0.031) envelope += 0.8 * decay(t - 0.031, 0.12);
        out[i] = high.process(band.process(noise.next())) * envelope;
    }
    fadeEdges(out, rate, 0.0003, 0.04);
    return out;
}

std::vector<double> synthHat(double rate, double decaySeconds, double lengthSeconds) {
    std::vector<double> out(frames(rate, lengthSeconds));
    NoiseSource noise(0x4A7u);
    Biquad high = Biquad::highPass(rate, 7000.0, 0.7), band = Biquad::bandPass(rate, 10500.0, 0.9);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double x = noise.next();
        out[i] = (0.6 * high.process(x) + 0.9 * band.process(x)) * decay(t, decaySeconds);
    }
    fadeEdges(out, rate, 0.0005, lengthSeconds * 0.2);
    return out;
}

std::vector<double> synthCrash(double rate) {
    std::vector<double> out(frames(rate, 2.4));
    NoiseSource noise(0xC4A5Bu);
    Biquad high = Biquad::highPass(rate, 3200.0, 0.7), shimmer = Biquad::bandPass(rate, 5400.0, 2.5);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double x = noise.next();
        const double tone = high.process(x) + 1.5 * shimmer.process(x) * (1.0 - decay(t, 0.15));
        out[i] = tone * (0.35 * decay(t, 0.08) + decay(t, 0.75));
    }
    fadeEdges(out, rate, 0.002, 0.4);
    return out;
}

// Band-passed noise whose centre sweeps up five octaves while it swells.
std::vector<double> synthRiser(double rate, double lengthSeconds) {
    std::vector<double> out(frames(rate, lengthSeconds));
    NoiseSource noise(0x215E5u);
    Biquad band = Biquad::bandPass(rate, 250.0, 3.0), air = Biquad::highPass(rate, 2500.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double u = static_cast<double>(i) / static_cast<double>(out.size());
        if (i % 32 == 0) band.retune(Biquad::bandPass(rate, 250.0 * detPow2(5.0 * u), 3.0));
        const double x = noise.next();
        out[i] = (band.process(x) + 0.25 * u * air.process(x)) * u * u;
    }
    fadeEdges(out, rate, 0.0003, 0.01);
    return out;
}

std::vector<double> synthBell(double rate, double hz, double limitHz) {
    struct Partial {
        double ratio, level, seconds;
    };
    const Partial partials[] = {{1.0, 1.0, 1.5},   {2.0, 0.45, 0.9},  {3.0, 0.22, 0.6}, {4.17, 0.3, 0.45},
                                {5.43, 0.16, 0.3}, {6.79, 0.1, 0.22}, {8.21, 0.06, 0.16}};
    std::vector<double> out(frames(rate, 1.8), 0.0);
    for (const Partial& p : partials) {
        if (hz * p.ratio >= limitHz) continue;
        const double step = hz * p.ratio / rate;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            out[i] += p.level * detSinTurns(step * static_cast<double>(i)) * decay(t, p.seconds);
        }
    }
    fadeEdges(out, rate, 0.002, 0.15);
    return out;
}
