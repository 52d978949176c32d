// The main window as the user meets it: its frame, its thirteen controls, the keys and the buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"

using namespace std::chrono_literals;

namespace {

std::string classOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT rectInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct ExpectedControl {
    const char* name;
    const ControlRef& ref;
    bool inGroupBox;
    const char* className;
    int left, top, width, height;
    const char* text;
};

const ExpectedControl kExpectedControls[] = {
    {"分组框1", 分组框1, false, "Button", 352, 8, 232, 200, ""},
    {"标签5", 标签5, true, "Static", 104, 111, 48, 40, "0"},
    {"标签4", 标签4, true, "Static", 24, 120, 80, 24, "已出现次数："},
    {"按钮2", 按钮2, true, "Button", 120, 160, 104, 32, "取消shutdown命令"},
    {"编辑框5", 编辑框5, true, "Edit", 18, 84, 200, 20, "shutdown -r -f -t 60"},
    {"编辑框4", 编辑框4, true, "Edit", 113, 44, 32, 20, "5"},
    {"编辑框3", 编辑框3, true, "Edit", 64, 16, 112, 20, "请求超时"},
    {"标签3", 标签3, true, "Static", 16, 14, 48, 24, "关键词："},
    {"标签2", 标签2, true, "Static", 16, 48, 200, 134, "如果超时次数大于      次\r\n将执行以下命令："},
    {"标签1", 标签1, false, "Static", 15, 10, 100, 20, "要ping的IP地址："},
    {"编辑框2", 编辑框2, false, "Edit", 115, 10, 141, 20, ""},
    {"按钮1", 按钮1, false, "Button", 256, 9, 88, 21, "记录并启动"},
    {"编辑框1", 编辑框1, false, "Edit", 13, 38, 331, 168, ""},
};

class MainWindowTest : public testing::Test {
protected:
    ProgramFolder folder;
};

TEST_F(MainWindowTest, OpensCentredWithAFixedFrame) {
    RunningProgram program(folder.exePath());
    HWND window = program.window();
    ASSERT_NE(window, nullptr);

    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 615);
    EXPECT_EQ(outer.bottom - outer.top, 246);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 615) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 246) / 2);

    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    EXPECT_EQ(program.windowText(window), "Quorvane");
}

TEST_F(MainWindowTest, HoldsItsThirteenControlsAsDescribed) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    HWND groupBox = program.control(分组框1);
    ASSERT_NE(groupBox, nullptr);

    for (const auto& expected : kExpectedControls) {
        SCOPED_TRACE(expected.name);
        HWND control = program.control(expected.ref);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), expected.inGroupBox ? groupBox : program.window());
        EXPECT_EQ(classOf(control), expected.className);
        const RECT rect = rectInParent(control);
        EXPECT_EQ(rect.left, expected.left);
        EXPECT_EQ(rect.top, expected.top);
        EXPECT_EQ(rect.right - rect.left, expected.width);
        EXPECT_GE(rect.bottom - rect.top, expected.height);
        EXPECT_EQ(program.windowText(control), expected.text);
        EXPECT_TRUE(IsWindowVisible(control));
        EXPECT_TRUE(IsWindowEnabled(control)) << "with no c.ini every control is enabled";
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if (classOf(control) == "Edit") {
            EXPECT_TRUE(GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
            EXPECT_FALSE(style & (ES_READONLY | ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE | ES_NOHIDESEL));
            EXPECT_TRUE(style & WS_TABSTOP);
            EXPECT_GE(static_cast<DWORD>(SendMessageA(control, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu)
                << "no length limit of its own";
        }
        if (classOf(control) == "Static") {
            EXPECT_FALSE(style & WS_TABSTOP);
        }
    }

    // The log wraps, scrolls down and takes Enter; the other boxes are single lines.
    const LONG logStyle = GetWindowLongA(program.control(编辑框1), GWL_STYLE);
    EXPECT_TRUE(logStyle & ES_MULTILINE);
    EXPECT_TRUE(logStyle & WS_VSCROLL);
    EXPECT_TRUE(logStyle & ES_WANTRETURN);
    EXPECT_FALSE(logStyle & (ES_AUTOHSCROLL | WS_HSCROLL));
    EXPECT_FALSE(GetWindowLongA(program.control(编辑框2), GWL_STYLE) & ES_MULTILINE);
    // Neither button is a default button.
    EXPECT_EQ(GetWindowLongA(program.control(按钮1), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(program.control(按钮2), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(groupBox, GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
}

TEST_F(MainWindowTest, StacksSiblingsInTheWindowsControlOrder) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    auto siblingsFromTop = [](HWND parent) {
        std::vector<HWND> order;
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            order.push_back(child);
        return order;
    };
    std::vector<HWND> expectedInWindow, expectedInGroup;
    for (const auto& expected : kExpectedControls)
        (expected.inGroupBox ? expectedInGroup : expectedInWindow).push_back(program.control(expected.ref));
    EXPECT_EQ(siblingsFromTop(program.window()), expectedInWindow);
    EXPECT_EQ(siblingsFromTop(program.control(分组框1)), expectedInGroup);
}

TEST_F(MainWindowTest, TabAndShiftTabFollowTheTabOrderAndWrap) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    const std::vector<const ControlRef*> order = {&编辑框1, &按钮1, &编辑框2, &编辑框3, &编辑框4, &编辑框5, &按钮2};

    ASSERT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框1); }, 5s))
        << "after start-up the caret stands in the log";
    for (std::size_t step = 1; step <= order.size(); ++step) {
        program.pressKey(VK_TAB);
        EXPECT_EQ(program.focus(), program.control(*order[step % order.size()])) << "Tab number " << step;
    }
    for (std::size_t step = 1; step <= order.size(); ++step) {
        program.pressKey(VK_TAB, true);
        EXPECT_EQ(program.focus(), program.control(*order[(order.size() - step) % order.size()]))
            << "Shift+Tab number " << step;
    }
    EXPECT_EQ(program.text(编辑框1), "") << "Tab never reaches the log as a character";
}

