// Fake ping.exe for the Windows tests: a console program that stands in for the system's ping
// when it is copied beside the program under test (CreateProcessA looks in the caller's own
// directory first). It never touches the network.
//
// On start it appends its whole command line (GetCommandLineA, byte for byte) and "\n" to
// ping-cmdline.txt in its own directory. Then it plays ping-script.txt from that directory; with
// no script it prints nothing and exits with 0.
//
// Script: one command per line; lines end with "\n" or "\r\n"; empty lines and lines starting
// with '#' are skipped. <text> is everything after the single space that follows the command
// word (or the stream), with escapes \r \n \t \\ \0 and \xHH (two hex digits), so GBK bytes and
// zero bytes can be written.
//
//   out <text>                       one WriteFile of the bytes to standard output
//   err <text>                       one WriteFile of the bytes to standard error
//   repeat <n> out|err <text>        n separate writes of the bytes
//   fill out|err <total> <chunk>     <total> filler bytes in writes of <chunk> bytes (the last one
//                                    may be shorter); byte i of the filler is
//                                    kFillerLine[i % 64] (62 letters and digits, then "\r\n")
//   sleep <ms>                       Sleep(ms)
//   stamp <file>                     writes QueryPerformanceCounter now, as decimal text, to
//                                    <file> (replaced whole; the name appears only complete)
//   waitfile <file> <timeoutMs>      waits until <file> exists, polling every 10 ms; goes on
//                                    after the timeout either way
//   exit <code>                      ends at once with that exit code (decimal, may be negative)
//
// A relative <file> is taken in the fake's own directory. Writes go straight to the standard
// handles (no C runtime buffering), so each write is one write on the pipe; an empty <text>
// makes a zero-byte write. When a write fails (the reader closed the pipe) the fake ends at once
// with exit code 0, silently. A script line it cannot parse is reported on standard error and
// ends it with exit code 98. Without an exit command the exit code is 0.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kFillerLine[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
static_assert(sizeof(kFillerLine) - 1 == 64, "the filler repeats every 64 bytes");

std::string ownDirectory() {
    char path[MAX_PATH * 2] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string full(path, length);
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

std::string inDirectory(const std::string& directory, const std::string& name) {
    bool absolute = (name.size() > 1 && name[1] == ':') || (!name.empty() && (name[0] == '\\' || name[0] == '/'));
    return absolute ? name : directory + "\\" + name;
}

void appendToFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Writes the file under a temporary name and renames it, so a reader never sees it half written.
void replaceFile(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".part";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool readFile(const std::string& path, std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

std::string counterText() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::to_string(now.QuadPart);
}

[[noreturn]] void badLine(size_t number, const std::string& line) {
    std::string message =
        "fake ping: cannot read line " + std::to_string(number) + " of ping-script.txt: " + line + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
    ExitProcess(98);
}

// One write of the bytes; a failed write means the reader has gone, and so do we.
void writeOnce(HANDLE stream, const char* data, size_t size) {
    DWORD written = 0;
    if (!WriteFile(stream, data, static_cast<DWORD>(size), &written, nullptr)) ExitProcess(0);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unescape(const std::string& text, std::string& bytes) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 'r':
                bytes += '\r';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 't':
                bytes += '\t';
                break;
            case '\\':
                bytes += '\\';
                break;
            case '0':
                bytes += '\0';
                break;
            case 'x': {
                if (i + 2 >= text.size()) return false;
                int high = hexDigit(text[i + 1]);
                int low = hexDigit(text[i + 2]);
                if (high < 0 || low < 0) return false;
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

// Splits off the next space-separated word of rest.
bool nextWord(std::string& rest, std::string& word) {
    size_t start = rest.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    size_t end = rest.find(' ', start);
    word = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return true;
}

bool number(const std::string& word, long long& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(word.c_str(), &end, 10);
    return *end == '\0';
}

HANDLE streamNamed(const std::string& name) {
    if (name == "out") return GetStdHandle(STD_OUTPUT_HANDLE);
    if (name == "err") return GetStdHandle(STD_ERROR_HANDLE);
    return nullptr;
}

void play(const std::string& directory, const std::string& script) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        std::string line = script.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }

    for (size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        const size_t lineNumber = index + 1;
        if (line.empty() || line[0] == '#') continue;
        size_t space = line.find(' ');
        std::string command = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);

        if (command == "out" || command == "err") {
            std::string bytes;
            if (!unescape(rest, bytes)) badLine(lineNumber, line);
            writeOnce(streamNamed(command), bytes.data(), bytes.size());
        } else if (command == "repeat") {
            std::string countWord, streamWord;
            long long count = 0;
            if (!nextWord(rest, countWord) || !number(countWord, count) || count < 0) badLine(lineNumber, line);
            // The stream name is followed by exactly one space; the text keeps any further spaces.
            size_t streamEnd = rest.find(' ');
            streamWord = rest.substr(0, streamEnd);
            std::string text = streamEnd == std::string::npos ? std::string() : rest.substr(streamEnd + 1);
            HANDLE stream = streamNamed(streamWord);
            std::string bytes;
            if (!stream || !unescape(text, bytes)) badLine(lineNumber, line);
            for (long long i = 0; i < count; ++i) writeOnce(stream, bytes.data(), bytes.size());
        } else if (command == "fill") {
            std::string streamWord, totalWord, chunkWord;
            long long total = 0, chunk = 0;
            if (!nextWord(rest, streamWord) || !nextWord(rest, totalWord) || !nextWord(rest, chunkWord) ||
                !number(totalWord, total) || !number(chunkWord, chunk) || total < 0 || chunk <= 0 ||
                !streamNamed(streamWord))
                badLine(lineNumber, line);
            HANDLE stream = streamNamed(streamWord);
            std::string bytes;
            for (long long offset = 0; offset < total; offset += chunk) {
                long long size = total - offset < chunk ? total - offset : chunk;
                bytes.resize(static_cast<size_t>(size));
                for (long long i = 0; i < size; ++i) bytes[static_cast<size_t>(i)] = kFillerLine[(offset + i) % 64];
                writeOnce(stream, bytes.data(), bytes.size());
            }
        } else if (command == "sleep") {
            long long ms = 0;
            if (!number(rest, ms) || ms < 0) badLine(lineNumber, line);
            Sleep(static_cast<DWORD>(ms));
        } else if (command == "stamp") {
            if (rest.empty()) badLine(lineNumber, line);
            std::string text = counterText();
            replaceFile(inDirectory(directory, rest), text);
        } else if (command == "waitfile") {
            size_t last = rest.rfind(' ');
            long long timeout = 0;
            if (last == std::string::npos || last == 0 || !number(rest.substr(last + 1), timeout))
                badLine(lineNumber, line);
            std::string path = inDirectory(directory, rest.substr(0, last));
            ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout < 0 ? 0 : timeout);
            while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline)
                Sleep(10);
        } else if (command == "exit") {
            long long code = 0;
            if (!number(rest, code)) badLine(lineNumber, line);
            ExitProcess(static_cast<UINT>(code));
        } else {
            badLine(lineNumber, line);
        }
    }
}

}  // namespace

int main() {
    const std::string directory = ownDirectory();
    appendToFile(directory + "\\ping-cmdline.txt", std::string(GetCommandLineA()) + "\n");
    std::string script;
    if (readFile(directory + "\\ping-script.txt", script)) play(directory, script);
    return 0;
}
