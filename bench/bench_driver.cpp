// Measures Quorvane.exe against baselines run on the same machine, in the same Wine session and
// in the same run of this program, and prints one table (also written to --out): for every figure
// min / median / max of Quorvane's samples and of its baseline's, and the ratio of the medians.
// bench/run.sh builds everything and runs this program; docs/benchmarks.md explains the figures.
//
//   bench_driver.exe [--reps N] [--burst-kb K] [--only startup,trigger,streaming,growth,memory]
//                    [--out <file>]
//
// N (default 5) samples per program for streaming, 3 N for start-up, trigger and log growth;
// K (default 512) the size of the streamed burst in KB.
//
// Every run has a program folder of its own under bench-runs/ holding a copy of the program, the
// fake ping.exe and shutdown.exe, and the script the fake ping plays (tests/fakes/fake_ping.cpp).
// Quorvane gets its ping arguments from c.ini, so it starts monitoring at once; the baselines get
// the same arguments on their command line. Times come from QueryPerformanceCounter, one clock for
// every process of the session: stamps that the fakes and the launcher write into files, and this
// program's own readings while it watches a window (the log's length is asked with a wide
// WM_GETTEXTLENGTH, which the box answers from its count without touching its text).

// <windows.h> first: the other system headers need it.
// clang-format off
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
// clang-format on

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "test_files.h"
#include "ui/controls.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Clock, files and processes

double gTicksPerMillisecond = 1.0;

LONGLONG counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double millisecondsBetween(LONGLONG from, LONGLONG to) { return static_cast<double>(to - from) / gTicksPerMillisecond; }

void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void note(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Polls every pollMs until condition holds; the counter reading at which it held, or 0 at timeout.
LONGLONG waitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 10) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return counterNow();
        if (GetTickCount64() > deadline) return 0;
        Sleep(pollMs);
    }
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

void terminateProcessesInFolder(const std::string& folder) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const std::string prefix = folder + "\\";
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const std::string image = imagePathOf(entry.th32ProcessID);
        if (image.size() > prefix.size() && lstrcmpiA(image.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
}

HWND findVisibleWindow(DWORD processId, const char* className) {
    struct Search {
        DWORD processId;
        const char* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId) return TRUE;
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpA(name, s->className) == 0 && IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The length of an edit box in characters, or -1 when it does not answer.
LONG_PTR boxLength(HWND box) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 30000, &length)) return -1;
    return static_cast<LONG_PTR>(length);
}

bool setBoxText(HWND box, const std::string& text, DWORD timeoutMs = 10000) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, timeoutMs,
                               &ignored) != 0;
}

struct Memory {
    double privateBytes = 0;
    double workingSet = 0;
};

Memory memoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
        // Wine 8 leaves PrivateUsage at 0 and reports the process's private (anonymous) memory as
        // PagefileUsage, which is what Windows reports there too.
        memory.privateBytes =
            static_cast<double>(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage);
        memory.workingSet = static_cast<double>(counters.WorkingSetSize);
    }
    return memory;
}

// ---------------------------------------------------------------------------------------------
// The programs under measurement

struct Program {
    const char* label;    // in folder names
    std::string source;   // the built exe
    std::string exeName;  // its name in the program folder
    const char* windowClass;
    bool readsIni;  // Quorvane reads the ping arguments from c.ini, the baselines from their command line
};

const std::string& toolsDirectory() {
    static const std::string directory = windowsPathOf(QUORVANE_BENCH_TOOLS_DIR);
    return directory;
}

Program quorvane() { return {"quorvane", windowsPathOf(QUORVANE_EXE), "Quorvane.exe", "QuorvaneMainWindow", true}; }
Program referenceAppend() {
    return {"reference", toolsDirectory() + "\\reference_append.exe", "reference_append.exe", "BenchReferenceWindow",
            false};
}
Program minimalWindow() {
    return {"minimal", toolsDirectory() + "\\minimal_window.exe", "minimal_window.exe", "BenchMinimalWindow", false};
}

constexpr char kPingArguments[] = "-t 127.0.0.1";

