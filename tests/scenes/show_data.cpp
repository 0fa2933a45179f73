#include "show_data.h"

#include <cstdlib>

namespace {

std::filesystem::path generate(std::string* whyMissing)
{
    const std::filesystem::path generator = std::filesystem::path(TOVIRA_BINARY_DIR) / "tovira-makedata";
    if (!std::filesystem::exists(generator)) {
        *whyMissing = "no data set: the generator " + generator.string() + " is not built";
        return {};
    }
    const std::filesystem::path directory = std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / "scenes-data";
    const std::filesystem::path data = directory / "data";
    std::filesystem::create_directories(directory);
    const std::string command = "\"" + generator.string() + "\" \"" + data.string() + "\" > /dev/null";
    if (std::system(command.c_str()) != 0) {
        *whyMissing = "no data set: " + command + " failed";
        return {};
    }
    return directory;
}

} // namespace

std::filesystem::path showDataDirectory(std::string* whyMissing)
{
    static std::string reason;
    static const std::filesystem::path directory = generate(&reason);
    if (directory.empty() && whyMissing != nullptr)
        *whyMissing = reason;
    return directory;
}

InDataDirectory::InDataDirectory(const std::filesystem::path& directory) : previous(std::filesystem::current_path())
{
    std::filesystem::current_path(directory);
}

InDataDirectory::~InDataDirectory()
{
    std::filesystem::current_path(previous);
}
