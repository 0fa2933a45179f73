#include "music_dsp.h"

#include <cmath>

namespace {

// Taylor series of sin on |x| <= pi/2 up to x^15 (nested form); the first omitted term is below 1e-12.
double sinPolynomial(double x) {
    const double x2 = x * x;
    double sum = 1.0;
    for (double d : {210.0, 156.0, 110.0, 72.0, 42.0, 20.0, 6.0}) sum = 1.0 - x2 / d * sum;
    return x * sum;
}

}  // namespace

double detSinTurns(double turns) {
    double t = turns - std::floor(turns + 0.5);  // -0.5 .. 0.5
    if (t > 0.25) t = 0.5 - t;
    if (t < -0.25) t = -0.5 - t;
    return sinPolynomial(2.0 * musicPi * t);
}

double detCosTurns(double turns) { return detSinTurns(turns + 0.25); }

double detExp(double x) {
    if (x < -700.0) return 0.0;
    const double n = std::floor(x / musicLn2 + 0.5);
    const double r = x - n * musicLn2;  // |r| <= 0.35
    double sum = 1.0;
    for (int k = 14; k >= 1; --k) sum = 1.0 + r * sum / k;
    return std::ldexp(sum, static_cast<int>(n));
}

double detPow2(double x) { return detExp(x * musicLn2); }

double detSoftClip(double x) {
    if (x >= 3.0) return 1.0;
    if (x <= -3.0) return -1.0;
    const double x2 = x * x;
    return x * (27.0 + x2) / (27.0 + 9.0 * x2);
}

double xmNoteFrequency(int note) { return 440.0 * detPow2((note - 58) / 12.0); }

std::uint32_t NoiseSource::nextBits() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double NoiseSource::next() { return static_cast<double>(nextBits()) / 2147483648.0 - 1.0; }

namespace {

struct Rbj {
    double cosw, alpha;
};

Rbj rbj(double sampleRate, double hz, double q) {
    const double turns = hz / sampleRate;
    return {detCosTurns(turns), detSinTurns(turns) / (2.0 * q)};
}

}  // namespace

Biquad Biquad::lowPass(double sampleRate, double hz, double q) {
    const Rbj r = rbj(sampleRate, hz, q);
    const double a0 = 1.0 + r.alpha;
    Biquad f;
    f.b0_ = (1.0 - r.cosw) / 2.0 / a0;
    f.b1_ = (1.0 - r.cosw) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2.0 * r.cosw / a0;
    f.a2_ = (1.0 - r.alpha) / a0;
    return f;
}

Biquad Biquad::highPass(double sampleRate, double hz, double q) {
    const Rbj r = rbj(sampleRate, hz, q);
    const double a0 = 1.0 + r.alpha;
    Biquad f;
    f.b0_ = (1.0 + r.cosw) / 2.0 / a0;
    f.b1_ = -(1.0 + r.cosw) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2.0 * r.cosw / a0;
    f.a2_ = (1.0 - r.alpha) / a0;
    return f;
}

Biquad Biquad::bandPass(double sampleRate, double hz, double q) {
    const Rbj r = rbj(sampleRate, hz, q);
    const double a0 = 1.0 + r.alpha;
    Biquad f;
    f.b0_ = r.alpha / a0;
    f.b1_ = 0.0;
    f.b2_ = -r.alpha / a0;
    f.a1_ = -2.0 * r.cosw / a0;
    f.a2_ = (1.0 - r.alpha) / a0;
    return f;
}

double Biquad::process(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
}

void Biquad::retune(const Biquad& design) {
    b0_ = design.b0_;
    b1_ = design.b1_;
    b2_ = design.b2_;
    a1_ = design.a1_;
    a2_ = design.a2_;
}

std::vector<double> harmonicTable(const std::vector<double>& amplitudes, int size) {
    std::vector<double> sine(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) sine[static_cast<std::size_t>(i)] = detSinTurns(static_cast<double>(i) / size);
    std::vector<double> table(static_cast<std::size_t>(size), 0.0);
    for (std::size_t h = 0; h < amplitudes.size(); ++h) {
        if (amplitudes[h] == 0.0) continue;
        const long long step = static_cast<long long>(h + 1);
        for (long long i = 0; i < size; ++i)
            table[static_cast<std::size_t>(i)] += amplitudes[h] * sine[static_cast<std::size_t>((step * i) % size)];
    }
    return table;
}

double readTable(const std::vector<double>& table, double phase) {
    const auto size = static_cast<long long>(table.size());
    const double position = phase * static_cast<double>(size);
    const auto i = static_cast<long long>(std::floor(position));
    const double t = position - static_cast<double>(i);
    auto at = [&](long long k) { return table[static_cast<std::size_t>(((k % size) + size) % size)]; };
    const double p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    return p1 + 0.5 * t * (p2 - p0 + t * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + t * (3.0 * (p1 - p2) + p3 - p0)));
}

void removeDc(std::vector<double>& signal, double sampleRate, double hz) {
    const double r = 1.0 - 2.0 * musicPi * hz / sampleRate;
    double previousIn = 0.0, previousOut = 0.0;
    for (double& x : signal) {
        const double y = x - previousIn + r * previousOut;
        previousIn = x;
        previousOut = y;
        x = y;
    }
}

std::vector<std::int16_t> quantise(const std::vector<double>& signal, double peak) {
    double largest = 0.0;
    for (double x : signal) largest = std::fmax(largest, std::fabs(x));
    const double scale = largest > 0.0 ? peak * 32767.0 / largest : 0.0;
    std::vector<std::int16_t> out;
    out.reserve(signal.size());
    for (double x : signal) out.push_back(static_cast<std::int16_t>(std::lround(x * scale)));
    return out;
}
