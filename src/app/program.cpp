#include "app/program.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "app/process_records.h"
#include "services/system.h"
#include "ui/main_window.h"

namespace {

std::shared_ptr<ProcessRecords> gProcessRecords;

// Routines run once each, in order, at the orderly end; the main thread alone touches the list.
std::vector<void (*)()> gEndOfRunList;

void registerAtEndOfRun(void (*routine)()) {
    for (auto listed : gEndOfRunList)
        if (listed == routine) return;
    gEndOfRunList.push_back(routine);
}

void runEndOfRunList() {
    for (auto routine : gEndOfRunList) routine();
    gEndOfRunList.clear();
}

void reportStorageExhaustedInBox(std::size_t unavailableBytes) {
    char message[128];
    std::snprintf(message, sizeof message, "内存不足：无法分配 %llu 字节，程序将退出。",
                  static_cast<unsigned long long>(unavailableBytes));
    MessageBoxA(nullptr, message, "Quorvane", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

int runMessageLoop() {
    messageLoopEntered();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (handleWindowKeys(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

void allocateProcessRecords() {
    gProcessRecords = std::allocate_shared<ProcessRecords>(BlockAllocator<ProcessRecords>());
}

std::shared_ptr<ProcessRecords> processRecords() { return gProcessRecords; }

void releaseProcessRecords() { gProcessRecords.reset(); }

void installFatalReports() { setStorageExhaustedReporter(reportStorageExhaustedInBox); }

void startProgram() {
    installFatalReports();
    startServices();
    allocateProcessRecords();
    registerAtEndOfRun(releaseProcessRecords);

    if (!loadMainWindow()) endWithFatalError("无法载入启动窗口，程序将退出。");

    int exitCode = 0;
    if (mainWindowExists()) exitCode = runMessageLoop();

    runEndOfRunList();
    // ExitProcess ends the worker, which may still be blocked in its read, before anything else is
    // torn down; returning through the C runtime would run destructors while it still runs.
    ExitProcess(static_cast<UINT>(exitCode));
}
