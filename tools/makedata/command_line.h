// The command line of tovira-makedata: [DIR] [--contact-sheet FILE.png].
#pragma once

#include <string>
#include <vector>

namespace makedata {

struct Options {
    std::string directory = "data";
    bool writeData = true;      // false when only a contact sheet was asked for
    std::string contactSheet;   // empty: none
    bool help = false;
};

// Reads the arguments after the program name; false with a reason in *error for an unknown option, a
// missing file name or a second directory.
bool parseArguments(const std::vector<std::string>& arguments, Options* options, std::string* error);

std::string usageText();

}  // namespace makedata
