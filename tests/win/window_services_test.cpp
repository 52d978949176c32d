// In-process tests of the window services against a real window. The test's main thread plays the
// window's thread and keeps handling messages while a worker thread reads, writes and appends to the
// controls, as the monitor worker does in the program. Chinese literals are compiled to GBK
// (-fexec-charset=CP936) and the tests run with the ANSI code page 936.
#include "services/window_services.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "services/system.h"

namespace {

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

struct Selection {
    DWORD start = 0;
    DWORD end = 0;
};

Selection selectionOf(HWND edit) {
    Selection selection;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selection.start), reinterpret_cast<LPARAM>(&selection.end));
    return selection;
}

// The position after the last character, in the edit control's own units (the start of its last
// line plus that line's length), whatever the control counts in.
DWORD editEndPosition(HWND edit) {
    const LRESULT lines = SendMessageA(edit, EM_GETLINECOUNT, 0, 0);
    const LRESULT lastLineStart = SendMessageA(edit, EM_LINEINDEX, static_cast<WPARAM>(lines > 0 ? lines - 1 : 0), 0);
    const LRESULT lastLineLength = SendMessageA(edit, EM_LINELENGTH, static_cast<WPARAM>(lastLineStart), 0);
    return static_cast<DWORD>(lastLineStart + lastLineLength);
}

// How many accesses reached the window procedure as the private message.
std::atomic<int> gAccessMessages{0};

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kControlAccessMessage) {
        ++gAccessMessages;
        runControlAccess(lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

constexpr char kWindowClass[] = "QuorvaneServicesTestWindow";

// Runs work on a new thread while this thread handles its messages until the work is done, as the
// program's main thread does while its worker reaches the window. A hang ends the run (the worker
// could not be left behind safely): a bound of a minute is far beyond any real access.
template <class Work>
void runOnWorker(Work work) {
    std::atomic<bool> done{false};
    const DWORD ownThread = GetCurrentThreadId();
    std::thread worker([&] {
        work();
        done.store(true);
        PostThreadMessageA(ownThread, WM_NULL, 0, 0);
    });
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (!done.load()) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (GetTickCount64() > deadline) {
            std::fprintf(stderr, "the worker's control access did not finish within a minute\n");
            std::abort();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    worker.join();
}

class WindowServicesTest : public testing::Test {
protected:
    static constexpr int32_t kLogId = 369164290;
    static constexpr int32_t kLineId = 369164380;
    static constexpr int32_t kLabelId = 369164423;

    static void SetUpTestSuite() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = testWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExA(&windowClass);
    }

    void SetUp() override {
        // Each test registers its window under an identity number of its own, so no record of an
        // earlier test's window can answer.
        static int32_t nextWindowId = 1375797249;
        windowId_ = nextWindowId++;
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        window_ = CreateWindowExA(0, kWindowClass, "Quorvane services test", WS_OVERLAPPEDWINDOW, 10, 10, 500, 400,
                                  nullptr, nullptr, instance, nullptr);
        ASSERT_NE(window_, nullptr);
        log_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 5, 5,
                               470, 200, window_, reinterpret_cast<HMENU>(1), instance, nullptr);
        line_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 5, 210, 300, 24,
                                window_, reinterpret_cast<HMENU>(2), instance, nullptr);
        label_ = CreateWindowExA(0, "STATIC", "0", WS_CHILD | WS_VISIBLE, 5, 240, 200, 20, window_,
                                 reinterpret_cast<HMENU>(3), instance, nullptr);
        ASSERT_NE(log_, nullptr);
        ASSERT_NE(line_, nullptr);
        ASSERT_NE(label_, nullptr);
        // No text limit, as the program's log has none beyond the box's own.
        SendMessageA(log_, EM_SETLIMITTEXT, 0, 0);
        registerWindow(windowId_, window_);
        registerControl(windowId_, kLogId, ControlKind::EditBox, log_, "");
        registerControl(windowId_, kLineId, ControlKind::EditBox, line_, "");
        registerControl(windowId_, kLabelId, ControlKind::Label, label_, "0");
        gAccessMessages = 0;
    }

    void TearDown() override {
        if (window_) DestroyWindow(window_);
        pumpPendingMessages();
    }

    ControlRef ref(int32_t controlId) const { return ControlRef{windowId_, controlId}; }
    HWND windowOf(int32_t controlId) const {
        return controlId == kLogId ? log_ : controlId == kLineId ? line_ : label_;
    }

    int32_t windowId_ = 0;
    HWND window_ = nullptr;
    HWND log_ = nullptr;
    HWND line_ = nullptr;
    HWND label_ = nullptr;
};

