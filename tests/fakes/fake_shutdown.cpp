// Fake shutdown.exe for the Windows tests: copied beside the program under test, it is started
// instead of the system's shutdown utility and restarts nothing.
//
// It takes QueryPerformanceCounter first, writes that value as decimal text to
// shutdown-stamp.txt in its own directory (replaced whole; the name appears only complete), then
// appends its whole command line (GetCommandLineA, byte for byte) and "\n" to
// shutdown-cmdline.txt there, and exits with 0. So a test that has seen the command line also
// finds the stamp of the same run.
#include <windows.h>

#include <string>

namespace {

std::string ownDirectory() {
    char path[MAX_PATH * 2] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string full(path, length);
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

void writeFile(const std::string& path, const std::string& bytes, bool append) {
    HANDLE file =
        CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::string directory = ownDirectory();

    const std::string stamp = directory + "\\shutdown-stamp.txt";
    writeFile(stamp + ".part", std::to_string(now.QuadPart), false);
    MoveFileExA((stamp + ".part").c_str(), stamp.c_str(), MOVEFILE_REPLACE_EXISTING);

    writeFile(directory + "\\shutdown-cmdline.txt", std::string(GetCommandLineA()) + "\n", true);
    return 0;
}
