#include "show_data.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Each test process gets a data set of its own, so that tests run side by side never
// see another's half-written files; it is removed when the process ends, and those of
// processes killed before they could clean up are removed by the next one.
struct GeneratedData {
    fs::path directory;
    std::string whyMissing;

    GeneratedData()
    {
        const fs::path generator = fs::path(TOVIRA_BINARY_DIR) / "tovira-makedata";
        const fs::path parent = fs::path(TOVIRA_TEST_BINARY_DIR) / "show-data";
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(parent, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("process-", 0) != 0)
                continue;
            const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + 8));
            if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
                fs::remove_all(entry.path(), error);
        }
        const fs::path target = parent / ("process-" + std::to_string(getpid()));
        fs::remove_all(target);
        fs::create_directories(target);
        std::string command = "\"";
        command.append(generator.string()).append("\" \"").append((target / "data").string()).append("\" > /dev/null");
        if (!fs::exists(generator) || std::system(command.c_str()) != 0) {
            whyMissing = "no data set: " + command + " failed";
            fs::remove_all(target);
            return;
        }
        directory = target;
    }

    ~GeneratedData()
    {
        std::error_code ignored;
        if (!directory.empty())
            fs::remove_all(directory, ignored);
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

InDataDirectory::InDataDirectory(const fs::path& directory) : previous(fs::current_path())
{
    fs::current_path(directory);
}

InDataDirectory::~InDataDirectory() { fs::current_path(previous); }
