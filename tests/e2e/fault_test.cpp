// Faults a watchdog meets when it runs unattended: missing or broken child programs, odd output,
// damaged or locked settings, a renamed executable, a locked restart batch, awkward folders, and
// closing at the worst moments. Each must end as designed, with nothing lost.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "driver.h"

using namespace std::chrono_literals;

namespace {

std::string settingsFileWith(std::string_view value) { return "[PING]\r\n命令=" + std::string(value) + "\r\n"; }

// The fake ping's filler: byte i of a fill command is this line's byte i % 64.
std::string filler(std::size_t size) {
    static constexpr char kLine[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += kLine[i % 64];
    return bytes;
}

// A file held open by the test without write sharing: nobody else can write it meanwhile.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() {
        if (valid()) CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class FaultTest : public testing::Test {
protected:
    ProgramFolder folder;
};

TEST_F(FaultTest, APingThatCannotBeStartedLeavesTheLogEmptyAndTheWindowOpen) {
    // Found first, but not a program: creating the child fails exactly as when none is found.
    ASSERT_TRUE(writeFileBytes(folder.file("ping.exe"), "this is not a program\r\n"));
    folder.recordArguments("-t 127.0.0.1");
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(program.text(编辑框2), "-t 127.0.0.1");
    EXPECT_FALSE(program.enabled(按钮1));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(program.text(编辑框1), "");
    EXPECT_EQ(program.text(标签5), "0");
    program.close();
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
}

TEST_F(FaultTest, AGbkCharacterSplitBetweenReadsIsNeitherJoinedNorCounted) {
    folder.recordArguments("-t 127.0.0.1");
    folder.setPingScript("out \\xC7\nsleep 200\nout \\xEB\\xC7\\xF3\\xB3\\xAC\\xCA\\xB1\\r\\n\nsleep 200\nout end\n");
    RunningProgram program(folder.exePath());
    ASSERT_TRUE(waitUntil([&] {
        const std::string log = program.text(编辑框1);
        return log.size() >= 3 && log.compare(log.size() - 3, 3, "end") == 0;
    })) << program.text(编辑框1);
    EXPECT_EQ(program.text(标签5), "0") << "请求超时 arrived split and is not counted";
    EXPECT_EQ(program.text(编辑框1).find("请求超时"), std::string::npos) << "the pieces were joined again";
}

TEST_F(FaultTest, ReadsOfExactly4095BytesArriveWhole) {
    folder.recordArguments("-t 127.0.0.1");
    // 4095 bytes, then one write of 8190 that the pipe hands over as two full reads.
    folder.setPingScript("fill out 4095 4095\nsleep 200\nfill out 8190 8190\n");
    RunningProgram program(folder.exePath());
    const std::string expected = filler(4095) + filler(8190);
    EXPECT_TRUE(program.waitForText(编辑框1, expected)) << program.text(编辑框1).size() << " bytes in the log";
}

struct SettingsFileCase {
    const char* name;
    std::string bytes;
    std::string expectedArguments;  // what 编辑框2 shows; empty: idle
};

std::string longValue() {
    std::string value = "-t 127.0.0.1 ";
    while (value.size() < 12000) value += 'x';
    return value;
}

class DamagedSettingsFileTest : public testing::TestWithParam<SettingsFileCase> {};

TEST_P(DamagedSettingsFileTest, StartsAsTheReadableValueSays) {
    const SettingsFileCase& settings = GetParam();
    ProgramFolder folder;
    ASSERT_TRUE(writeFileBytes(folder.file("c.ini"), settings.bytes));
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(program.text(编辑框2), settings.expectedArguments);
    EXPECT_EQ(program.enabled(按钮1), settings.expectedArguments.empty());
    if (!settings.expectedArguments.empty()) {
        EXPECT_TRUE(waitUntil([&] { return !folder.pingCommandLines().empty(); }));
        EXPECT_EQ(folder.pingCommandLines(), "ping " + settings.expectedArguments + "\n");
    }
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), settings.bytes) << "reading never changes c.ini";
    program.close();
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DamagedSettingsFileTest,
    testing::Values(
        SettingsFileCase{"ValueOf12000Bytes", settingsFileWith(longValue()), longValue().substr(0, 10239)},
        SettingsFileCase{"BinaryJunk", std::string("\x00\xff\xfe[\x01\x02PING\x00]\r\n\x80\x5c=\x00\x81", 19), ""},
        SettingsFileCase{"NoFinalLineEnd", "[PING]\r\n命令=-n 2 127.0.0.2", "-n 2 127.0.0.2"},
        SettingsFileCase{"OtherKeysAround", "[A]\r\nx=1\r\n[PING]\r\nother=1\r\n命令=-n 1 127.0.0.1\r\n[B]\r\ny=2\r\n",
                         "-n 1 127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaultTest, ASettingsFileThatCannotBeReadOpensIdle) {
    ASSERT_TRUE(writeFileBytes(folder.file("c.ini"), settingsFileWith("-t 127.0.0.1")));
    // Held without any sharing: the profile reader cannot open it.
    HANDLE lock = CreateFileA(folder.file("c.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        EXPECT_EQ(program.text(编辑框2), "");
        EXPECT_TRUE(program.enabled(按钮1));
        program.close();
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    CloseHandle(lock);
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), settingsFileWith("-t 127.0.0.1"));
}

TEST_F(FaultTest, ARenamedExecutableRecordsButDoesNotRestart) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    ASSERT_TRUE(MoveFileA(folder.exePath().c_str(), folder.file("Renamed.exe").c_str()));
    program.setText(编辑框2, "-n 1 127.0.0.1");
    program.click(按钮1);
    EXPECT_FALSE(program.waitForExit(3s).has_value()) << "the program must go on when it cannot restart";
    EXPECT_FALSE(program.showsMessageBox());
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), settingsFileWith("-n 1 127.0.0.1")) << "the value stays recorded";
    EXPECT_FALSE(fileExists(folder.file("Restart.bat")));
    EXPECT_EQ(findProcessByImage(folder.file("Renamed.exe"), program.processId()), 0u) << "a second instance started";
    program.close();
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
}

