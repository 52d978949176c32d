// The Windows tests run under Wine with LANG=LC_ALL=zh_CN.UTF-8, which gives the ANSI and OEM
// code page 936 (GBK) of a Chinese Windows. With any other locale Wine falls back to 1252 and
// every test that compares Chinese text would fail for the wrong reason.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(WineSession, AnsiCodePageIsGbk) {
    EXPECT_EQ(GetACP(), 936u) << "the ANSI code page is not 936: is the zh_CN.UTF-8 locale "
                                 "generated, and did the test run through scripts/wine-run.sh?";
}

TEST(WineSession, OemCodePageIsGbk) {
    EXPECT_EQ(GetOEMCP(), 936u) << "the OEM code page is not 936: is the zh_CN.UTF-8 locale "
                                   "generated, and did the test run through scripts/wine-run.sh?";
}

TEST(WineSession, AnsiTextConvertsAsGbk) {
    // "请求超时" in GBK.
    const char gbk[] = "\xC7\xEB\xC7\xF3\xB3\xAC\xCA\xB1";
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, -1, wide, 8), 5);
    EXPECT_EQ(wide[0], 0x8BF7);
    EXPECT_EQ(wide[1], 0x6C42);
    EXPECT_EQ(wide[2], 0x8D85);
    EXPECT_EQ(wide[3], 0x65F6);
}

TEST(WineSession, DisplayShowsWindows) {
    // GUI tests need the session's X display; without one window creation fails.
    HWND window = CreateWindowExA(0, "STATIC", "harness", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr) << "no window: the Wine session has no usable display";
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    DestroyWindow(window);
}

}  // namespace
