#include "show_data.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace {

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
        const std::filesystem::path target = std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / "show-data" /
                                             ("process-" + std::to_string(getpid()));
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
