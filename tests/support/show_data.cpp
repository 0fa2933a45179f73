#include "show_data.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace {

// Data sets left behind by test processes that were killed before they could clean up.
void removeAbandonedDataSets(const std::filesystem::path& parent)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("process-", 0) != 0)
            continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + 8));
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), error);
    }
}

// Each test process gets a data set of its own, so that tests run side by side never
// see another's half-written files; it is removed when the process ends.
struct GeneratedData {
    std::filesystem::path directory;
    std::string whyMissing;

    GeneratedData()
    {
        const std::filesystem::path generator = std::filesystem::path(TOVIRA_BINARY_DIR) / "tovira-makedata";
        if (!std::filesystem::exists(generator)) {
            whyMissing = "no data set: the generator " + generator.string() + " is not built";
            return;
        }
        const std::filesystem::path parent = std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / "show-data";
        removeAbandonedDataSets(parent);
        const std::filesystem::path target = parent / ("process-" + std::to_string(getpid()));
        std::filesystem::remove_all(target);
        std::filesystem::create_directories(target);
        const std::string command =
            "\"" + generator.string() + "\" \"" + (target / "data").string() + "\" > /dev/null";
        if (std::system(command.c_str()) != 0) {
            whyMissing = "no data set: " + command + " failed";
            std::filesystem::remove_all(target);
            return;
        }
        directory = target;
    }

    ~GeneratedData()
    {
        std::error_code ignored;
        if (!directory.empty())
            std::filesystem::remove_all(directory, ignored);
    }
};

} // namespace

std::filesystem::path showDataDirectory(std::string* whyMissing)
{
    static const GeneratedData data;
    if (data.directory.empty() && whyMissing != nullptr)
        *whyMissing = data.whyMissing;
    return data.directory;
}

InDataDirectory::InDataDirectory(const std::filesystem::path& directory) : previous(std::filesystem::current_path())
{
    std::filesystem::current_path(directory);
}

InDataDirectory::~InDataDirectory()
{
    std::filesystem::current_path(previous);
}
