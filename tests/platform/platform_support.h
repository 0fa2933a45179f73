// Helpers shared by the platform tests: a clean headless process per test, a window
// whose procedure records what it receives, and a scratch directory made current.
#pragma once

#include <gtest/gtest.h>
#include <win32_host.h>
#include <windows.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platformtest {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Received>& received()
{
    static std::vector<Received> messages;
    return messages;
}

// What the recording procedure does after recording; by default DefWindowProcA.
inline std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>& reaction()
{
    static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> handler;
    return handler;
}

inline LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received().push_back({window, message, wParam, lParam});
    if (reaction())
        return reaction()(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

inline std::vector<UINT> receivedMessages()
{
    std::vector<UINT> ids;
    for (const Received& r : received())
        ids.push_back(r.message);
    return ids;
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win32host::resetForTest();
        received().clear();
        reaction() = nullptr;
    }
    void TearDown() override
    {
        reaction() = nullptr;
        win32host::resetForTest();
    }

    static void registerTestClass()
    {
        WNDCLASSEXA wc{};
        wc.cbSize = 48;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TEST WINDOW";
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }

    // The program's window as it creates it: a 640x480 topmost popup at (0, 0).
    static HWND createTestWindow()
    {
        registerTestClass();
        HWND window = CreateWindowExA(WS_EX_TOPMOST, "TEST WINDOW", "test", WS_POPUP | WS_CLIPSIBLINGS |
                                      WS_CLIPCHILDREN, 0, 0, 640, 480, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        received().clear();
        return window;
    }
};

// Sets an environment variable for the lifetime of the object.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const char* value)
        : name_(name)
    {
        if (const char* previous = std::getenv(name))
            previous_ = previous;
        ::setenv(name, value, 1);
    }
    ~EnvironmentOverride() { previous_ ? ::setenv(name_.c_str(), previous_->c_str(), 1) : ::unsetenv(name_.c_str()); }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A fresh directory, current for the lifetime of the object.
class ScratchDirectory {
public:
    ScratchDirectory()
        : previous_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tovira-platform-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    void write(const std::string& relative, const std::string& bytes) const
    {
        std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

} // namespace platformtest