TEST_F(MainWindowTest, EnterMakesANewLineInTheLogOnlyAndClicksNothing) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框1); }, 5s));
    program.pressKey(VK_RETURN);
    EXPECT_EQ(program.text(编辑框1), "\r\n");

    program.pressKey(VK_TAB);
    program.pressKey(VK_TAB);
    ASSERT_EQ(program.focus(), program.control(编辑框2));
    program.pressKey(VK_RETURN);
    EXPECT_EQ(program.text(编辑框2), "");
    EXPECT_EQ(program.focus(), program.control(编辑框2)) << "Enter does not move the focus";
    EXPECT_FALSE(fileExists(folder.file("c.ini"))) << "Enter clicked 按钮1";
    EXPECT_FALSE(program.waitForExit(300ms).has_value());
}

TEST_F(MainWindowTest, FocusReturnsToTheLastFocusedControlWhenTheWindowIsActivatedAgain) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框1); }, 5s));
    for (int i = 0; i < 3; ++i) program.pressKey(VK_TAB);
    ASSERT_EQ(program.focus(), program.control(编辑框3));

    // Another window takes the activation, then this one gets it back.
    ProgramFolder otherFolder("-other");
    RunningProgram other(otherFolder.exePath());
    ASSERT_NE(other.window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other.window(); }, 5s));
    SetForegroundWindow(program.window());
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == program.window(); }, 5s));
    EXPECT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框3); }, 5s));
}

class EscapeTest : public testing::TestWithParam<int> {};

TEST_P(EscapeTest, EscClosesTheWindowFromAnyControlWithExitCodeZero) {
    ProgramFolder folder;
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program.control(编辑框1); }, 5s));
    for (int i = 0; i < GetParam(); ++i) program.pressKey(VK_TAB);
    program.pressKey(VK_ESCAPE);
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
}

// 0 Tabs: the log; 3: 编辑框3 inside the group box; 6: 按钮2.
INSTANTIATE_TEST_SUITE_P(FromControls, EscapeTest, testing::Values(0, 3, 6));

TEST_F(MainWindowTest, ClosingEndsWithExitCodeZeroAndNoErrorBox) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    program.close();
    EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(program.showsMessageBox());
}

TEST_F(MainWindowTest, CancelButtonStartsShutdownAbortAndChangesNothingElse) {
    RunningProgram program(folder.exePath());
    ASSERT_NE(program.window(), nullptr);
    std::vector<std::string> before;
    for (const auto& expected : kExpectedControls) before.push_back(program.text(expected.ref));

    program.click(按钮2);
    ASSERT_TRUE(waitUntil([&] { return !folder.shutdownCommandLines().empty(); }));
    EXPECT_EQ(folder.shutdownCommandLines(), "shutdown -a\n");

    for (std::size_t i = 0; i < std::size(kExpectedControls); ++i)
        EXPECT_EQ(program.text(kExpectedControls[i].ref), before[i]) << kExpectedControls[i].name;
    EXPECT_TRUE(program.enabled(按钮1));
    EXPECT_EQ(folder.pingCommandLines(), "") << "no monitor was started";
    EXPECT_FALSE(program.waitForExit(200ms).has_value());
}

}  // namespace
