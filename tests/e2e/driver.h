// Drives a real Quorvane.exe from a test: a program folder of its own with the fake child programs,
// the started process, its window and controls, keys and clicks, and its end.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "test_files.h"
#include "ui/controls.h"

// Polls until condition holds or the time is up; true when it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A fresh program directory under the build folder, named after the running test (plus an optional
// suffix, which may hold blanks and GBK characters), holding a copy of Quorvane.exe and the fakes.
class ProgramFolder {
public:
    explicit ProgramFolder(std::string_view suffix = {}, std::string_view exeName = "Quorvane.exe");
    // Ends whatever still runs from the folder (a ping child outlives the program by design).
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "\\" + std::string(name); }
    const std::string& exePath() const { return exePath_; }

    // c.ini holding the section PING with the key 命令 set to value (raw GBK bytes).
    void recordArguments(std::string_view value);
    // The script the fake ping plays (see tests/fakes/fake_ping.cpp).
    void setPingScript(std::string_view script);
    // What the fakes were started with, one command line per line; empty when never started.
    std::string pingCommandLines() const { return readFileBytes(file("ping-cmdline.txt")); }
    std::string shutdownCommandLines() const { return readFileBytes(file("shutdown-cmdline.txt")); }
    // Lets a script that waits for "go.txt" go on.
    void go() const { writeFileBytes(file("go.txt"), "go"); }
    // Without the fake, the system's own ping is found.
    void removeFakePing() const;

private:
    std::string path_;
    std::string exePath_;
};

// A started Quorvane.exe. Ends the process (and the fakes it started) if the test has not.
class RunningProgram {
public:
    // Starts the exe with another directory as the current one, and waits for its visible window.
    explicit RunningProgram(const std::string& exePath);
    // Takes over a Quorvane that something else started (such as Restart.bat), waiting for its window.
    explicit RunningProgram(DWORD processId);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HWND window() const { return window_; }
    DWORD processId() const { return processInfo_.dwProcessId; }
    HWND control(const ControlRef& ref) const;

    std::string text(const ControlRef& ref) const;
    void setText(const ControlRef& ref, std::string_view text) const;
    // Waits until the control's text equals expected; true when it did.
    bool waitForText(const ControlRef& ref, std::string_view expected,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    std::string windowText(HWND window) const;
    bool enabled(const ControlRef& ref) const { return IsWindowEnabled(control(ref)) != FALSE; }
    HWND focus() const;

    // Real keyboard input to the program's window (it is made the foreground window first).
    void pressKey(WORD virtualKey, bool withShift = false);
    // A click as the button reports it.
    void click(const ControlRef& button);
    void close();

    // The exit code once the process has ended, or nothing when it is still running after timeout.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // True when the process shows a message box (an error report).
    bool showsMessageBox() const;

private:
    void waitUntilAnswering() const;

    PROCESS_INFORMATION processInfo_{};
    HWND window_ = nullptr;
};

// A top-level window of the given class that belongs to the process ("#32770" for a message box).
HWND findTopLevelWindow(DWORD processId, const char* className, bool visibleOnly);
// The visible main window of a Quorvane process.
HWND findMainWindow(DWORD processId);
// The id of a process started from path that is still running, or 0.
DWORD findProcessByImage(const std::string& exePath, DWORD exceptId = 0);
void terminateProcessesInFolder(const std::string& folder);

inline constexpr int32_t kCloseExitCode = 0;
inline constexpr DWORD kFatalExitCode = 0xFFFFFFFFu;
