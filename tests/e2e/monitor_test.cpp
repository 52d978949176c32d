// Watching a link end to end: a recorded value starts the fake ping hidden, its output streams into
// the log, and the timeout rule counts and fires the action.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "driver.h"

using namespace std::chrono_literals;

namespace {

// The fake ping waits for the test to set up the window before it prints.
constexpr char kWaitForGo[] = "waitfile go.txt 20000\n";

class MonitorTest : public testing::Test {
protected:
    ProgramFolder folder;
};

struct IdleCase {
    const char* name;
    const char* settingsFile;  // nullptr: no c.ini at all
};

class IdleStartTest : public testing::TestWithParam<IdleCase> {};

TEST_P(IdleStartTest, WithoutARecordedValueTheWindowOpensIdle) {
    ProgramFolder folder;
    if (GetParam().settingsFile) {
        ASSERT_TRUE(writeFileBytes(folder.file("c.ini"), GetParam().settingsFile));
    }
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(program.text(编辑框2), "");
    EXPECT_TRUE(program.enabled(按钮1));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(folder.pingCommandLines(), "") << "no child was started";
    EXPECT_EQ(program.text(编辑框1), "");
}

INSTANTIATE_TEST_SUITE_P(Settings, IdleStartTest,
                         testing::Values(IdleCase{"NoFile", nullptr}, IdleCase{"EmptyValue", "[PING]\r\n命令=\r\n"},
                                         IdleCase{"OtherSectionOnly", "[OTHER]\r\n命令=-n 1 127.0.0.1\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, ARecordedValueStartsPingHiddenAndStreamsItsOutputAndErrors) {
    folder.recordArguments("-n 3 127.0.0.3");
    folder.setPingScript(
        "out 正在 Ping 127.0.0.3 具有 32 字节的数据:\\r\\n\n"
        "sleep 150\n"
        "err \\xC7\\xEB\\xC7\\xF3 error line\\r\\n\n"
        "sleep 150\n"
        "out last\\r\\n\n");
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(program.text(编辑框2), "-n 3 127.0.0.3");
    EXPECT_FALSE(program.enabled(按钮1));
    const std::string expectedLog = "正在 Ping 127.0.0.3 具有 32 字节的数据:\r\n请求 error line\r\nlast\r\n";
    EXPECT_TRUE(program.waitForText(编辑框1, expectedLog)) << program.text(编辑框1);
    EXPECT_EQ(folder.pingCommandLines(), "ping -n 3 127.0.0.3\n");
    EXPECT_EQ(program.text(标签5), "0");

    // With 按钮1 disabled, Tab from the log goes to 编辑框2.
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框1); }, 5s));
    program.pressKey(VK_TAB);
    EXPECT_EQ(program.focus(), program.control(编辑框2));
}

TEST_F(MonitorTest, TheArgumentsArePassedUnchanged) {
    // The profile reader drops blanks around a value; everything inside it reaches ping as it is.
    folder.recordArguments("-t\t127.0.0.2  \"quoted arg\" 请求");
    RunningProgram program(folder.exePath());
    ASSERT_TRUE(waitUntil([&] { return !folder.pingCommandLines().empty(); }));
    EXPECT_EQ(folder.pingCommandLines(), "ping -t\t127.0.0.2  \"quoted arg\" 请求\n");
}

