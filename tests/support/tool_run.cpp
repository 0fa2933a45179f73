#include "tool_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

ToolRun runTool(const std::string& tool, const std::string& arguments, const std::string& scratchDir)
{
    std::filesystem::create_directories(scratchDir);
    const std::string out = scratchDir + "/" + tool + ".stdout";
    const std::string err = scratchDir + "/" + tool + ".stderr";
    const std::string command =
        std::string(TOVIRA_BINARY_DIR) + "/" + tool + " " + arguments + " > '" + out + "' 2> '" + err + "'";
    ToolRun run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readText(out);
    run.err = readText(err);
    return run;
}
