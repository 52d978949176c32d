// Provokes one fatal error of the program's own code, chosen by the first argument, so that a test
// can see the error box and the exit code -1:
//   no-window                a control access while no window exists
//   missing-control          a worker's access to a control the window does not have
//   window-cannot-be-created the main window's class is taken, so the window cannot be loaded
//   storage-exhausted        a block larger than any heap can give
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include "app/program.h"
#include "services/window_services.h"

namespace {

constexpr int32_t kProbeWindowId = 7;

LRESULT CALLBACK probeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kControlAccessMessage) {
        runControlAccess(lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int missingControl() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = probeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FatalProbeWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("FatalProbeWindow", "probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    registerWindow(kProbeWindowId, window);
    std::thread worker([] { getControlValue(ControlRef{kProbeWindowId, 4242}, kTextProperty); });
    worker.detach();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    installFatalReports();
    if (std::strcmp(commandLine, "no-window") == 0) {
        getControlValue(ControlRef{kProbeWindowId, 1}, kTextProperty);
    } else if (std::strcmp(commandLine, "missing-control") == 0) {
        return missingControl();
    } else if (std::strcmp(commandLine, "window-cannot-be-created") == 0) {
        WNDCLASSA taken{};
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = GetModuleHandleA(nullptr);
        taken.lpszClassName = "QuorvaneMainWindow";
        RegisterClassA(&taken);
        startProgram();
    } else if (std::strcmp(commandLine, "storage-exhausted") == 0) {
        releaseBlock(obtainBlock(SIZE_MAX / 2));
    }
    return 3;  // not reached when the fatal error ends the program
}
