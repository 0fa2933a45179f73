// Runs one of our command-line tools from the build tree and keeps what it printed.
#pragma once

#include <string>

struct ToolRun {
    int status = -1; // exit status, or -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Runs `${build}/tool arguments` with output captured in scratchDir (created if needed).
ToolRun runTool(const std::string& tool, const std::string& arguments, const std::string& scratchDir);
