// Recipes shared by the instrument table in music_synth.cpp: one-shot sounds rendered as plain signals.
#pragma once

#include <vector>

// Each returns a signal at `rate` Hz that starts and ends at zero, peak not yet normalised.
std::vector<double> synthKick(double rate);
std::vector<double> synthSnare(double rate);
std::vector<double> synthClap(double rate);
std::vector<double> synthHat(double rate, double decaySeconds, double lengthSeconds);
std::vector<double> synthCrash(double rate);
std::vector<double> synthRiser(double rate, double lengthSeconds);
// An inharmonic bell with its first partial at `hz`, partials kept below `limitHz`.
std::vector<double> synthBell(double rate, double hz, double limitHz);
