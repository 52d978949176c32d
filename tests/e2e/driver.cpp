#include "driver.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <thread>
#include <vector>

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

namespace {

std::string testRunsDirectory() { return windowsPathOf(QUORVANE_E2E_RUNS_DIR); }

std::string currentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "unnamed";
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

std::string imagePathOf(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return {};
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    std::string image;
    if (QueryFullProcessImageNameA(process, 0, path, &size)) image.assign(path, size);
    CloseHandle(process);
    return image;
}

bool sameFileName(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

ProgramFolder::ProgramFolder(std::string_view suffix, std::string_view exeName) {
    path_ = testRunsDirectory() + "\\" + currentTestName() + std::string(suffix);
    terminateProcessesInFolder(path_);
    removeTree(path_);
    createDirectories(path_);
    exePath_ = file(exeName);
    EXPECT_TRUE(CopyFileA(windowsPathOf(QUORVANE_EXE).c_str(), exePath_.c_str(), FALSE)) << exePath_;
    const std::string fakes = windowsPathOf(QUORVANE_FAKES_DIR);
    EXPECT_TRUE(CopyFileA((fakes + "\\ping.exe").c_str(), file("ping.exe").c_str(), FALSE));
    EXPECT_TRUE(CopyFileA((fakes + "\\shutdown.exe").c_str(), file("shutdown.exe").c_str(), FALSE));
}

ProgramFolder::~ProgramFolder() { terminateProcessesInFolder(path_); }

void ProgramFolder::recordArguments(std::string_view value) {
    ASSERT_TRUE(writeFileBytes(file("c.ini"), "[PING]\r\n命令=" + std::string(value) + "\r\n"));
}

void ProgramFolder::setPingScript(std::string_view script) {
    ASSERT_TRUE(writeFileBytes(file("ping-script.txt"), script));
}

void ProgramFolder::removeFakePing() const { DeleteFileA(file("ping.exe").c_str()); }

HWND findTopLevelWindow(DWORD processId, const char* className, bool visibleOnly) {
    struct Search {
        DWORD processId;
        const char* className;
        bool visibleOnly;
        HWND found;
    } search{processId, className, visibleOnly, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (owner == s->processId && lstrcmpA(name, s->className) == 0 &&
                (!s->visibleOnly || IsWindowVisible(window)))
                s->found = window;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND findMainWindow(DWORD processId) { return findTopLevelWindow(processId, "QuorvaneMainWindow", true); }

DWORD findProcessByImage(const std::string& exePath, DWORD exceptId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID != exceptId && sameFileName(imagePathOf(entry.th32ProcessID), exePath))
            found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

void terminateProcessesInFolder(const std::string& folder) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const std::string prefix = folder + "\\";
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const std::string image = imagePathOf(entry.th32ProcessID);
        if (image.size() > prefix.size() && sameFileName(image.substr(0, prefix.size()), prefix)) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
}

RunningProgram::RunningProgram(const std::string& exePath) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exePath + "\"";
    // Started from another directory: the program must find its files beside itself.
    const std::string elsewhere = testRunsDirectory();
    if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, elsewhere.c_str(),
                        &startup, &processInfo_)) {
        ADD_FAILURE() << "cannot start " << exePath << " (error " << GetLastError() << ")";
        return;
    }
    if (!waitUntil([&] { return (window_ = findMainWindow(processInfo_.dwProcessId)) != nullptr; }, 40s))
        ADD_FAILURE() << "the main window did not appear";
    waitUntilAnswering();
}

void RunningProgram::waitUntilAnswering() const {
    // The window is shown before the message loop runs; the test starts once the loop answers.
    DWORD_PTR ignored = 0;
    if (window_ != nullptr && !SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored))
        ADD_FAILURE() << "the program does not answer";
}

RunningProgram::RunningProgram(DWORD processId) {
    processInfo_.dwProcessId = processId;
    processInfo_.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (processInfo_.hProcess == nullptr) {
        ADD_FAILURE() << "cannot open process " << processId;
        return;
    }
    if (!waitUntil([&] { return (window_ = findMainWindow(processId)) != nullptr; }, 40s))
        ADD_FAILURE() << "the main window did not appear";
    waitUntilAnswering();
}

RunningProgram::~RunningProgram() {
    if (processInfo_.hProcess != nullptr) {
        if (WaitForSingleObject(processInfo_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(processInfo_.hProcess, 1);
            WaitForSingleObject(processInfo_.hProcess, 5000);
        }
        CloseHandle(processInfo_.hProcess);
        if (processInfo_.hThread) CloseHandle(processInfo_.hThread);
    }
}

HWND RunningProgram::control(const ControlRef& ref) const {
    if (window_ == nullptr) return nullptr;
    if (HWND direct = GetDlgItem(window_, ref.controlId)) return direct;
    HWND groupBox = GetDlgItem(window_, 分组框1.controlId);
    return groupBox ? GetDlgItem(groupBox, ref.controlId) : nullptr;
}

std::string RunningProgram::windowText(HWND window) const {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 15000, &length)) return "<no answer>";
    std::vector<char> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL, 15000,
                        &copied);
    return std::string(buffer.data(), copied);
}

std::string RunningProgram::text(const ControlRef& ref) const { return windowText(control(ref)); }

void RunningProgram::setText(const ControlRef& ref, std::string_view text) const {
    const std::string value(text);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control(ref), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), SMTO_NORMAL, 15000,
                        &ignored);
}

bool RunningProgram::waitForText(const ControlRef& ref, std::string_view expected,
                                 std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return text(ref) == expected; }, timeout);
}

HWND RunningProgram::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void RunningProgram::pressKey(WORD virtualKey, bool withShift) {
    SetForegroundWindow(window_);
    std::vector<INPUT> inputs;
    auto key = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (withShift) key(VK_SHIFT, false);
    key(virtualKey, false);
    key(virtualKey, true);
    if (withShift) key(VK_SHIFT, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Let the program take the keys before the test looks at their effect.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &ignored);
    std::this_thread::sleep_for(50ms);
}

void RunningProgram::click(const ControlRef& button) { PostMessageA(control(button), BM_CLICK, 0, 0); }

void RunningProgram::close() { PostMessageA(window_, WM_CLOSE, 0, 0); }

std::optional<DWORD> RunningProgram::waitForExit(std::chrono::milliseconds timeout) {
    if (processInfo_.hProcess == nullptr) return std::nullopt;
    if (WaitForSingleObject(processInfo_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(processInfo_.hProcess, &code);
    return code;
}

bool RunningProgram::showsMessageBox() const {
    return findTopLevelWindow(processInfo_.dwProcessId, "#32770", false) != nullptr;
}
