// The music's instruments, synthesised from fixed recipes: same samples on every run.
#pragma once

#include "xm_writer.h"

#include <string>
#include <vector>

// Every sample is tuned with relative note and finetune chosen first and then synthesised at the rate
// those imply, so the linear frequency table plays it at concert pitch without rounding error.
constexpr int synthRelativeNoteAtC4 = 29;
constexpr int synthFinetune = -24;
double synthSampleRate();  // rate at which a sample plays at its root note (about 44172 Hz)

// Names of the recipes: drums "kick", "snare", "clap", "hatc", "hato", "crash", "riser"; tones "bass",
// "pad", "lead", "pluck", "bell"; and "sine", a pure reference tone.
std::vector<std::string> synthInstrumentNames();

// Builds the named instrument with sample volume 64 and centre panning; false for an unknown name.
bool synthesiseInstrument(const std::string& name, XmInstrument* out);
