// A headless show with a window and a device, working in a scratch directory of its own
// under the build tree, as loadModel and loadAssets expect the show to be set up.
#pragma once

#include "assets.h"

#include <d3d8_host.h>
#include <win32_host.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

struct ShowDeviceTest : ::testing::Test {
    std::filesystem::path previousDirectory;
    std::filesystem::path directory;
    int objectsBefore = 0;

    // The scratch directory is named after the test and the process, so tests run side by
    // side never see each other's files.
    void SetUp() override
    {
        win32host::resetForTest();
        d3d8host::resetForTest();
        resetShowState();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = std::filesystem::path(TOVIRA_TEST_BINARY_DIR) / "show_device" / test->test_suite_name() /
                    (std::string(test->name()) + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory / "data");
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(directory);
    }

    void TearDown() override
    {
        releaseAssets();
        releaseShowDevice();
        resetShowState();
        d3d8host::setCallRecording(false);
        EXPECT_EQ(d3d8host::liveObjectCount(), 0);
        std::filesystem::current_path(previousDirectory);
        if (!HasFailure())
            std::filesystem::remove_all(directory);
    }

    // Device and Direct3D object released, so that another can be created.
    static void releaseShowDevice()
    {
        if (showState.device)
            std::exchange(showState.device, nullptr)->Release();
        if (showState.direct3d)
            std::exchange(showState.direct3d, nullptr)->Release();
    }

    // Window, Direct3D object and device as the show's start leaves them.
    void createShowDevice(const d3d8host::DeviceConfig& config = d3d8host::defaultDeviceConfig())
    {
        d3d8host::setDeviceConfig(config);
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "D3D FRAMEWORK";
        RegisterClassExA(&windowClass);
        showState.window = CreateWindowExA(0, "D3D FRAMEWORK", "dx demo", WS_POPUP, 0, 0, 640, 480, nullptr,
                                           nullptr, nullptr, nullptr);
        ASSERT_NE(showState.window, nullptr);
        showState.direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(showState.direct3d, nullptr);
        D3DPRESENT_PARAMETERS parameters = d3d8host::showPresentParameters();
        ASSERT_EQ(showState.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, showState.window,
                                                   D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                                   &showState.device),
                  D3D_OK);
        objectsBefore = d3d8host::liveObjectCount();
    }

    // The calls the device records from now on.
    static void startRecording()
    {
        d3d8host::clearRecordedCalls();
        d3d8host::setCallRecording(true);
    }
    static std::vector<std::string> recorded() { return d3d8host::recordedCalls(); }
};

// Every recorded line that starts with one of the prefixes, in order.
inline std::vector<std::string> callsStartingWith(const std::vector<std::string>& calls,
                                                  std::initializer_list<const char*> prefixes)
{
    std::vector<std::string> picked;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(picked), [&](const std::string& call) {
        return std::any_of(prefixes.begin(), prefixes.end(), [&](const char* p) { return call.starts_with(p); });
    });
    return picked;
}
