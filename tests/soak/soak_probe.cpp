// Soak probe: runs Quorvane with the fake ping streaming small chunks for a long time and samples the
// program's CPU time, memory and handle count. Not part of the test run; scripts/soak.sh starts it.
//
//   soak_probe.exe <minutes> <chunks-per-second>
//
// Prints one line per minute and a closing verdict (scripts/soak.sh adds the CPU time and resident
// memory that Linux sees); exit code 0 when the handle count did not grow,
// the program still answered at the end and closed with exit code 0.
#include <windows.h>
// After <windows.h>, which they build on.
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"

namespace {

struct Sample {
    SIZE_T privateBytes;
    SIZE_T workingSet;
    DWORD handles;
    std::size_t logBytes;
};

// Wine answers GetProcessHandleCount with 0 for other processes; the system's process list has
// the counts that the server keeps.
void readProcessList(DWORD processId, Sample& sample) {
    using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return;
    std::string buffer(1 << 20, '\0');
    ULONG needed = 0;
    if (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) return;
    for (std::size_t offset = 0;;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
            sample.handles = entry->HandleCount;
            sample.privateBytes = entry->PrivatePageCount;
            return;
        }
        if (entry->NextEntryOffset == 0) return;
        offset += entry->NextEntryOffset;
    }
}

Sample sampleOf(const RunningProgram& program, HANDLE process) {
    Sample sample{};
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        sample.workingSet = memory.WorkingSetSize;
    readProcessList(program.processId(), sample);
    DWORD_PTR length = 0;
    SendMessageTimeoutA(program.control(编辑框1), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 15000, &length);
    sample.logBytes = length;
    return sample;
}

void print(const char* label, const Sample& s) {
    std::printf("%-8s private %8.1f MB  working set %8.1f MB  handles %5lu  log %9zu bytes\n", label,
                s.privateBytes / 1048576.0, s.workingSet / 1048576.0, static_cast<unsigned long>(s.handles),
                s.logBytes);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 30;
    const int perSecond = argc > 2 ? std::atoi(argv[2]) : 25;
    if (minutes < 1 || perSecond < 1) {
        std::fprintf(stderr, "usage: soak_probe <minutes> <chunks-per-second>\n");
        return 2;
    }
    ProgramFolder folder("soak");
    folder.recordArguments("-t 127.0.0.1");
    // One line per chunk with a pause after it; a timeout line every tenth chunk keeps the counter moving.
    std::string script;
    const long chunks = static_cast<long>(minutes + 1) * 60 * perSecond;
    const int pause = 1000 / perSecond;
    for (long i = 0; i < chunks; ++i) {
        script +=
            i % 10 == 9 ? "out 请求超时。\\r\\n\n" : "out 来自 127.0.0.1 的回复: 字节=32 时间<1ms TTL=128\\r\\n\n";
        script += "sleep " + std::to_string(pause) + "\n";
    }
    folder.setPingScript(script);

    RunningProgram program(folder.exePath());
    if (program.window() == nullptr) return 1;
    // The threshold is out of reach, so the action never runs during the soak.
    program.setText(编辑框4, "999999999");
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.processId());
    Sleep(5000);
    const Sample first = sampleOf(program, process);
    print("start", first);
    Sample last = first;
    for (int minute = 1; minute <= minutes; ++minute) {
        Sleep(60000);
        last = sampleOf(program, process);
        print(("min " + std::to_string(minute)).c_str(), last);
    }
    const bool answered = !program.text(标签5).empty();
    program.close();
    const auto exitCode = program.waitForExit();
    CloseHandle(process);

    const bool handlesKept = first.handles > 0 && last.handles <= first.handles;
    std::printf(
        "\nhandles %lu -> %lu (%s); private bytes %+.1f MB with %+.1f MB of log text;"
        " counter %s; exit code %ld\n",
        static_cast<unsigned long>(first.handles), static_cast<unsigned long>(last.handles),
        handlesKept ? "no growth" : "GREW", (static_cast<double>(last.privateBytes) - first.privateBytes) / 1048576.0,
        (static_cast<double>(last.logBytes) - first.logBytes) / 1048576.0, answered ? "answering" : "SILENT",
        exitCode ? static_cast<long>(*exitCode) : -999L);
    return handlesKept && answered && exitCode == std::optional<DWORD>(0) ? 0 : 1;
}
