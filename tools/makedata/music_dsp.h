// Sound synthesis building blocks that give the same bits on every IEEE-754 machine: they use only
// correctly rounded arithmetic (+, -, *, /) and exact operations (floor, ldexp, rounding to integers),
// never the platform's transcendental functions, whose last bits vary between libraries.
#pragma once

#include <cstdint>
#include <vector>

constexpr double musicPi = 3.14159265358979323846;
constexpr double musicLn2 = 0.69314718055994530942;

// sin(2*pi*turns).
double detSinTurns(double turns);
double detCosTurns(double turns);
double detExp(double x);
double detPow2(double x);
// Smooth saturation in -1..1, odd, steepness 1 at zero (a rational tanh approximation, clamped).
double detSoftClip(double x);

// Frequency in Hz of an XM note (49 = C-4, 58 = A-4 = 440 Hz).
double xmNoteFrequency(int note);

// xorshift32 white noise in [-1, 1).
class NoiseSource {
public:
    explicit NoiseSource(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    double next();
    std::uint32_t nextBits();

private:
    std::uint32_t state_;
};

// Direct-form I biquad with RBJ cookbook designs.
class Biquad {
public:
    static Biquad lowPass(double sampleRate, double hz, double q);
    static Biquad highPass(double sampleRate, double hz, double q);
    static Biquad bandPass(double sampleRate, double hz, double q);
    double process(double x);
    // Takes another design's coefficients and keeps this filter's history, for sweeps.
    void retune(const Biquad& design);

private:
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// One period of a waveform built from harmonics 1..amplitudes.size(), sampled at `size` points.
std::vector<double> harmonicTable(const std::vector<double>& amplitudes, int size);

// Cubic (Catmull-Rom) reading of a periodic table at position 0 <= phase < 1.
double readTable(const std::vector<double>& table, double phase);

// Removes DC with a first-order high-pass at `hz`.
void removeDc(std::vector<double>& signal, double sampleRate, double hz);

// Scales to the given peak and rounds to 16 bits.
std::vector<std::int16_t> quantise(const std::vector<double>& signal, double peak);
