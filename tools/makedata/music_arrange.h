// Turns a parsed song into XM patterns and the order list.
#pragma once

#include "music_song.h"
#include "xm_writer.h"

// Fills the module's header fields, patterns and orders (instruments are left to the caller). Every
// order entry is laid out on its own first, so ties, echoes and panning follow the song as it plays;
// identical results are then stored once.
bool arrangeSong(const Song& song, XmModule* module, std::string* error);
