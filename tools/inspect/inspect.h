// Subcommands of tovira-inspect. Each lives in its own source file and registers itself at
// start-up with a namespace-scope
//     static const bool registered = registerInspectCommand({"name", "ARGS", "what it shows", run});
#pragma once

#include <cstddef>
#include <string>

struct InspectCommand {
    const char* name;    // the first argument that selects it, e.g. "image"
    const char* args;    // what follows the name, for the usage text, e.g. "FILE"
    const char* summary; // one line for the usage text
    // Gets the arguments after the subcommand's name; returns the process exit code (0 when
    // the file was understood). Results go to standard output, problems to standard error.
    int (*run)(int argc, char** argv);
};

bool registerInspectCommand(const InspectCommand& command);

// SHA-256, as lower-case hex, of `rows` rows of `rowBytes` bytes each, `pitch` bytes apart.
std::string sha256OfRows(const unsigned char* first, size_t rowBytes, size_t pitch, size_t rows);
