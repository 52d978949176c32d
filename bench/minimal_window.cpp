// Two baselines in one small Win32 program.
//
//   minimal_window.exe <ping arguments>
//       The start-up baseline: the least a program does to show what Quorvane shows when it starts
//       with a recorded value. It creates its window with a log box, starts "ping <ping arguments>"
//       hidden from a worker thread with its output on a pipe, shows the window, and the worker
//       appends whatever the child writes to the box.
//
//   minimal_window.exe --launch <count> <command line>
//       The launcher of the trigger baseline. With its window shown, a worker thread does <count>
//       times: wait until go<i>.txt exists in the program's folder (looked for every 10 ms), take
//       QueryPerformanceCounter, write it to trigger<i>.txt (under a temporary name, then renamed,
//       as the fake ping's "stamp" does), and start the command line as Quorvane starts its action:
//       shown normally, without handle inheritance, waiting up to 1000 ms for it to become idle.
#include <cstdlib>
#include <string>

#include "bench_window.h"

namespace {

HWND gLog = nullptr;
std::string gCommandLine;
int gLaunchCount = 0;
std::string gFolder;

std::string ownFolder() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, length);
    const std::size_t slash = full.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

void writeStamp(const std::string& path, LONGLONG counter) {
    const std::string text = std::to_string(counter);
    const std::string temporary = path + ".part";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD WINAPI streamChild(void*) {
    if (HANDLE readEnd = bench::startChildOnPipe(gCommandLine)) bench::streamIntoLog(readEnd, gLog);
    return 0;
}

DWORD WINAPI launchOnSignal(void*) {
    for (int i = 1; i <= gLaunchCount; ++i) {
        const std::string go = gFolder + "\\go" + std::to_string(i) + ".txt";
        while (GetFileAttributesA(go.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(10);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        writeStamp(gFolder + "\\trigger" + std::to_string(i) + ".txt", now.QuadPart);

        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        std::string commandLine = gCommandLine;
        PROCESS_INFORMATION created{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &created)) {
            WaitForInputIdle(created.hProcess, 1000);
            CloseHandle(created.hThread);
            CloseHandle(created.hProcess);
        }
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string arguments = bench::argumentsOfCommandLine();
    LPTHREAD_START_ROUTINE work = streamChild;
    if (arguments.rfind("--launch ", 0) == 0) {
        arguments.erase(0, 9);
        const std::size_t space = arguments.find(' ');
        gLaunchCount = std::atoi(arguments.substr(0, space).c_str());
        gCommandLine = space == std::string::npos ? std::string() : arguments.substr(space + 1);
        gFolder = ownFolder();
        work = launchOnSignal;
    } else {
        gCommandLine = "ping " + arguments;
    }

    HWND window = bench::createLogWindow("BenchMinimalWindow", "Minimal", &gLog, false);
    if (window == nullptr) return 1;
    if (HANDLE worker = CreateThread(nullptr, 0, work, nullptr, 0, nullptr)) CloseHandle(worker);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(gLog);
    UpdateWindow(window);
    return bench::runMessageLoop();
}