TEST_F(MonitorTest, AChildThatPrintsNothingLeavesTheLogEmpty) {
    folder.recordArguments("-n 1 127.0.0.1");
    folder.setPingScript("exit 1\n");
    RunningProgram program(folder.exePath());
    ASSERT_TRUE(waitUntil([&] { return !folder.pingCommandLines().empty(); }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(program.text(编辑框1), "");
    EXPECT_EQ(program.text(标签5), "0");
    EXPECT_FALSE(program.waitForExit(100ms).has_value()) << "the window stays open after the child ends";
}

TEST_F(MonitorTest, AZeroByteCutsTheChunkAndTheRestOfThatReadIsDropped) {
    folder.recordArguments("-n 1 127.0.0.1");
    folder.setPingScript("out abc\\0def\nsleep 150\nout \\r\\nnext\n");
    RunningProgram program(folder.exePath());
    EXPECT_TRUE(program.waitForText(编辑框1, "abc\r\nnext")) << program.text(编辑框1);
}

struct RuleCase {
    const char* name;
    const char* keyword;    // nullptr: the default keyword
    const char* threshold;  // nullptr: the default threshold "5"
    const char* script;     // played after the test has set the boxes
    const char* counter;    // the counter afterwards
    int actions;            // how often the action ran
};

// Each "out" after a sleep arrives as a read of its own.
constexpr char kSevenHits[] =
    "out 请求超时。\\r\\n\nsleep 100\nout 请求超时。\\r\\n\nsleep 100\nout 请求超时。\\r\\n\nsleep 100\n"
    "out 请求超时。\\r\\n\nsleep 100\nout 请求超时。\\r\\n\nsleep 100\nout 请求超时。\\r\\n\nsleep 100\n"
    "out 请求超时。\\r\\n\n";
const RuleCase kRuleCases[] = {
    {"ThreeHitsCountThree", nullptr, nullptr,
     "out 请求超时。\\r\\n\nsleep 120\nout 请求超时。\\r\\n\nsleep 120\nout 来自 127.0.0.1 的回复\\r\\n\nsleep 120\n"
     "out 请求超时。\\r\\n\n",
     "3", 0},
    {"FiresOnceAtTheThreshold", nullptr, nullptr, kSevenHits, "7", 1},
    {"KeywordTwiceInOneChunkCountsOnce", nullptr, nullptr, "out 请求超时。请求超时。\\r\\n\n", "1", 0},
    {"KeywordSplitAcrossReadsIsNotCounted", nullptr, nullptr, "out 请求\nsleep 150\nout 超时\\r\\n\n", "0", 0},
    {"LetterCaseMatters", "Request timed out", "1", "out request timed out.\\r\\n\nsleep 120\nout REQUEST TIMED OUT\n",
     "0", 0},
    {"EmptyKeywordCountsEveryNonEmptyChunk", "", "3", "out a\nsleep 120\nout b\nsleep 120\nout c\n", "3", 1},
    {"ThresholdWithLeadingZeroNeverFires", nullptr, "05", kSevenHits, "7", 0},
    {"ThresholdWithTrailingBlankNeverFires", nullptr, "5 ", kSevenHits, "7", 0},
    {"ThresholdZeroNeverFires", nullptr, "0", kSevenHits, "7", 0},
    {"AFullCharacterMatches", "\\xB3\\xAC", "1", "out \\xC7\\xEB\\xC7\\xF3\\xB3\\xAC\\xCA\\xB1\n", "1", 1},
    {"KeywordAtATrailByteIsNotCounted", "\\xEB\\xC7", "1", "out \\xC7\\xEB\\xC7\\xF3\n", "0", 0},
};

class TimeoutRuleTest : public testing::TestWithParam<RuleCase> {};

std::string unescape(const char* text) {
    std::string bytes;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'x') {
            bytes += static_cast<char>(std::stoi(std::string(p + 2, 2), nullptr, 16));
            p += 3;
        } else {
            bytes += *p;
        }
    }
    return bytes;
}

TEST_P(TimeoutRuleTest, CountsChunksThatHoldTheKeywordAndFiresAtTheThreshold) {
    const RuleCase& rule = GetParam();
    ProgramFolder folder;
    folder.recordArguments("-t 127.0.0.1");
    folder.setPingScript(std::string(kWaitForGo) + rule.script + "sleep 300\nout end-of-output\n");
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    if (rule.keyword) program.setText(编辑框3, unescape(rule.keyword));
    if (rule.threshold) program.setText(编辑框4, rule.threshold);
    program.setText(编辑框5, "shutdown -r -t 99");
    folder.go();

    ASSERT_TRUE(waitUntil([&] {
        const std::string log = program.text(编辑框1);
        return log.size() >= 13 && log.compare(log.size() - 13, 13, "end-of-output") == 0;
    })) << program.text(编辑框1);
    // The last line holds no keyword, except for the empty keyword, which counts it too.
    const std::string expectedCounter =
        rule.keyword && *rule.keyword == '\0' ? std::to_string(std::stoi(rule.counter) + 1) : rule.counter;
    EXPECT_EQ(program.text(标签5), expectedCounter);
    std::string expectedActions;
    for (int i = 0; i < rule.actions; ++i) expectedActions += "shutdown -r -t 99\n";
    // A started action records itself a moment later; give it the time, then look once more.
    waitUntil([&] { return folder.shutdownCommandLines() == expectedActions; }, 5s);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(folder.shutdownCommandLines(), expectedActions);
}

INSTANTIATE_TEST_SUITE_P(Rule, TimeoutRuleTest, testing::ValuesIn(kRuleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, ClosingWhileTheChildStreamsFastAlwaysEndsWithExitCodeZero) {
    folder.recordArguments("-t 127.0.0.1");
    folder.setPingScript("repeat 1000000 out 请求超时。来自 127.0.0.1 的回复: 字节=32 时间<1ms TTL=128\\r\\n\n");
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        RunningProgram program(folder.exePath());
        ASSERT_NE(program.window(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return !program.text(编辑框1).empty(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50 * (round % 5)));
        program.close();
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
        EXPECT_FALSE(program.showsMessageBox());
        terminateProcessesInFolder(folder.path());
    }
}

TEST_F(MonitorTest, TheSystemPingRepliesFromLoopback) {
    folder.removeFakePing();
    folder.recordArguments("-n 1 127.0.0.1");
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return program.text(编辑框1).find("127.0.0.1") != std::string::npos; }, 20s))
        << program.text(编辑框1);
    EXPECT_EQ(folder.pingCommandLines(), "") << "the fake was not used";
}

}  // namespace
