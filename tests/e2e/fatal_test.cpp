// Fatal errors end the program with an error box and, once it is dismissed, exit code -1.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

using namespace std::chrono_literals;

namespace {

struct FatalCase {
    const char* name;
    const char* argument;
    const char* messagePart;  // a piece of the box's text
};

std::string boxText(HWND box) {
    char text[512] = {};
    // The message text is the box's static control 0xFFFF.
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

class FatalErrorTest : public testing::TestWithParam<FatalCase> {};

TEST_P(FatalErrorTest, ShowsAnErrorBoxAndEndsWithExitCodeMinusOne) {
    const FatalCase& fatal = GetParam();
    ProgramFolder folder;
    const std::string probe = folder.file("fatal_probe.exe");
    ASSERT_TRUE(CopyFileA(windowsPathOf(QUORVANE_FATAL_PROBE).c_str(), probe.c_str(), FALSE));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + probe + "\" " + fatal.argument;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.path().c_str(), &startup, &process));
    HWND box = nullptr;
    // The box is found as soon as it exists; its text follows a moment later.
    EXPECT_TRUE(waitUntil(
        [&] {
            return (box = findTopLevelWindow(process.dwProcessId, "#32770", false)) != nullptr && !boxText(box).empty();
        },
        20s))
        << "no error box";
    if (box) {
        EXPECT_NE(boxText(box).find(fatal.messagePart), std::string::npos) << boxText(box);
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 300), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the program must wait for the box to be dismissed";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, kFatalExitCode);
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

INSTANTIATE_TEST_SUITE_P(Fatal, FatalErrorTest,
                         testing::Values(FatalCase{"NoWindow", "no-window", "主窗口不存在"},
                                         FatalCase{"MissingControl", "missing-control", "4242"},
                                         FatalCase{"WindowCannotBeCreated", "window-cannot-be-created",
                                                   "无法载入启动窗口"},
                                         FatalCase{"StorageExhausted", "storage-exhausted", "字节"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
