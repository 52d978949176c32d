// The main window built in this process, where its fonts, icons and colours can be inspected.
#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ui/controls.h"

namespace {

HWND controlOf(HWND window, const ControlRef& ref) {
    if (HWND direct = GetDlgItem(window, ref.controlId)) return direct;
    return GetDlgItem(GetDlgItem(window, 分组框1.controlId), ref.controlId);
}

SIZE iconSize(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST(MainWindowInProcessTest, FontsIconsAndColoursAreAsDescribed) {
    ASSERT_TRUE(loadMainWindow());
    HWND window = FindWindowA("QuorvaneMainWindow", "Quorvane");
    ASSERT_NE(window, nullptr);

    // The counter's font, field by field.
    HWND counter = controlOf(window, 标签5);
    LOGFONTA font{};
    ASSERT_EQ(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(counter, WM_GETFONT, 0, 0)), sizeof font, &font),
              static_cast<int>(sizeof font));
    EXPECT_EQ(font.lfHeight, -35);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfEscapement, 0);
    EXPECT_EQ(font.lfOrientation, 0);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfUnderline, 0);
    EXPECT_EQ(font.lfStrikeOut, 0);
    EXPECT_EQ(font.lfCharSet, 134);
    EXPECT_EQ(font.lfOutPrecision, 3);
    EXPECT_EQ(font.lfClipPrecision, 2);
    EXPECT_EQ(font.lfQuality, 1);
    EXPECT_EQ(font.lfPitchAndFamily, 34);
    EXPECT_EQ(std::string(font.lfFaceName), "微软雅黑");

    // Every other control, and the window, use the default GUI font.
    const auto guiFont = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlRef* ref :
         {&分组框1, &标签4, &按钮2, &编辑框5, &编辑框4, &编辑框3, &标签3, &标签2, &标签1, &编辑框2, &按钮1, &编辑框1}) {
        SCOPED_TRACE(ref->controlId);
        EXPECT_EQ(SendMessageA(controlOf(window, *ref), WM_GETFONT, 0, 0), guiFont);
    }

    // DEFAULT_ICON, large at 32 x 32 and small at 16 x 16; the button-face background.
    const auto bigIcon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    const auto smallIcon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(bigIcon, nullptr);
    ASSERT_NE(smallIcon, nullptr);
    EXPECT_EQ(iconSize(bigIcon).cx, 32);
    EXPECT_EQ(iconSize(bigIcon).cy, 32);
    EXPECT_EQ(iconSize(smallIcon).cx, 16);
    EXPECT_EQ(iconSize(smallIcon).cy, 16);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

    // Labels: the caption drawn over the button face, red for the counter, black elsewhere; edit
    // boxes black on white. The group box hands its children's colour requests to the window.
    HDC dc = CreateCompatibleDC(nullptr);
    HWND groupBox = controlOf(window, 分组框1);
    struct ColourCase {
        const ControlRef* control;
        UINT message;
        COLORREF text;
        HBRUSH brush;
    };
    const ColourCase colours[] = {
        {&标签5, WM_CTLCOLORSTATIC, RGB(255, 0, 0), GetSysColorBrush(COLOR_BTNFACE)},
        {&标签4, WM_CTLCOLORSTATIC, RGB(0, 0, 0), GetSysColorBrush(COLOR_BTNFACE)},
        {&编辑框3, WM_CTLCOLOREDIT, RGB(0, 0, 0), GetSysColorBrush(COLOR_WINDOW)},
    };
    for (const auto& colour : colours) {
        SCOPED_TRACE(colour.control->controlId);
        SetTextColor(dc, RGB(1, 2, 3));
        const auto brush =
            reinterpret_cast<HBRUSH>(SendMessageA(groupBox, colour.message, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(controlOf(window, *colour.control))));
        EXPECT_EQ(GetTextColor(dc), colour.text);
        EXPECT_EQ(brush, colour.brush);
    }
    DeleteDC(dc);
}

}  // namespace
