// Checks of the fake ping.exe and shutdown.exe themselves: the end-to-end tests rely on them
// writing exactly the bytes of their script, one write at a time, and on their records.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string windowsPath(std::string unixPath) {
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

std::string readAll(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void writeAll(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string filler(size_t from, size_t count) {
    static const char line[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    std::string bytes;
    for (size_t i = from; i < from + count; ++i) bytes += line[i % 64];
    return bytes;
}

// A started fake with its standard output and standard error on pipes of their own.
class Child {
public:
    explicit Child(std::string commandLine) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE outWrite = nullptr, errWrite = nullptr;
        CreatePipe(&out_, &outWrite, &inherit, 0);
        CreatePipe(&err_, &errWrite, &inherit, 0);
        SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process_) != FALSE;
        CloseHandle(outWrite);
        CloseHandle(errWrite);
    }
    ~Child() {
        if (started_) {
            TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        if (out_) CloseHandle(out_);
        if (err_) CloseHandle(err_);
    }

    bool started() const { return started_; }
    // One read of at most 4095 bytes; empty when the pipe has ended.
    std::string readOnce(bool fromErr = false) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(fromErr ? err_ : out_, buffer, 4095, &got, nullptr)) return {};
        return std::string(buffer, got);
    }
    std::string readToEnd(bool fromErr = false) {
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(fromErr ? err_ : out_, buffer, 4095, &got, nullptr)) bytes.append(buffer, got);
        return bytes;
    }
    void closeOutput() {
        CloseHandle(out_);
        out_ = nullptr;
    }
    // The exit code, or STILL_ACTIVE when the fake has not ended within the time.
    DWORD exitCode(DWORD timeoutMs = 10000) {
        if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

class FakesTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = windowsPath(QUORVANE_FAKES_RUNS_DIR) + "\\" + name;
        CreateDirectoryA(windowsPath(QUORVANE_FAKES_RUNS_DIR).c_str(), nullptr);
        CreateDirectoryA(dir_.c_str(), nullptr);
        for (const char* file : {"ping-cmdline.txt", "ping-script.txt", "shutdown-cmdline.txt", "shutdown-stamp.txt",
                                 "stamp.txt", "go.txt"})
            DeleteFileA(file_(file).c_str());
        const std::string fakes = windowsPath(QUORVANE_FAKES_DIR);
        ASSERT_TRUE(CopyFileA((fakes + "\\ping.exe").c_str(), file_("ping.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((fakes + "\\shutdown.exe").c_str(), file_("shutdown.exe").c_str(), FALSE));
    }

    std::string file_(const char* name) const { return dir_ + "\\" + name; }
    std::string ping(const std::string& arguments) const { return "\"" + file_("ping.exe") + "\"" + arguments; }
    void script(const std::string& text) { writeAll(file_("ping-script.txt"), text); }

    std::string dir_;
};

TEST_F(FakesTest, PingWithoutScriptPrintsNothingAndRecordsItsCommandLine) {
    const std::string commandLine = ping(" -n 4  127.0.0.1 \xC7\xEB");
    Child child(commandLine);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.readToEnd(), "");
    EXPECT_EQ(child.readToEnd(true), "");
    EXPECT_EQ(child.exitCode(), 0u);
    Child again(ping(""));
    EXPECT_EQ(again.exitCode(), 0u);
    EXPECT_EQ(readAll(file_("ping-cmdline.txt")), commandLine + "\n" + ping("") + "\n");
}

TEST_F(FakesTest, PingWritesTheEscapedBytesToTheirStreams) {
    script(
        "# a comment\r\n"
        "out \\xC7\\xEB\\xC7\\xF3\\xB3\\xAC\\xCA\\xB1 a  b\\r\\n\r\n"
        "\n"
        "err E\\0Z\\t\\\\\\x0a\n"
        "repeat 3 out ab \n"
        "repeat 2 err !\n"
        "fill out 130 64\n");
    Child child(ping(" 127.0.0.1"));
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.readToEnd(),
              std::string("\xC7\xEB\xC7\xF3\xB3\xAC\xCA\xB1 a  b\r\n") + "ab ab ab " + filler(0, 130));
    EXPECT_EQ(child.readToEnd(true), std::string("E\0Z\t\\\n!!", 8));
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST_F(FakesTest, PingWritesEachLineAtOnceWithoutBuffering) {
    script("out first\nwaitfile go.txt 20000\nout second\n");
    Child child(ping(""));
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.readOnce(), "first");
    writeAll(file_("go.txt"), "");
    EXPECT_EQ(child.readOnce(), "second");
    EXPECT_EQ(child.readOnce(), "");
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST_F(FakesTest, PingFillsInChunksOfTheGivenSize) {
    script("fill err 10000 3000\n");
    Child child(ping(""));
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.readToEnd(true), filler(0, 10000));
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST_F(FakesTest, PingEndsWithTheScriptsExitCodeAndPlaysNothingAfterIt) {
    script("out a\r\nexit 7\r\nout b\r\n");
    Child child(ping(""));
    EXPECT_EQ(child.readToEnd(), "a");
    EXPECT_EQ(child.exitCode(), 7u);

    script("exit -1\n");
    Child negative(ping(""));
    EXPECT_EQ(negative.exitCode(), 0xFFFFFFFFu);
}

TEST_F(FakesTest, PingReportsAScriptLineItCannotRead) {
    script("out a\nshout b\nout c\n");
    Child child(ping(""));
    EXPECT_EQ(child.readToEnd(), "a");
    EXPECT_NE(child.readToEnd(true).find("line 2"), std::string::npos);
    EXPECT_EQ(child.exitCode(), 98u);
}

TEST_F(FakesTest, PingEndsQuietlyWhenTheReaderGoes) {
    script("fill out 100000000 4096\nexit 5\n");
    Child child(ping(""));
    EXPECT_FALSE(child.readOnce().empty());
    child.closeOutput();
    EXPECT_EQ(child.exitCode(), 0u);
    EXPECT_EQ(child.readToEnd(true), "");
}

TEST_F(FakesTest, PingStampsTheCounterAndWaitsForAFileAtMostTheTimeout) {
    script("waitfile never.txt 300\nstamp stamp.txt\n");
    LARGE_INTEGER before, after, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    Child child(ping(""));
    EXPECT_EQ(child.exitCode(), 0u);
    QueryPerformanceCounter(&after);
    const long long stamp = std::stoll(readAll(file_("stamp.txt")));
    EXPECT_GE(stamp - before.QuadPart, frequency.QuadPart * 3 / 10);
    EXPECT_LE(stamp, after.QuadPart);
}

TEST_F(FakesTest, ShutdownRecordsItsCommandLineAndAStamp) {
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    const std::string first = "\"" + file_("shutdown.exe") + "\" -r -f -t 60";
    const std::string second = "\"" + file_("shutdown.exe") + "\" -a";
    Child child(first);
    EXPECT_EQ(child.readToEnd(), "");
    EXPECT_EQ(child.exitCode(), 0u);
    Child abort(second);
    EXPECT_EQ(abort.exitCode(), 0u);
    QueryPerformanceCounter(&after);
    EXPECT_EQ(readAll(file_("shutdown-cmdline.txt")), first + "\n" + second + "\n");
    const long long stamp = std::stoll(readAll(file_("shutdown-stamp.txt")));
    EXPECT_GT(stamp, before.QuadPart);
    EXPECT_LE(stamp, after.QuadPart);
}

}  // namespace
