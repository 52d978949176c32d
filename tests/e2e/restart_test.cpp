// Recording the ping arguments: 按钮1 stores them in c.ini and restarts the program through
// Restart.bat, and the new instance monitors with them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "driver.h"

using namespace std::chrono_literals;

namespace {

std::string settingsFileWith(std::string_view value) { return "[PING]\r\n命令=" + std::string(value) + "\r\n"; }

std::string lastLineOf(const std::string& lines) {
    std::string trimmed = lines;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    const auto start = trimmed.rfind('\n');
    return start == std::string::npos ? trimmed : trimmed.substr(start + 1);
}

struct RestartCase {
    const char* name;
    const char* folderSuffix;  // appended to the program folder's name
    const char* exeName;
    const char* arguments;
};

class RecordAndRestartTest : public testing::TestWithParam<RestartCase> {};

TEST_P(RecordAndRestartTest, RecordsTheArgumentsAndComesBackMonitoringThem) {
    const RestartCase& restart = GetParam();
    ProgramFolder folder(restart.folderSuffix, restart.exeName);
    DWORD oldProcessId = 0;
    {
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        oldProcessId = program.processId();
        ASSERT_TRUE(program.enabled(按钮1));
        program.setText(编辑框2, restart.arguments);
        program.click(按钮1);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), settingsFileWith(restart.arguments));

    DWORD newProcessId = 0;
    ASSERT_TRUE(
        waitUntil([&] { return (newProcessId = findProcessByImage(folder.exePath(), oldProcessId)) != 0; }, 30s))
        << "no new instance started";
    RunningProgram restarted(newProcessId);
    ASSERT_NE(restarted.window(), nullptr);
    EXPECT_EQ(restarted.text(编辑框2), restart.arguments);
    if (*restart.arguments) {
        EXPECT_FALSE(restarted.enabled(按钮1));
        EXPECT_TRUE(waitUntil([&] {
            return lastLineOf(folder.pingCommandLines()) == "ping " + std::string(restart.arguments);
        })) << folder.pingCommandLines();
    } else {
        EXPECT_TRUE(restarted.enabled(按钮1)) << "an empty value leaves the new instance idle";
    }
    EXPECT_TRUE(waitUntil([&] { return !fileExists(folder.file("Restart.bat")); }, 15s))
        << "Restart.bat deletes itself";
    restarted.close();
    EXPECT_EQ(restarted.waitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(
    Restart, RecordAndRestartTest,
    testing::Values(RestartCase{"PlainFolder", "", "Quorvane.exe", "-n 2 127.0.0.1"},
                    // Blanks split an unquoted batch path; 乗 (81 5C) carries a backslash byte.
                    RestartCase{"FolderWithBlanksAndChinese", " 网络 监控 乗", "Quorvane.exe", "-t 127.0.0.2"},
                    RestartCase{"LongExecutableName", "", "Quorvane watchdog tool.exe", "-n 3 127.0.0.3"},
                    RestartCase{"EmptyArguments", "", "Quorvane.exe", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordAndRestartPathTest, AProgramNamedAfterTheFolderBeforeItsBlankIsNeverRun) {
    ProgramFolder folder(" planted");
    // An unquoted "...\\Suite.Test planted\\Restart.bat" would run "...\\Suite.Test" first (the name
    // has an extension already, so none is added).
    const std::string folderPath = folder.path();
    const std::string planted = folderPath.substr(0, folderPath.size() - std::string(" planted").size());
    const std::string runs = planted.substr(0, planted.rfind('\\'));
    DeleteFileA((runs + "\\shutdown-cmdline.txt").c_str());
    ASSERT_TRUE(CopyFileA(folder.file("shutdown.exe").c_str(), planted.c_str(), FALSE));
    {
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        program.setText(编辑框2, "-n 1 127.0.0.1");
        program.click(按钮1);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    DWORD restartedId = 0;
    EXPECT_TRUE(waitUntil([&] { return (restartedId = findProcessByImage(folder.exePath())) != 0; }, 30s));
    if (restartedId) RunningProgram(restartedId).close();
    EXPECT_FALSE(fileExists(runs + "\\shutdown-cmdline.txt")) << "the planted program ran";
    DeleteFileA(planted.c_str());
}

TEST(RecordAndRestartFailureTest, ASettingsFileThatCannotBeWrittenChangesNothing) {
    ProgramFolder folder;
    const std::string original = settingsFileWith("") + "[OTHER]\r\nkeep=1\r\n";
    ASSERT_TRUE(writeFileBytes(folder.file("c.ini"), original));
    // Held open without sharing, so that no one else can write it.
    HANDLE lock = CreateFileA(folder.file("c.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        program.setText(编辑框2, "-n 1 127.0.0.1");
        program.click(按钮1);
        EXPECT_FALSE(program.waitForExit(2500ms).has_value()) << "the program went on";
        EXPECT_EQ(program.text(编辑框2), "-n 1 127.0.0.1");
        EXPECT_TRUE(program.enabled(按钮1));
        EXPECT_FALSE(program.showsMessageBox());
        EXPECT_FALSE(fileExists(folder.file("Restart.bat")));
        EXPECT_EQ(folder.pingCommandLines(), "");
    }
    CloseHandle(lock);
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), original);
}

}  // namespace
