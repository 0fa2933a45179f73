#include "command_line.h"

namespace makedata {

bool parseArguments(const std::vector<std::string>& arguments, Options* options, std::string* error)
{
    bool directoryGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--contact-sheet") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                *error = "--contact-sheet needs a file name";
                return false;
            }
            options->contactSheet = arguments[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (directoryGiven) {
            *error = "only one directory may be given (got " + options->directory + " and " + arg + ")";
            return false;
        } else if (arg.empty()) {
            *error = "the directory name is empty";
            return false;
        } else {
            options->directory = arg;
            directoryGiven = true;
        }
    }
    // A contact sheet alone does not touch the data directory unless one was named.
    options->writeData = directoryGiven || options->contactSheet.empty();
    return true;
}

std::string usageText()
{
    return "usage: tovira-makedata [DIR] [--contact-sheet FILE.png]\n"
           "  Writes the show's data set into DIR (default: data).\n"
           "  --contact-sheet FILE.png  also draws every picture, glyph and model on one sheet;\n"
           "                            without DIR the data set itself is then not written.\n";
}

}  // namespace makedata
