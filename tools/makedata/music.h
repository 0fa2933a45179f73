// The show's music: the module "pork.xm", made from the text description in music/pork.txt and
// instruments synthesised in code. The result is the same bytes on every run and every machine.
#pragma once

#include "xm_writer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Writes the show's module to `path`; on failure returns false with a message and leaves no promise
// about the file's contents.
bool writeMusic(const std::string& path, std::string* error);

// The show's module as bytes.
bool buildMusic(std::vector<std::uint8_t>* bytes, std::string* error);

// Builds a module from any description in the same notation.
bool buildMusicModule(std::string_view description, XmModule* module, std::string* error);