TEST_F(FaultTest, ARestartBatchThatCannotBeWrittenStillEndsTheProgram) {
    // An older batch that cannot be replaced meanwhile: it is what runs, and the program ends as
    // after any restart.
    ASSERT_TRUE(writeFileBytes(folder.file("Restart.bat"), "@shutdown older-batch\r\n"));
    HeldFile held(folder.file("Restart.bat"));
    ASSERT_TRUE(held.valid());
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    program.setText(编辑框2, "-n 1 127.0.0.1");
    program.click(按钮1);
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(readFileBytes(folder.file("c.ini")), settingsFileWith("-n 1 127.0.0.1"));
    EXPECT_EQ(readFileBytes(folder.file("Restart.bat")), "@shutdown older-batch\r\n");
    EXPECT_TRUE(waitUntil([&] { return folder.shutdownCommandLines().find("older-batch") != std::string::npos; }))
        << "the older batch was run";
}

TEST_F(FaultTest, EscDuringThePauseBeforeTheRestartDoesNotStopTheRestart) {
    DWORD oldProcessId = 0;
    {
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        oldProcessId = program.processId();
        program.setText(编辑框2, "-n 2 127.0.0.2");
        program.click(按钮1);
        std::this_thread::sleep_for(300ms);
        program.pressKey(VK_ESCAPE);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    DWORD newProcessId = 0;
    ASSERT_TRUE(
        waitUntil([&] { return (newProcessId = findProcessByImage(folder.exePath(), oldProcessId)) != 0; }, 30s));
    RunningProgram restarted(newProcessId);
    ASSERT_NE(restarted.window(), nullptr);
    EXPECT_EQ(restarted.text(编辑框2), "-n 2 127.0.0.2");
    restarted.close();
    EXPECT_EQ(restarted.waitForExit(), std::optional<DWORD>(0));
}

TEST_F(FaultTest, ClosingWhileStreaming200TimesInARowAlwaysEndsWithExitCodeZero) {
    folder.recordArguments("-t 127.0.0.1");
    folder.setPingScript("repeat 1000000 out 请求超时。来自 127.0.0.1 的回复: 字节=32 时间<1ms TTL=128\\r\\n\n");
    int failures = 0;
    for (int round = 0; round < 200 && failures < 3; ++round) {
        SCOPED_TRACE(round);
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return !program.text(编辑框1).empty(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(7 * (round % 13)));
        program.close();
        const auto exitCode = program.waitForExit();
        EXPECT_EQ(exitCode, std::optional<DWORD>(0));
        EXPECT_FALSE(program.showsMessageBox());
        if (exitCode != std::optional<DWORD>(0)) ++failures;
        terminateProcessesInFolder(folder.path());
    }
}

// The harness maps drive R: to an empty folder of its own.
class DriveRootTest : public testing::Test {
protected:
    void SetUp() override {
        if (GetFileAttributesA("R:\\") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "this Wine session has no drive R:";
        terminateProcessesInFolder("R:");
        emptyRoot();
        const std::string fakes = windowsPathOf(QUORVANE_FAKES_DIR);
        ASSERT_TRUE(CopyFileA(windowsPathOf(QUORVANE_EXE).c_str(), "R:\\Quorvane.exe", FALSE));
        ASSERT_TRUE(CopyFileA((fakes + "\\ping.exe").c_str(), "R:\\ping.exe", FALSE));
        ASSERT_TRUE(CopyFileA((fakes + "\\shutdown.exe").c_str(), "R:\\shutdown.exe", FALSE));
    }
    void TearDown() override {
        terminateProcessesInFolder("R:");
        emptyRoot();
    }
    static void emptyRoot() {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA("R:\\*", &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree("R:\\" + name);
            else
                DeleteFileA(("R:\\" + name).c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
};

TEST_F(DriveRootTest, AProgramAtADriveRootMonitorsRecordsAndRestarts) {
    ASSERT_TRUE(writeFileBytes("R:\\c.ini", settingsFileWith("-n 1 127.0.0.1")));
    {
        RunningProgram program("R:\\Quorvane.exe");
        ASSERT_NE(program.window(), nullptr);
        EXPECT_EQ(program.text(编辑框2), "-n 1 127.0.0.1");
        EXPECT_TRUE(waitUntil([] { return readFileBytes("R:\\ping-cmdline.txt") == "ping -n 1 127.0.0.1\n"; }));
        program.close();
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    ASSERT_TRUE(DeleteFileA("R:\\c.ini"));
    DWORD oldProcessId = 0;
    {
        RunningProgram program("R:\\Quorvane.exe");
        ASSERT_NE(program.window(), nullptr);
        oldProcessId = program.processId();
        program.setText(编辑框2, "-n 2 127.0.0.2");
        program.click(按钮1);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    EXPECT_EQ(readFileBytes("R:\\c.ini"), settingsFileWith("-n 2 127.0.0.2"));
    DWORD newProcessId = 0;
    ASSERT_TRUE(
        waitUntil([&] { return (newProcessId = findProcessByImage("R:\\Quorvane.exe", oldProcessId)) != 0; }, 30s));
    RunningProgram restarted(newProcessId);
    ASSERT_NE(restarted.window(), nullptr);
    EXPECT_EQ(restarted.text(编辑框2), "-n 2 127.0.0.2");
    EXPECT_TRUE(waitUntil([] { return !fileExists("R:\\Restart.bat"); }, 15s));
    restarted.close();
    EXPECT_EQ(restarted.waitForExit(), std::optional<DWORD>(0));
}

}  // namespace
