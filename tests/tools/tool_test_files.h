// What the tools' tests share: files read whole, what a shell command or one of our tools prints,
// and a scratch folder of the test process's own (ctest runs tests as parallel processes).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A path or argument quoted for the shell.
inline std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (const char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct CommandOutput {
    int status = -1; // -1 when the command did not exit normally
    std::string text;
};

// Runs `command` in the shell and keeps its standard output.
inline CommandOutput commandOutput(const std::string& command)
{
    CommandOutput run;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.text.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

struct ToolRun {
    int status = -1; // -1 when the tool did not exit normally
    std::string out, err;
};

// Runs `${build}/tool arguments` with its output kept in scratchDir (created if needed).
inline ToolRun runTool(const std::string& tool, const std::string& arguments, const std::string& scratchDir)
{
    std::filesystem::create_directories(scratchDir);
    const std::string out = scratchDir + "/" + tool + ".stdout", err = scratchDir + "/" + tool + ".stderr";
    const CommandOutput run = commandOutput(std::string(TOVIRA_BINARY_DIR) + "/" + tool + " " + arguments + " > " +
                                            quoted(out) + " 2> " + quoted(err));
    return {run.status, readText(out), readText(err)};
}

// `name` with this process's id, in the build tree, created when missing.
inline std::filesystem::path scratchFolder(const std::string& name)
{
    const std::filesystem::path folder =
        std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / (name + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}
