// Unit tests of splitting the executable's path into its directory and bare file name. Chinese
// literals are written in UTF-8 and compiled to GBK (-fexec-charset=CP936).
#include "services/program_path.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <string>
#include <string_view>

namespace {

TEST(ProgramPath, CharacterWithTrailByte5CIsWrittenAsExpected) {
    // The GBK cases below depend on this: 乗 is 81 5C, whose second byte is a backslash.
    EXPECT_EQ(hexOf("乗"), "81 5C");
}

TEST(ProgramPath, SplitsAtTheLastRealBackslash) {
    const struct {
        const char* name;
        std::string_view path;
        std::string_view directory;
        std::string_view fileName;
    } cases[] = {
        {"normal path", "C:\\Tools\\Quorvane\\Quorvane.exe", "C:\\Tools\\Quorvane", "Quorvane.exe"},
        {"drive root", "C:\\Quorvane.exe", "C:", "Quorvane.exe"},
        {"no backslash", "Quorvane.exe", "", "Quorvane.exe"},
        {"GBK directory", "C:\\乗\\Q.exe", "C:\\乗", "Q.exe"},
        {"5C inside the file name", "C:\\a乗.exe", "C:", "a乗.exe"},
        {"5C inside a file name without directory", "乗乗.exe", "", "乗乗.exe"},
        {"5C ending the directory name", "D:\\工具\\乗\\乗.exe", "D:\\工具\\乗", "乗.exe"},
        {"blanks in names", "C:\\Program Files\\My Tools\\Quorvane long name.exe", "C:\\Program Files\\My Tools",
         "Quorvane long name.exe"},
        {"trailing backslash", "C:\\dir\\", "C:\\dir", ""},
        {"empty path", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramLocation location = splitProgramPath(c.path);
        EXPECT_EQ(hexOf(location.directory), hexOf(c.directory));
        EXPECT_EQ(hexOf(location.fileName), hexOf(c.fileName));
    }
}

TEST(ProgramPath, DirectoryAndNameJoinBackToThePath) {
    // Whatever the split, directory + "\" + name gives back the path when there was a backslash.
    for (std::string_view path : {"C:\\乗\\乗\\x.exe", "E:\\a b\\c d.exe", "C:\\Quorvane.exe"}) {
        SCOPED_TRACE(path);
        const ProgramLocation location = splitProgramPath(path);
        EXPECT_EQ(hexOf(std::string(location.directory.c_str()) + "\\" + location.fileName.c_str()), hexOf(path));
        EXPECT_EQ(location.fileName.find('\\'), Text::npos);
    }
}

}  // namespace
