// The show's data set for tests: generated once per test process into the build tree
// with the data generator, and the working directory switched to it for a test.
#pragma once

#include <filesystem>
#include <string>

// The directory holding data/ (generated on first use), or empty with the reason in
// *whyMissing when the generator is not built or fails.
std::filesystem::path showDataDirectory(std::string* whyMissing);

// Makes the data set's directory current for its lifetime, as the show expects to
// find data\ in the current directory.
class InDataDirectory {
public:
    explicit InDataDirectory(const std::filesystem::path& directory);
    ~InDataDirectory();
    InDataDirectory(const InDataDirectory&) = delete;
    InDataDirectory& operator=(const InDataDirectory&) = delete;

private:
    std::filesystem::path previous;
};

// In a test body: skips the test when there is no data set, otherwise makes it current.
#define ENTER_SHOW_DATA_OR_SKIP(guard)                                   \
    std::string whyNoData_;                                              \
    const std::filesystem::path dataDirectory_ = showDataDirectory(&whyNoData_); \
    if (dataDirectory_.empty())                                          \
        GTEST_SKIP() << whyNoData_;                                      \
    InDataDirectory guard(dataDirectory_)
