#include "monitor/monitor.h"

#include <windows.h>

#include "app/process_records.h"
#include "monitor/timeout_rule.h"
#include "services/system.h"
#include "ui/controls.h"

namespace {

constexpr int kReadBufferSize = 4096;
// One byte less than the buffer, so the buffer always ends in a zero byte.
constexpr DWORD kMostBytesPerRead = kReadBufferSize - 1;

// The start-up record's three texts may point into system storage; the record keeps its own copies.
void adoptStartupTexts(ProcessRecords& records) {
    STARTUPINFOA& startup = records.childStartup;
    const auto adopt = [](Text& owned, LPSTR& field) {
        assignText(owned, field != nullptr ? std::string_view(field) : std::string_view());
        field = owned.empty() ? nullptr : owned.data();
    };
    adopt(records.childStartupReserved, startup.lpReserved);
    adopt(records.childStartupDesktop, startup.lpDesktop);
    adopt(records.childStartupTitle, startup.lpTitle);
}

}  // namespace

void applyTimeoutRule(std::string_view chunk) {
    if (!chunkCounts(chunk, getControlValue(编辑框3, kTextProperty))) return;
    setControlValue(标签5, kTextProperty, nextCounterCaption(getControlValue(标签5, kTextProperty)));
    const Text counter = getControlValue(标签5, kTextProperty);
    const Text threshold = getControlValue(编辑框4, kTextProperty);
    if (!actionDue(counter, threshold)) return;
    launchCommandLine(getControlValue(编辑框5, kTextProperty), false);
}

void runMonitor() {
    // This reference keeps the records alive for as long as this thread can touch them, even after
    // the orderly end has dropped the program's own.
    const std::shared_ptr<ProcessRecords> held = processRecords();
    if (!held) return;
    ProcessRecords& records = *held;

    setControlValue(编辑框1, kTextProperty, "");

    records.pipeSecurity.nLength = sizeof(SECURITY_ATTRIBUTES);
    records.pipeSecurity.lpSecurityDescriptor = nullptr;
    records.pipeSecurity.bInheritHandle = TRUE;
    records.lastCallResult = CreatePipe(&records.pipeReadEnd, &records.pipeWriteEnd, &records.pipeSecurity, 0);

    records.childStartup.cb = sizeof(STARTUPINFOA);
    GetStartupInfoA(&records.childStartup);
    adoptStartupTexts(records);
    records.childStartup.dwFlags = static_cast<DWORD>(orAll({STARTF_USESHOWWINDOW, STARTF_USESTDHANDLES}));
    records.childStartup.wShowWindow = SW_HIDE;
    records.childStartup.hStdOutput = records.pipeWriteEnd;
    records.childStartup.hStdError = records.pipeWriteEnd;

    {
        Text commandLine = joinTexts({"ping ", getControlValue(编辑框2, kTextProperty)});
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &records.childStartup,
                       &records.childProcess);
        adoptStartupTexts(records);
    }
    // From now on only the child holds write ends, so the pipe reports its end once the child exits.
    records.lastCallResult = CloseHandle(records.pipeWriteEnd);

    do {
        records.readBuffer = zeroFilledBuffer(kReadBufferSize);
        records.lastCallResult = ReadFile(records.pipeReadEnd, records.readBuffer.data(), kMostBytesPerRead,
                                          &records.bytesReadCount, nullptr);
        records.chunkText = textOfBytes(records.readBuffer);
        applyTimeoutRule(records.chunkText);
        appendEditText(编辑框1, {records.chunkText});
        pumpPendingMessages();
    } while (records.lastCallResult != 0);
}
