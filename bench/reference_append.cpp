// The reference of the streaming figures: a window with a log box made as Quorvane's log is, and a
// worker thread that starts the same (fake) ping with its output on a pipe, reads it in the same
// chunks of at most 4095 bytes and appends each with EM_SETSEL + EM_REPLACESEL sent from the
// worker to the box. The pipe, the child and the box cost what they cost in Quorvane; what is left
// out is Quorvane's own work per chunk (its services, the timeout rule, the look-up of the end).
//
//   reference_append.exe <ping arguments>      runs "ping <ping arguments>"
#include "bench_window.h"

namespace {

HWND gLog = nullptr;
std::string gCommandLine;

DWORD WINAPI streamChild(void*) {
    if (HANDLE readEnd = bench::startChildOnPipe(gCommandLine)) bench::streamIntoLog(readEnd, gLog);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    gCommandLine = "ping " + bench::argumentsOfCommandLine();
    if (bench::createLogWindow("BenchReferenceWindow", "Reference", &gLog) == nullptr) return 1;
    if (HANDLE worker = CreateThread(nullptr, 0, streamChild, nullptr, 0, nullptr)) CloseHandle(worker);
    return bench::runMessageLoop();
}