// One started program in its own folder. Whatever still runs from the folder ends with it.
class Run {
public:
    Run(const Program& program, const std::string& figure, const std::string& pingScript) : program_(program) {
        folder_ = windowsPathOf(QUORVANE_BENCH_RUNS_DIR) + "\\" + figure + "-" + program.label;
        terminateProcessesInFolder(folder_);
        removeTree(folder_);
        createDirectories(folder_);
        ok_ = CopyFileA(program.source.c_str(), file(program.exeName).c_str(), FALSE) &&
              CopyFileA((toolsDirectory() + "\\fakes\\ping.exe").c_str(), file("ping.exe").c_str(), FALSE) &&
              CopyFileA((toolsDirectory() + "\\fakes\\shutdown.exe").c_str(), file("shutdown.exe").c_str(), FALSE) &&
              writeFileBytes(file("ping-script.txt"), pingScript);
        // c.ini: section PING, key 命令 (in GBK), the recorded ping arguments.
        if (program.readsIni)
            ok_ = ok_ &&
                  writeFileBytes(file("c.ini"), std::string("[PING]\r\n\xC3\xFC\xC1\xEE=") + kPingArguments + "\r\n");
        if (!ok_) note("cannot prepare %s", folder_.c_str());
    }
    ~Run() {
        if (process_.hProcess != nullptr) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        terminateProcessesInFolder(folder_);
        removeTree(folder_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    std::string file(std::string_view name) const { return folder_ + "\\" + std::string(name); }

    // Starts the program with the bench-runs folder as its current directory (Quorvane finds its
    // files beside itself). arguments replaces the baselines' ping arguments when given.
    bool start(const std::string& arguments = {}) {
        if (!ok_) return false;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + file(program_.exeName) + "\"";
        if (!program_.readsIni) commandLine += " " + (arguments.empty() ? std::string(kPingArguments) : arguments);
        const std::string elsewhere = windowsPathOf(QUORVANE_BENCH_RUNS_DIR);
        if (!CreateProcessA(file(program_.exeName).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            elsewhere.c_str(), &startup, &process_)) {
            note("cannot start %s (error %lu)", commandLine.c_str(), GetLastError());
            return false;
        }
        return true;
    }

    // Waits for the visible window and its log box.
    bool waitForWindow(DWORD timeoutMs = 30000, DWORD pollMs = 10) {
        const bool found = waitUntil(
            [&] {
                window_ = findVisibleWindow(process_.dwProcessId, program_.windowClass);
                return window_ != nullptr && (log_ = GetDlgItem(window_, 编辑框1.controlId)) != nullptr;
            },
            timeoutMs, pollMs);
        if (!found) note("%s: no window", folder_.c_str());
        return found;
    }

    // Waits until the fake ping has started and stands in its script.
    bool waitForPing() {
        if (!waitUntil([&] { return fileExists(file("ping-cmdline.txt")); }, 20000)) {
            note("%s: the fake ping did not start", folder_.c_str());
            return false;
        }
        Sleep(300);
        return true;
    }

    void signal(std::string_view name) const { writeFileBytes(file(name), "go"); }

    // The counter reading at which the log held at least length characters, or 0.
    LONGLONG waitForLogLength(LONG_PTR length, DWORD timeoutMs, DWORD pollMs = 10) const {
        const LONGLONG reached = waitUntil([&] { return boxLength(log_) >= length; }, timeoutMs, pollMs);
        if (reached == 0)
            note("%s: the log holds %ld characters, not %ld", folder_.c_str(), static_cast<long>(boxLength(log_)),
                 static_cast<long>(length));
        return reached;
    }

    LONGLONG stamp(std::string_view name) const {
        const std::string text = readFileBytes(file(name));
        return text.empty() ? 0 : std::strtoll(text.c_str(), nullptr, 10);
    }

    HANDLE process() const { return process_.hProcess; }
    HWND window() const { return window_; }
    HWND log() const { return log_; }
    HWND control(const ControlRef& ref) const {
        if (HWND direct = GetDlgItem(window_, ref.controlId)) return direct;
        HWND groupBox = GetDlgItem(window_, 分组框1.controlId);
        return groupBox ? GetDlgItem(groupBox, ref.controlId) : nullptr;
    }

private:
    Program program_;
    std::string folder_;
    bool ok_ = false;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    HWND log_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// The figures

constexpr long kChunkBytes = 4095;
long gBurstBytes = 512L << 10;
constexpr long kPrefillBytes = 8L << 20;
// Larger pieces in one message to another process end that process under Wine 8 (1 MB did).
constexpr long kPrefillPieceBytes = 256L << 10;
constexpr int kGrowthChunksPerSample = 5;
constexpr long kSmallWrites = 100000;
constexpr char kSmallWrite[] = "Reply.\\r\\n";
constexpr long kSmallWriteBytes = 8;
// "请求超时", Quorvane's default keyword, in GBK.
constexpr char kKeyword[] = "\\xC7\\xEB\\xC7\\xF3\\xB3\\xAC\\xCA\\xB1";
// "正在 Ping 127.0.0.1 具有 32 字节的数据:", the first line of ping's report, in GBK.
constexpr char kFirstPingLine[] =
    "\\xD5\\xFD\\xD4\\xDA Ping 127.0.0.1 \\xBE\\xDF\\xD3\\xD0 32 "
    "\\xD7\\xD6\\xBD\\xDA\\xB5\\xC4\\xCA\\xFD\\xBE\\xDD:\\r\\n";

std::string firstOutputScript() { return std::string("out ") + kFirstPingLine + "\n"; }

// What the fake ping's filler holds (tests/fakes/fake_ping.cpp).
std::string filler(long bytes) {
    static constexpr char kLine[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    std::string text(static_cast<std::size_t>(bytes), '\0');
    for (long i = 0; i < bytes; ++i) text[static_cast<std::size_t>(i)] = kLine[i % 64];
    return text;
}

// Memory of the program and the length of its log at one moment, a second after the log last
// grew, so that the window has painted.
struct Reading {
    double privateBytes = 0;
    double workingSet = 0;
    double logCharacters = 0;
    bool taken = false;
};

Reading readingOf(const Run& run) {
    Sleep(1000);
    Reading reading;
    const Memory memory = memoryOf(run.process());
    reading.privateBytes = memory.privateBytes;
    reading.workingSet = memory.workingSet;
    reading.logCharacters = static_cast<double>(boxLength(run.log()));
    reading.taken = memory.privateBytes > 0 && reading.logCharacters >= 0;
    return reading;
}

// Starts the program and waits for its window, for the fake ping standing in its script, and for
// the first output in the log.
bool startAndSettle(Run& run) {
    return run.start() && run.waitForWindow() && run.waitForPing() && run.waitForLogLength(1, 20000) != 0;
}

// Session warm-up, not measured: the first window of a session starts Wine's desktop process,
// and the first run of each program loads it from disk.
void warmUp(const std::vector<Program>& programs) {
    for (const Program& program : programs) {
        Run run(program, "warm-up", firstOutputScript());
        if (!startAndSettle(run)) note("warm-up of %s failed", program.label);
    }
}

// 1. Seconds from the fake ping's first write of the burst (4095-byte writes) to the whole burst
// in the log.
double streamingSample(const Program& program) {
    Run run(program, "streaming",
            firstOutputScript() + "waitfile go.txt 60000\nstamp burst-start.txt\nfill out " +
                std::to_string(gBurstBytes) + " " + std::to_string(kChunkBytes) + "\n");
    if (!startAndSettle(run)) return -1;
    const LONG_PTR before = boxLength(run.log());
    run.signal("go.txt");
    const LONGLONG end = run.waitForLogLength(before + gBurstBytes, 300000);
    const LONGLONG start = run.stamp("burst-start.txt");
    if (end == 0 || start == 0) return -1;
    return millisecondsBetween(start, end) / 1000.0;
}

// 2. Milliseconds per 4095-byte chunk streamed into a log that already holds 8 MB, one sample per
// burst of kGrowthChunksPerSample chunks. Both programs run side by side, each with 8 MB put into
// its box by the driver as pastes at the end, and take their samples alternately, each with its
// window brought to the front first. The readings before and after serve figure 5.
struct GrowthRun {
    std::vector<double> perChunk;
    Reading firstOutput;
    Reading full;
};

bool prefill(const Run& run) {
    static const std::string piece = filler(kPrefillPieceBytes);
    for (long put = 0; put < kPrefillBytes; put += kPrefillPieceBytes) {
        const LONG_PTR end = boxLength(run.log());
        DWORD_PTR ignored = 0;
        if (end < 0 ||
            !SendMessageTimeoutA(run.log(), EM_SETSEL, static_cast<WPARAM>(end), end, SMTO_ABORTIFHUNG, 60000,
                                 &ignored) ||
            !SendMessageTimeoutA(run.log(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()),
                                 SMTO_ABORTIFHUNG, 60000, &ignored))
            return false;
    }
    return true;
}

void growthRuns(const Program& quorvaneProgram, const Program& baselineProgram, int samples, GrowthRun& quorvaneResult,
                GrowthRun& baselineResult) {
    std::string script = firstOutputScript();
    for (int i = 1; i <= samples; ++i)
        script += "waitfile go" + std::to_string(i) + ".txt 300000\nstamp growth" + std::to_string(i) +
                  ".txt\nfill out " + std::to_string(kGrowthChunksPerSample * kChunkBytes) + " " +
                  std::to_string(kChunkBytes) + "\n";
    Run quorvaneRun(quorvaneProgram, "growth", script);
    Run baselineRun(baselineProgram, "growth", script);
    struct Side {
        Run& run;
        GrowthRun& result;
        int left;
    } sides[] = {{quorvaneRun, quorvaneResult, 20}, {baselineRun, baselineResult, 645}};
    for (Side& side : sides) {
        if (!startAndSettle(side.run)) return;
        // Side by side, so that neither covers the other.
        SetWindowPos(side.run.window(), nullptr, side.left, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        side.result.firstOutput = readingOf(side.run);
        if (!prefill(side.run)) {
            note("%s: the log did not take the 8 MB", side.run.file("").c_str());
            return;
        }
    }
    for (int i = 1; i <= samples; ++i) {
        for (Side& side : sides) {
            SetForegroundWindow(side.run.window());
            Sleep(300);
            const LONG_PTR before = boxLength(side.run.log());
            side.run.signal("go" + std::to_string(i) + ".txt");
            const LONGLONG end = side.run.waitForLogLength(before + kGrowthChunksPerSample * kChunkBytes, 120000);
            const LONGLONG start = side.run.stamp("growth" + std::to_string(i) + ".txt");
            side.result.perChunk.push_back(
                end == 0 || start == 0 ? -1 : millisecondsBetween(start, end) / kGrowthChunksPerSample);
        }
    }
    for (Side& side : sides) side.result.full = readingOf(side.run);
}

// 3. Milliseconds from the stamp taken just before the chunk that reaches the threshold is
// written (Quorvane) or just before CreateProcessA (the launcher) to the stamp the fake shutdown
// takes first thing. One run of each program serves all samples, taken alternately; Quorvane's
// threshold is raised to the next count after each trigger, as a user may do.
void triggerSamples(const Program& quorvaneProgram, const Program& launcherProgram, int count,
                    std::vector<double>& quorvaneSamples, std::vector<double>& launcherSamples) {
    std::string script;
    for (int i = 1; i <= count; ++i)
        script += "waitfile go" + std::to_string(i) + ".txt 300000\nstamp trigger" + std::to_string(i) + ".txt\nout " +
                  kKeyword + " " + std::to_string(i) + "\\r\\n\n";
    Run quorvaneRun(quorvaneProgram, "trigger", script);
    Run launcherRun(launcherProgram, "trigger", {});
    if (!quorvaneRun.start() || !quorvaneRun.waitForWindow() || !quorvaneRun.waitForPing() ||
        !setBoxText(quorvaneRun.control(编辑框4), "1"))
        return;
    if (!launcherRun.start("--launch " + std::to_string(count) + " shutdown -r -f -t 60") ||
        !launcherRun.waitForWindow())
        return;
    Sleep(300);

    const auto trigger = [](Run& run, int i, bool isQuorvane) {
        DeleteFileA(run.file("shutdown-stamp.txt").c_str());
        const LONG_PTR logBefore = isQuorvane ? boxLength(run.log()) : 0;
        run.signal("go" + std::to_string(i) + ".txt");
        if (!waitUntil([&] { return fileExists(run.file("shutdown-stamp.txt")); }, 20000)) {
            note("trigger %d: the action did not run", i);
            return -1.0;
        }
        const double latency =
            millisecondsBetween(run.stamp("trigger" + std::to_string(i) + ".txt"), run.stamp("shutdown-stamp.txt"));
        if (isQuorvane) {
            // The chunk reaches the log once the action has been started and waited for: the worker
            // is on its way back to the pipe. The next chunk must meet the next count.
            run.waitForLogLength(logBefore + 1, 20000);
            setBoxText(run.control(编辑框4), std::to_string(i + 1));
        }
        Sleep(300);
        return latency;
    };
    for (int i = 1; i <= count; ++i) {
        quorvaneSamples.push_back(trigger(quorvaneRun, i, true));
        launcherSamples.push_back(trigger(launcherRun, i, false));
    }
}

// 4. Milliseconds from just before CreateProcessA of the program to its window shown with the
// first output of its ping in the log.
double startupSample(const Program& program) {
    Run run(program, "startup", firstOutputScript() + "waitfile end.txt 60000\n");
    const LONGLONG start = counterNow();
    if (!run.start() || !run.waitForWindow(30000, 1)) return -1;
    const LONGLONG end = run.waitForLogLength(1, 30000, 1);
    if (end == 0) return -1;
    return millisecondsBetween(start, end);
}

// 5. (second part) Memory before and after 100,000 small writes of the fake ping. Writes that
// wait in the pipe are read together, so the program sees fewer, larger chunks.
struct SmallWritesRun {
    Reading before;
    Reading after;
};

SmallWritesRun smallWritesRun(const Program& program) {
    SmallWritesRun result;
    Run run(program, "small-writes",
            firstOutputScript() + "waitfile go.txt 60000\nrepeat " + std::to_string(kSmallWrites) + " out " +
                kSmallWrite + "\n");
    if (!startAndSettle(run)) return result;
    result.before = readingOf(run);
    const LONG_PTR first = boxLength(run.log());
    run.signal("go.txt");
    if (run.waitForLogLength(first + kSmallWrites * kSmallWriteBytes, 300000)) result.after = readingOf(run);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The table

struct Spread {
    double min = 0, median = 0, max = 0;
    std::size_t count = 0;
};

Spread spreadOf(std::vector<double> values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    Spread spread;
    spread.count = values.size();
    if (values.empty()) return spread;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    spread.min = values.front();
    spread.max = values.back();
    spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return spread;
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string spreadText(const Spread& spread, const char* format) {
    if (spread.count == 0) return "n/a";
    if (spread.count == 1) return formatted(format, spread.median) + " (one run)";
    return formatted(format, spread.min) + " / " + formatted(format, spread.median) + " / " +
           formatted(format, spread.max);
}

struct Row {
    std::string figure;
    std::string quorvane;
    std::string baseline;
    std::string ratio;
    std::string target;
    std::string met;
};

Row ratioRow(const std::string& figure, const std::vector<double>& q, const std::vector<double>& b, const char* format,
             double target) {
    const Spread qs = spreadOf(q), bs = spreadOf(b);
    Row row{figure, spreadText(qs, format), spreadText(bs, format), "n/a", "", ""};
    if (target > 0) row.target = "<= " + formatted("%.1fx", target);
    if (qs.count && bs.count && bs.median > 0) {
        const double ratio = qs.median / bs.median;
        row.ratio = formatted("%.2fx", ratio);
        if (target > 0) row.met = ratio <= target ? "yes" : "NO";
    }
    return row;
}

std::string tableOf(const std::vector<Row>& rows) {
    std::string table =
        "| figure | Quorvane min / median / max | baseline min / median / max | ratio (median) | target | met? |\n"
        "|---|---|---|---|---|---|\n";
    for (const Row& row : rows)
        table += "| " + row.figure + " | " + row.quorvane + " | " + row.baseline + " | " + row.ratio + " | " +
                 row.target + " | " + row.met + " |\n";
    return table;
}

bool wanted(const std::string& only, const char* figure) {
    if (only.empty()) return true;
    return ("," + only + ",").find(std::string(",") + figure + ",") != std::string::npos;
}

constexpr double kMegabyte = 1024.0 * 1024.0;

// Private bytes beyond the log's text; the box keeps its text as UTF-16 under Wine, two bytes a
// character.
double beyondText(const Reading& reading) {
    return reading.taken ? (reading.privateBytes - 2 * reading.logCharacters) / kMegabyte : -1e9;
}

std::string memoryText(const Reading& reading) {
    if (!reading.taken) return "n/a";
    return formatted("%.1f", reading.privateBytes / kMegabyte) + " / " +
           formatted("%.1f", reading.workingSet / kMegabyte) + " / " + formatted("%.1f", beyondText(reading));
}

Row memoryRow(const std::string& figure, const Reading& q, const Reading& b) {
    Row row{figure, memoryText(q), memoryText(b), "n/a", "", ""};
    if (q.taken && b.taken && b.privateBytes > 0)
        row.ratio = formatted("%.2fx", q.privateBytes / b.privateBytes) + " (private bytes)";
    return row;
}

// How much more the private bytes beyond the log's text grew in Quorvane than in its baseline
// from one reading to the next; the box and its text cost the same in both.
Row ownGrowthRow(const std::string& figure, const Reading& q0, const Reading& q1, const Reading& b0,
                 const Reading& b1) {
    Row row{figure, "n/a", "n/a", "n/a", "Quorvane - baseline <= 1 MB", "n/a"};
    if (!(q0.taken && q1.taken && b0.taken && b1.taken)) return row;
    const double q = beyondText(q1) - beyondText(q0);
    const double b = beyondText(b1) - beyondText(b0);
    row.quorvane = formatted("%+.1f", q);
    row.baseline = formatted("%+.1f", b);
    row.ratio = formatted("%+.1f MB", q - b);
    row.met = q - b <= 1.0 ? "yes" : "NO";
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = 5;
    std::string only;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--reps" && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--burst-kb" && i + 1 < argc)
            gBurstBytes = std::max(1L, std::atol(argv[++i])) << 10;
        else if (argument == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (argument == "--out" && i + 1 < argc)
            out = argv[++i];
        else {
            note(
                "usage: bench_driver.exe [--reps N] [--burst-kb K] [--only startup,trigger,streaming,growth,memory] "
                "[--out file]");
            return 2;
        }
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    gTicksPerMillisecond = static_cast<double>(frequency.QuadPart) / 1000.0;
    // Start-up, trigger and log growth samples are short and the most exposed to what else the
    // machine does: they get three times as many.
    const int shortReps = 3 * reps;

    const Program q = quorvane(), reference = referenceAppend(), minimal = minimalWindow();
    std::vector<Row> rows;
    const ULONGLONG began = GetTickCount64();
    const auto elapsed = [&] { return static_cast<double>(GetTickCount64() - began) / 1000.0; };
    const auto report = [](const char* what, const std::vector<double>& qs, const std::vector<double>& bs) {
        std::string line = std::string("  ") + what + ": Quorvane";
        for (double v : qs) line += formatted(" %.1f", v);
        line += "; baseline";
        for (double v : bs) line += formatted(" %.1f", v);
        note("%s", line.c_str());
    };

    note("warm-up (%.0f s)", elapsed());
    warmUp({q, reference, minimal});

    if (wanted(only, "startup")) {
        note("start-up (%.0f s)", elapsed());
        std::vector<double> qs, bs;
        // One run of each first, not counted.
        startupSample(q);
        startupSample(minimal);
        for (int i = 0; i < shortReps; ++i) {
            qs.push_back(startupSample(q));
            bs.push_back(startupSample(minimal));
        }
        report("ms", qs, bs);
        rows.push_back(
            ratioRow("4. Start-up: process start -> window shown with the first ping output in the "
                     "log, ms (baseline: minimal_window)",
                     qs, bs, "%.0f", 1.5));
    }
    if (wanted(only, "trigger")) {
        note("trigger latency (%.0f s)", elapsed());
        std::vector<double> qs, bs;
        triggerSamples(q, minimal, shortReps + 1, qs, bs);
        // The first trigger of each program is not counted.
        if (!qs.empty()) qs.erase(qs.begin());
        if (!bs.empty()) bs.erase(bs.begin());
        report("ms", qs, bs);
        rows.push_back(
            ratioRow("3. Trigger latency: chunk that reaches the threshold written -> fake action "
                     "running, ms (baseline: CreateProcessA of the same fake from minimal_window)",
                     qs, bs, "%.1f", 1.5));
    }
    if (wanted(only, "streaming")) {
        note("streaming (%.0f s)", elapsed());
        std::vector<double> qs, bs;
        for (int i = 0; i < reps; ++i) {
            qs.push_back(streamingSample(q));
            bs.push_back(streamingSample(reference));
        }
        report("s", qs, bs);
        rows.push_back(ratioRow("1. Streaming: " + std::to_string(gBurstBytes >> 10) +
                                    " KB burst in 4095-byte writes -> all in the log, s (baseline: reference_append)",
                                qs, bs, "%.2f", 1.2));
    }
    GrowthRun qGrowth, bGrowth;
    if (wanted(only, "growth") || wanted(only, "memory")) {
        note("log growth (%.0f s)", elapsed());
        growthRuns(q, reference, shortReps, qGrowth, bGrowth);
        report("ms per chunk", qGrowth.perChunk, bGrowth.perChunk);
        rows.push_back(ratioRow("2. Log growth: per 4095-byte chunk with 8 MB in the log, ms (" +
                                    std::to_string(kGrowthChunksPerSample) +
                                    " chunks per sample; baseline: reference_append)",
                                qGrowth.perChunk, bGrowth.perChunk, "%.0f", 1.2));
    }
    if (wanted(only, "memory")) {
        note("memory, small writes (%.0f s)", elapsed());
        const SmallWritesRun qSmall = smallWritesRun(q);
        const SmallWritesRun bSmall = smallWritesRun(reference);
        const std::string small =
            std::to_string(kSmallWrites / 1000) + ",000 writes of " + std::to_string(kSmallWriteBytes) + " bytes";
        const struct {
            std::string name;
            const Reading& q;
            const Reading& b;
        } stages[] = {{"first output shown", qGrowth.firstOutput, bGrowth.firstOutput},
                      {"8 MB in the log, after figure 2", qGrowth.full, bGrowth.full},
                      {"after " + small, qSmall.after, bSmall.after}};
        for (const auto& stage : stages)
            rows.push_back(memoryRow("5. Memory, " + stage.name +
                                         ": private bytes / working set / private bytes - 2 x log characters, MB "
                                         "(one run; baseline: reference_append)",
                                     stage.q, stage.b));
        rows.push_back(
            ownGrowthRow("5. Growth of private bytes beyond the log text: first output -> 8 MB in the "
                         "log and " +
                             std::to_string(shortReps * kGrowthChunksPerSample) + " chunks streamed, MB",
                         qGrowth.firstOutput, qGrowth.full, bGrowth.firstOutput, bGrowth.full));
        rows.push_back(ownGrowthRow("5. Growth of private bytes beyond the log text: over " + small + ", MB",
                                    qSmall.before, qSmall.after, bSmall.before, bSmall.after));
    }

    // In the order of the figures' numbers.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.figure[0] < b.figure[0]; });
    char header[200];
    std::snprintf(header, sizeof header,
                  "Samples per program: start-up, trigger and log growth %d, streaming %d, memory one run; "
                  "%.0f s.\n\n",
                  shortReps, reps, elapsed());
    const std::string table = tableOf(rows);
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
    if (!out.empty() && !writeFileBytes(out, std::string(header) + table)) note("cannot write %s", out.c_str());
    note("%s", header);
    return 0;
}
