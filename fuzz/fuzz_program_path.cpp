// splitProgramPath: the split is at the last backslash that starts a character, never at the trail
// byte of a two-byte character, and the two halves give the path back.
//
// Header: none.
// Texts: the module path (up to the first zero byte, as the system hands it over).
#include "fuzz_support.h"
#include "services/program_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 0);
    const std::string_view path = in.text(0);
    const ProgramLocation location = splitProgramPath(path);
    const std::string_view directory(location.directory), fileName(location.fileName);
    const auto what = [&] {
        return std::string("path " + fuzz::hexOf(path) + "\ndirectory " + fuzz::hexOf(directory) + "\nfile name " +
                           fuzz::hexOf(fileName));
    };

    std::size_t expectedSeparator = std::string_view::npos;
    for (std::size_t p : fuzz::characterStarts(path)) {
        if (path[p] == '\\') expectedSeparator = p;
    }

    if (expectedSeparator == std::string_view::npos) {
        CHECK(directory.empty() && fileName == path, what());
        return 0;
    }
    // A separator was found: it is a character start, and the halves surround it.
    const std::size_t split = directory.size();
    CHECK(split == expectedSeparator, what());
    CHECK(split < path.size() && path[split] == '\\' && fuzz::isCharacterStart(path, split), what());
    CHECK(std::string(directory) + "\\" + std::string(fileName) == path, what());
    // No backslash that starts a character is left in the file name.
    for (std::size_t p : fuzz::characterStarts(fileName)) CHECK(fileName[p] != '\\', what());
    return 0;
}
