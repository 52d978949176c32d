// Unit tests of the text of Restart.bat. The expected bytes are written with escapes: the sources
// compile with -fexec-charset=CP936, so 秒数 is C3 EB CA FD and <文件名> is 3C CE C4 BC FE C3 FB 3E.
#include "settings/restart_batch.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSeconds = "\xC3\xEB\xCA\xFD";                        // 秒数
constexpr std::string_view kFileNamePlaceholder = "<\xCE\xC4\xBC\xFE\xC3\xFB>";  // <文件名>

// The four lines with the given pause text and file name put in.
std::string expectedBatch(std::string_view countText, std::string_view fileName) {
    std::string batch = "@echo off \r\n@ping 127.0.0.1 -n ";
    batch.append(countText);
    batch += " >nul\r\nstart \"\" \"";
    batch.append(fileName);
    batch += "\"\r\ndel Restart.bat";
    return batch;
}

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    for (;;) {
        const std::size_t end = text.find("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) return lines;
        text.remove_prefix(end + 2);
    }
}

TEST(RestartBatch, TemplateIsTheFourLinesIn78Bytes) {
    const std::string_view batchTemplate(restartBatchTemplate, sizeof restartBatchTemplate - 1);
    EXPECT_EQ(batchTemplate.size(), 78u);
    EXPECT_EQ(hexOf(batchTemplate), hexOf(expectedBatch(kSeconds, kFileNamePlaceholder)));
    const std::vector<std::string> lines = linesOf(batchTemplate);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "@echo off ");
    EXPECT_EQ(hexOf(lines[1]), hexOf(std::string("@ping 127.0.0.1 -n ") + "秒数" + " >nul"));
    EXPECT_EQ(hexOf(lines[2]), hexOf(std::string("start \"\" \"") + "<文件名>" + "\""));
    EXPECT_EQ(lines[3], "del Restart.bat");
}

TEST(RestartBatch, PauseCountDefaultsToTwoBelowOne) {
    const struct {
        std::optional<int> given;
        int count;
    } cases[] = {
        {std::nullopt, 2}, {0, 2}, {-3, 2}, {INT_MIN, 2}, {1, 1}, {2, 2}, {7, 7}, {10, 10}, {INT_MAX, INT_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given ? std::to_string(*c.given) : std::string("left out"));
        EXPECT_EQ(restartPauseCount(c.given), c.count);
    }
}

TEST(RestartBatch, PlaceholdersAreReplacedByNameAndCount) {
    const struct {
        const char* name;
        std::string_view fileName;
        std::optional<int> given;
        std::string_view countText;
    } cases[] = {
        {"default count", "QV.EXE", std::nullopt, "2"},
        {"long name with blanks", "Quorvane long name.exe", std::nullopt, "2"},
        {"count 7", "QUORVA~1.EXE", 7, "7"},
        {"count 10", "QV.EXE", 10, "10"},
        {"count 0 is 2", "QV.EXE", 0, "2"},
        {"count -3 is 2", "QV.EXE", -3, "2"},
        {"largest count", "QV.EXE", INT_MAX, "2147483647"},
        {"GBK name with a 5C trail byte", "乗乗.exe", std::nullopt, "2"},
        {"empty name", "", std::nullopt, "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text batch = restartBatchText(c.fileName, restartPauseCount(c.given));
        EXPECT_EQ(hexOf(batch), hexOf(expectedBatch(c.countText, c.fileName)));
        EXPECT_EQ(batch.size(), 66u + c.fileName.size() + c.countText.size());
    }
}

TEST(RestartBatch, DefaultCountGives67BytesPlusTheName) {
    for (std::string_view fileName : {"Q.EXE", "QUORVANE.EXE", "乗.exe"}) {
        SCOPED_TRACE(hexOf(fileName));
        EXPECT_EQ(restartBatchText(fileName, restartPauseCount(std::nullopt)).size(), 67u + fileName.size());
    }
}

TEST(RestartBatch, OnlyTheFirstOccurrencesAreReplaced) {
    // 秒数 is looked for from the start, so the one on line 2 is replaced and a name that holds 秒数
    // or the file-name placeholder itself stays as it is.
    const struct {
        const char* name;
        std::string_view fileName;
    } cases[] = {
        {"name holds 秒数", "秒数.exe"},
        {"name holds 秒数 twice", "秒数秒数.exe"},
        {"name holds the file-name placeholder", "<文件名>.exe"},
        {"name holds both", "<文件名>秒数.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text batch = restartBatchText(c.fileName, 3);
        EXPECT_EQ(hexOf(batch), hexOf(expectedBatch("3", c.fileName)));
        const std::vector<std::string> lines = linesOf(batch);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[1], "@ping 127.0.0.1 -n 3 >nul");
        EXPECT_EQ(hexOf(lines[2]), hexOf(std::string("start \"\" \"").append(c.fileName) + "\""));
    }
}

TEST(RestartBatch, EndsWithTheDeleteLineAndNoLineEnd) {
    const Text batch = restartBatchText("QV.EXE", 2);
    const std::string_view tail = "\r\ndel Restart.bat";
    ASSERT_GE(batch.size(), tail.size());
    EXPECT_EQ(std::string_view(batch).substr(batch.size() - tail.size()), tail);
    EXPECT_EQ(batch.find('\0'), Text::npos);
}

}  // namespace
