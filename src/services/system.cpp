#include "services/system.h"

#include <windows.h>

#include <algorithm>

#include "services/program_path.h"
#include "services/unique_handle.h"

namespace {

// Captured once by startServices on the main thread before any other thread exists; read-only after.
ProgramLocation gProgramLocation;

}  // namespace

void startServices() {
    char modulePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    gProgramLocation = splitProgramPath(std::string_view(modulePath, std::min<DWORD>(length, MAX_PATH)));
    // A directory of the bare form "C:" would name the drive's current directory; the root is meant.
    const Text directory = gProgramLocation.directory.size() == 2 && gProgramLocation.directory[1] == ':'
                               ? joinTexts({gProgramLocation.directory, "\\"})
                               : gProgramLocation.directory;
    if (!directory.empty()) SetCurrentDirectoryA(directory.c_str());
}

Text programDirectory() { return gProgramLocation.directory; }

Text programFileName() { return gProgramLocation.fileName; }

bool pathExists(std::string_view name) {
    if (name.empty()) return false;
    const Text pattern(name);
    WIN32_FIND_DATAA found;
    const UniqueFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    return static_cast<bool>(search);
}

bool saveBytesToFile(std::string_view fileName, std::initializer_list<ByteBuffer> buffers) {
    if (fileName.empty()) return false;
    const Text name(fileName);
    UniqueHandle file(
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    for (const auto& buffer : buffers) {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file.get(), buffer.data() + done, chunk, &written, nullptr) || written == 0) return false;
            done += written;
        }
    }
    return CloseHandle(file.release()) != 0;
}

int showWindowValueOf(int windowMode) {
    static constexpr int kShowWindowByMode[] = {SW_HIDE,          SW_SHOWNORMAL,     SW_SHOWMINIMIZED,
                                                SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};
    return kShowWindowByMode[std::clamp(windowMode, 1, 6) - 1];
}

bool launchCommandLine(std::string_view commandLine, bool wait, std::optional<int> windowMode) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindowValueOf(windowMode.value_or(2)));
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    Text mutableCommandLine(commandLine);
    PROCESS_INFORMATION created{};
    if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created))
        return false;
    const UniqueHandle process(created.hProcess);
    const UniqueHandle thread(created.hThread);
    if (wait)
        WaitForSingleObject(process.get(), INFINITE);
    else
        WaitForInputIdle(process.get(), 1000);
    return true;
}

void endWithFatalError(const char* message) {
    MessageBoxA(nullptr, message, "Quorvane", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    ExitProcess(static_cast<UINT>(-1));
}

void pauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(std::max(milliseconds, 0))); }

void pumpPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        if (!PeekMessageA(&message, nullptr, message.message, message.message, PM_REMOVE)) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

namespace {

DWORD WINAPI runWorkerRoutine(void* routine) {
    try {
        reinterpret_cast<void (*)()>(routine)();
    } catch (...) {
        endWithFatalError("程序内部错误，程序将退出。");
    }
    return 0;
}

}  // namespace

bool spawnWorkerThread(void (*routine)()) {
    // The routine takes no argument; the thread's parameter only carries which routine to run.
    const UniqueHandle thread(CreateThread(nullptr, 0, runWorkerRoutine, reinterpret_cast<void*>(routine), 0, nullptr));
    return static_cast<bool>(thread);
}