TEST_F(WindowServicesTest, EditTextSetFromAWorkerReadsBackByteExact) {
    const struct {
        const char* name;
        int32_t control;
        std::string text;
    } cases[] = {
        {"ASCII in the log", kLogId, "Pinging 127.0.0.1 with 32 bytes of data:"},
        {"GBK in the log", kLogId, "请求超时。"},
        {"lines in the log", kLogId, "正在 Ping 127.0.0.1 具有 32 字节的数据:\r\n请求超时。\r\n"},
        {"5C trail bytes in the log", kLogId, "C:\\乗\\乗乗.exe"},
        {"over 20,000 bytes in the log", kLogId, std::string(12000, 'x') + std::string(8000, 'y') + "请求超时" + "z"},
        {"ping arguments in the line", kLineId, "-t 127.0.0.1"},
        {"GBK in the line", kLineId, "请求超时"},
        {"inner blanks in the line", kLineId, "a  b   乗"},
        {"empty line", kLineId, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Something else first, so that an access that did nothing cannot pass.
        SetWindowTextA(windowOf(c.control), "previous");
        Text readBack = "unread";
        runOnWorker([&] {
            setControlValue(ref(c.control), kTextProperty, c.text);
            readBack = getControlValue(ref(c.control), kTextProperty);
        });
        EXPECT_EQ(hexOf(windowText(windowOf(c.control))), hexOf(c.text));
        EXPECT_EQ(hexOf(readBack), hexOf(c.text));
    }
    EXPECT_GT(gAccessMessages.load(), 0) << "the worker's accesses were carried out on the window's thread";
}

TEST_F(WindowServicesTest, EditTextReadsWhatTheBoxHoldsNow) {
    // Text put into the box by other means (as typed by the user) is what a worker reads.
    const std::string typed = "-n 5 127.0.0.1 请求";
    SetWindowTextA(line_, typed.c_str());
    Text readBack = "unread";
    runOnWorker([&] { readBack = getControlValue(ref(kLineId), kTextProperty); });
    EXPECT_EQ(hexOf(readBack), hexOf(typed));
}

TEST_F(WindowServicesTest, EmptyEditReadsAsEmpty) {
    for (int32_t control : {kLogId, kLineId}) {
        SCOPED_TRACE(control);
        SetWindowTextA(windowOf(control), "");
        Text readBack = "unread";
        runOnWorker([&] { readBack = getControlValue(ref(control), kTextProperty); });
        EXPECT_TRUE(readBack.empty()) << hexOf(readBack);
    }
}

TEST_F(WindowServicesTest, LabelCaptionReadsBackExactlyAsWritten) {
    const struct {
        const char* name;
        std::string caption;
    } cases[] = {
        {"counter", "5"},
        {"wrapped counter", "2147483648"},
        {"GBK", "超时次数"},
        {"5C trail byte", "乗\\"},
        // An unpaired lead byte need not survive a trip through the window: the label holds the
        // caption itself, so it reads back unchanged.
        {"unpaired lead byte", "ab\x81"},
        {"lead byte before a control byte", "\x81\x01x"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Text readBack = "unread";
        runOnWorker([&] {
            setControlValue(ref(kLabelId), kTextProperty, "previous");
            setControlValue(ref(kLabelId), kTextProperty, c.caption);
            readBack = getControlValue(ref(kLabelId), kTextProperty);
        });
        EXPECT_EQ(hexOf(readBack), hexOf(c.caption));
    }
    // A caption that the window can hold is also what the label shows.
    runOnWorker([&] { setControlValue(ref(kLabelId), kTextProperty, "超时 7"); });
    EXPECT_EQ(hexOf(windowText(label_)), hexOf("超时 7"));
}

TEST_F(WindowServicesTest, LabelCaptionIsTheOneHeldNotTheWindowText) {
    Text initial = "unread";
    runOnWorker([&] { initial = getControlValue(ref(kLabelId), kTextProperty); });
    EXPECT_EQ(std::string(initial.c_str()), "0") << "the caption given at registration";

    runOnWorker([&] { setControlValue(ref(kLabelId), kTextProperty, "4"); });
    // The label's window changed behind the services' back is not asked.
    SetWindowTextA(label_, "changed elsewhere");
    Text readBack = "unread";
    runOnWorker([&] { readBack = getControlValue(ref(kLabelId), kTextProperty); });
    EXPECT_EQ(std::string(readBack.c_str()), "4");
}

// appendEditText takes its pieces as a list written at the call.
void appendPieces(ControlRef control, const std::vector<std::string>& pieces) {
    switch (pieces.size()) {
        case 1:
            appendEditText(control, {pieces[0]});
            break;
        case 2:
            appendEditText(control, {pieces[0], pieces[1]});
            break;
        case 3:
            appendEditText(control, {pieces[0], pieces[1], pieces[2]});
            break;
        case 4:
            appendEditText(control, {pieces[0], pieces[1], pieces[2], pieces[3]});
            break;
        default:
            FAIL() << "appendPieces takes 1 to 4 pieces";
    }
}

TEST_F(WindowServicesTest, AppendAddsThePiecesInOrderWithTheCaretAtTheEnd) {
    const struct {
        const char* name;
        int32_t control;
        std::string initial;
        int selectionStart, selectionEnd;  // where the caret or selection is before the append
        std::vector<std::vector<std::string>> calls;
        std::string expected;
    } cases[] = {
        {"chunks into an empty log",
         kLogId,
         "",
         0,
         0,
         {{"正在 Ping 127.0.0.1\r\n", "请求超时。\r\n", "来自 127.0.0.1 的回复"}, {": 时间<1ms\r\n"}},
         "正在 Ping 127.0.0.1\r\n请求超时。\r\n来自 127.0.0.1 的回复: 时间<1ms\r\n"},
        {"caret at the start",
         kLogId,
         "起始\r\n",
         0,
         0,
         {{"a", "请求超时\r\n", "", "b"}, {"c"}},
         "起始\r\na请求超时\r\nbc"},
        {"everything selected is kept", kLogId, "选中的文字", 0, -1, {{"乗", "\\"}}, "选中的文字乗\\"},
        {"selection in the middle", kLineId, "abcdef", 2, 4, {{"X", "请"}}, "abcdefX请"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HWND edit = windowOf(c.control);
        SetWindowTextA(edit, c.initial.c_str());
        SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(c.selectionStart), c.selectionEnd);
        runOnWorker([&] {
            for (const auto& call : c.calls) appendPieces(ref(c.control), call);
        });
        EXPECT_EQ(hexOf(windowText(edit)), hexOf(c.expected));
        const Selection caret = selectionOf(edit);
        EXPECT_EQ(caret.start, caret.end);
        EXPECT_EQ(caret.end, editEndPosition(edit));
        EXPECT_GT(caret.end, 0u);
    }
}

TEST_F(WindowServicesTest, EmptyAppendOnlyMovesTheCaretToTheEnd) {
    const std::string text = "第一行\r\nabc乗";
    SetWindowTextA(log_, text.c_str());
    SendMessageA(log_, EM_SETSEL, 0, 0);
    ASSERT_EQ(selectionOf(log_).end, 0u);
    runOnWorker([&] { appendEditText(ref(kLogId), {""}); });
    EXPECT_EQ(hexOf(windowText(log_)), hexOf(text));
    const Selection caret = selectionOf(log_);
    EXPECT_EQ(caret.start, caret.end);
    EXPECT_EQ(caret.end, editEndPosition(log_));
    EXPECT_GT(caret.end, 0u);
}

TEST_F(WindowServicesTest, AppendNeitherCapsNorTrimsTheLog) {
    // Only the box's own limit applies; the log's is lifted (see SetUp), so 40,000 bytes go past
    // the default of 30,000 and all of them stay.
    const std::string line(99, 'x');
    runOnWorker([&] {
        for (int i = 0; i < 400; ++i) appendEditText(ref(kLogId), {line, "\n"});
    });
    EXPECT_EQ(windowText(log_).size(), 400u * 100u);
}

TEST_F(WindowServicesTest, DisabledStateFromAWorker) {
    for (int32_t control : {kLogId, kLineId, kLabelId}) {
        SCOPED_TRACE(control);
        const HWND window = windowOf(control);
        bool afterDisable = false, afterEnable = true;
        bool windowEnabledWhileDisabled = true;
        runOnWorker([&] {
            setControlValue(ref(control), kDisabledProperty, true);
            afterDisable = getControlValue(ref(control), kDisabledProperty);
        });
        windowEnabledWhileDisabled = IsWindowEnabled(window) != 0;
        runOnWorker([&] {
            setControlValue(ref(control), kDisabledProperty, false);
            afterEnable = getControlValue(ref(control), kDisabledProperty);
        });
        EXPECT_TRUE(afterDisable);
        EXPECT_FALSE(windowEnabledWhileDisabled);
        EXPECT_FALSE(afterEnable);
        EXPECT_TRUE(IsWindowEnabled(window));
    }
}

TEST_F(WindowServicesTest, DisabledStateReadsTheWindow) {
    // A window disabled by other means reads as disabled.
    EnableWindow(line_, FALSE);
    bool disabled = false;
    runOnWorker([&] { disabled = getControlValue(ref(kLineId), kDisabledProperty); });
    EXPECT_TRUE(disabled);
    EnableWindow(line_, TRUE);
    runOnWorker([&] { disabled = getControlValue(ref(kLineId), kDisabledProperty); });
    EXPECT_FALSE(disabled);
}

TEST_F(WindowServicesTest, CallsOnTheWindowsOwnThreadWorkDirectly) {
    setControlValue(ref(kLineId), kTextProperty, "请求超时 own");
    EXPECT_EQ(hexOf(windowText(line_)), hexOf("请求超时 own"));
    EXPECT_EQ(hexOf(getControlValue(ref(kLineId), kTextProperty)), hexOf("请求超时 own"));

    setControlValue(ref(kLabelId), kTextProperty, "ab\x81");
    EXPECT_EQ(hexOf(getControlValue(ref(kLabelId), kTextProperty)), hexOf("ab\x81"));

    SetWindowTextA(log_, "x");
    SendMessageA(log_, EM_SETSEL, 0, 0);
    appendEditText(ref(kLogId), {"乗", "y"});
    EXPECT_EQ(hexOf(windowText(log_)), hexOf("x乗y"));
    EXPECT_EQ(selectionOf(log_).start, editEndPosition(log_));

    setControlValue(ref(kLogId), kDisabledProperty, true);
    EXPECT_FALSE(IsWindowEnabled(log_));
    EXPECT_TRUE(getControlValue(ref(kLogId), kDisabledProperty));
    setControlValue(ref(kLogId), kDisabledProperty, false);
    EXPECT_TRUE(IsWindowEnabled(log_));

    EXPECT_EQ(gAccessMessages.load(), 0) << "no access needed the private message";
}

TEST_F(WindowServicesTest, PumpHandlesWaitingMessagesAndLeavesTheQuitRequest) {
    PostMessageA(window_, WM_USER + 7, 0, 0);
    PostMessageA(window_, WM_USER + 8, 0, 0);
    pumpPendingMessages();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, window_, WM_USER + 7, WM_USER + 8, PM_NOREMOVE))
        << "the posted messages were handled";

    // A quit request stops the pump and stays queued for the message loop, with whatever was
    // posted after it; what was posted before it is handled.
    PostMessageA(window_, WM_USER + 9, 0, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 3, 0);
    PostMessageA(window_, WM_USER + 10, 0, 0);
    pumpPendingMessages();
    EXPECT_FALSE(PeekMessageA(&message, window_, WM_USER + 9, WM_USER + 9, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_TRUE(PeekMessageA(&message, window_, WM_USER + 10, WM_USER + 10, PM_REMOVE));
}

}  // namespace
