// The process records that the monitor worker fills and uses, and the process-wide values beside them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "services/text.h"

struct ProcessRecords {
    SECURITY_ATTRIBUTES pipeSecurity{};
    STARTUPINFOA childStartup{};
    // Owned copies behind childStartup's lpReserved, lpDesktop and lpTitle (null when empty).
    Text childStartupReserved;
    Text childStartupDesktop;
    Text childStartupTitle;
    PROCESS_INFORMATION childProcess{};

    HANDLE pipeReadEnd = nullptr;   // never closed: it lives as long as the process
    HANDLE pipeWriteEnd = nullptr;  // closed by the worker once the child has it
    int32_t lastCallResult = 0;
    DWORD bytesReadCount = 0;
    ByteBuffer readBuffer;
    Text chunkText;
};

#if !defined(_WIN64)
// The system records as a 32-bit program hands them to the system.
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12);
static_assert(sizeof(STARTUPINFOA) == 68);
#endif

// Creates the records zero-filled; called once by start-up before any worker exists.
void allocateProcessRecords();

// The records. The worker keeps the reference it takes for as long as it runs, so releasing the
// program's own reference at the orderly end never frees storage the worker may still touch.
std::shared_ptr<ProcessRecords> processRecords();

// Drops the program's reference to the records; run once by the orderly end of the run.
void releaseProcessRecords();
