// tovira-makedata: writes the show's whole data set, deterministically, into a directory.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command_line.h"
#include "contact_sheet.h"
#include "dataset.h"

#if __has_include("music.h")
#include "music.h"
#define TOVIRA_MAKEDATA_MUSIC 1
#endif

using namespace makedata;

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "tovira-makedata: %s\n", message.c_str());
    return 1;
}

bool writeEverything(const Options& options, const std::vector<BuiltFile>& files, std::string* error)
{
    if (!writeFiles(options.directory, files, error)) {
        return false;
    }
#ifdef TOVIRA_MAKEDATA_MUSIC
    if (!writeMusic((std::filesystem::path(options.directory) / "pork.xm").string(), error)) {
        return false;
    }
#endif
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseArguments(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "tovira-makedata: %s\n%s", error.c_str(), usageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    // An unwritable directory is reported before a second is spent on building.
    if (options.writeData && !prepareDirectory(options.directory, &error)) {
        return fail(error);
    }
    std::vector<BuiltFile> files;
    if (!buildDataSet(&files, &error)) {
        return fail(error);
    }
    if (options.writeData && !writeEverything(options, files, &error)) {
        return fail(error);
    }
    if (!options.contactSheet.empty() && !writeContactSheet(files, options.contactSheet, &error)) {
        return fail(error);
    }
    return 0;
}
