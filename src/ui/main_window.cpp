#include "ui/main_window.h"

#include <commctrl.h>

#include <array>
#include <iterator>

#include "services/system.h"
#include "services/unique_handle.h"
#include "ui/controls.h"
#include "ui/handlers.h"

namespace {

constexpr int kWindowWidth = 615;
constexpr int kWindowHeight = 246;
constexpr char kWindowClassName[] = "QuorvaneMainWindow";
constexpr char kWindowCaption[] = "Quorvane";
constexpr COLORREF kCounterColour = RGB(255, 0, 0);

enum class Parent { Window, GroupBox };

struct ControlDescription {
    const ControlRef& control;
    ControlKind kind;
    Parent parent;
    int left, top, width, height;
    const char* text;
};

// The controls in the window's control order; among siblings each lies above the ones after it.
// Places of the group box's controls are relative to the group box.
const ControlDescription kControls[] = {
    {分组框1, ControlKind::GroupBox, Parent::Window, 352, 8, 232, 200, ""},
    {标签5, ControlKind::Label, Parent::GroupBox, 104, 111, 48, 40, "0"},
    {标签4, ControlKind::Label, Parent::GroupBox, 24, 120, 80, 24, "已出现次数："},
    {按钮2, ControlKind::Button, Parent::GroupBox, 120, 160, 104, 32, "取消shutdown命令"},
    {编辑框5, ControlKind::EditBox, Parent::GroupBox, 18, 84, 200, 20, "shutdown -r -f -t 60"},
    {编辑框4, ControlKind::EditBox, Parent::GroupBox, 113, 44, 32, 20, "5"},
    {编辑框3, ControlKind::EditBox, Parent::GroupBox, 64, 16, 112, 20, "请求超时"},
    {标签3, ControlKind::Label, Parent::GroupBox, 16, 14, 48, 24, "关键词："},
    {标签2, ControlKind::Label, Parent::GroupBox, 16, 48, 200, 134, "如果超时次数大于      次\r\n将执行以下命令："},
    {标签1, ControlKind::Label, Parent::Window, 15, 10, 100, 20, "要ping的IP地址："},
    {编辑框2, ControlKind::EditBox, Parent::Window, 115, 10, 141, 20, ""},
    {按钮1, ControlKind::Button, Parent::Window, 256, 9, 88, 21, "记录并启动"},
    {编辑框1, ControlKind::EditBox, Parent::Window, 13, 38, 331, 168, ""},
};

// Tab and Shift+Tab move through these, wrapping, skipping hidden and disabled ones.
constexpr std::array<const ControlRef*, 7> kTabOrder = {&编辑框1, &按钮1,   &编辑框2, &编辑框3,
                                                        &编辑框4, &编辑框5, &按钮2};

// The font of the counter label: bold, 35 pixels, GB2312.
LOGFONTA counterFont() {
    LOGFONTA font{};
    font.lfHeight = -35;
    font.lfWeight = 700;
    font.lfCharSet = 134;
    font.lfOutPrecision = 3;
    font.lfClipPrecision = 2;
    font.lfQuality = 1;
    font.lfPitchAndFamily = 34;
    static constexpr char kFaceName[] = "微软雅黑";
    static_assert(sizeof kFaceName <= LF_FACESIZE);
    std::copy(std::begin(kFaceName), std::end(kFaceName), font.lfFaceName);
    return font;
}

// State of the one main window; touched only on the window's thread.
struct MainWindowState {
    HWND window = nullptr;
    HWND groupBox = nullptr;
    WNDPROC groupBoxDefaultProc = nullptr;
    std::array<HWND, std::size(kControls)> controls{};
    UniqueFont counterFont;  // selected into 标签5 while the window lives; released with the process
    HWND lastFocus = nullptr;
    bool loopEntered = false;
};
MainWindowState gMain;

HWND controlWindow(const ControlRef& control) {
    for (std::size_t i = 0; i < std::size(kControls); ++i)
        if (kControls[i].control.controlId == control.controlId) return gMain.controls[i];
    return nullptr;
}

bool isMainWindowOrChild(HWND window) {
    return window != nullptr && (window == gMain.window || IsChild(gMain.window, window));
}

void moveFocusAlongTabOrder(HWND from, bool backwards) {
    const int count = static_cast<int>(kTabOrder.size());
    int current = -1;
    for (int i = 0; i < count; ++i)
        if (controlWindow(*kTabOrder[i]) == from) current = i;
    if (current < 0) current = backwards ? 0 : count - 1;
    for (int step = 1; step <= count; ++step) {
        const int next = ((current + (backwards ? -step : step)) % count + count) % count;
        HWND candidate = controlWindow(*kTabOrder[next]);
        if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
            SetFocus(candidate);
            return;
        }
    }
}

void restoreFocus() {
    HWND target = gMain.lastFocus;
    if (!IsWindow(target) || !IsWindowEnabled(target) || !isMainWindowOrChild(target)) target = controlWindow(编辑框1);
    SetFocus(target);
}

LRESULT onCommand(WPARAM wParam, LPARAM lParam) {
    // The 16-bit notification id cannot carry these identity numbers: the window handle tells.
    const auto sender = reinterpret_cast<HWND>(lParam);
    if (HIWORD(wParam) == BN_CLICKED && sender != nullptr) {
        if (sender == controlWindow(按钮1))
            onRecordAndStart();
        else if (sender == controlWindow(按钮2))
            onCancelShutdown();
    }
    return 0;
}

LRESULT onControlColour(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    const auto control = reinterpret_cast<HWND>(lParam);
    if (message == WM_CTLCOLOREDIT) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    // Labels and the group box: the button face behind, the caption drawn over it.
    SetTextColor(dc, control == controlWindow(标签5) ? kCounterColour : RGB(0, 0, 0));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT handleMainWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kControlAccessMessage:
            runControlAccess(lParam);
            return 0;
        case WM_COMMAND:
            return onCommand(wParam, lParam);
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return onControlColour(message, wParam, lParam);
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != window && isMainWindowOrChild(focus)) gMain.lastFocus = focus;
            } else if (!HIWORD(wParam)) {
                restoreFocus();
            }
            return 0;
        case WM_SETFOCUS:
            restoreFocus();
            return 0;
        case WM_DESTROY:
            windowClosing(kMainWindowId);
            gMain.window = nullptr;
            if (gMain.loopEntered) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A group box drops the notifications of its children; this one hands them to the main window.
LRESULT handleGroupBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return SendMessageA(GetParent(window), message, wParam, lParam);
        case WM_ERASEBKGND: {
            // The main window clips its children, so the group box fills its own area.
            RECT area;
            GetClientRect(window, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        default:
            return CallWindowProcA(gMain.groupBoxDefaultProc, window, message, wParam, lParam);
    }
}

// No exception may cross into the system's message dispatch: one that reaches here is a fault of
// the program and ends it like every fatal error.
template <LRESULT (*handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK guardedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return handle(window, message, wParam, lParam);
    } catch (...) {
        endWithFatalError("程序内部错误，程序将退出。");
    }
}

HICON loadProgramIcon(HINSTANCE instance, int size) {
    // Shared with the window class; lives as long as the process.
    return static_cast<HICON>(LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, size, size, 0));
}

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = guardedWindowProc<handleMainWindowMessage>;
    windowClass.hInstance = instance;
    windowClass.hIcon = loadProgramIcon(instance, 32);
    windowClass.hIconSm = loadProgramIcon(instance, 16);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassExA(&windowClass) != 0;
}

// A single-line box must be at least one line of the font plus twice the edge height.
int minimumEditHeight(HFONT font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight + 2 * GetSystemMetrics(SM_CYEDGE);
}

struct WindowStyle {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

WindowStyle styleOf(const ControlDescription& description) {
    // Siblings overlap inside the group box: each paints only where no higher sibling lies.
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (description.kind) {
        case ControlKind::EditBox:
            if (&description.control == &编辑框1)
                return {"EDIT",
                        child | WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                        WS_EX_CLIENTEDGE};
            return {"EDIT", child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            // One line centred vertically, except 标签2, which wraps and starts at its top.
            return {"STATIC", child | SS_LEFT | SS_NOPREFIX | (&description.control == &标签2 ? 0 : SS_CENTERIMAGE), 0};
        case ControlKind::Button:
            return {"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE, 0};
        case ControlKind::GroupBox:
            return {"BUTTON", child | WS_CLIPCHILDREN | BS_GROUPBOX, 0};
    }
    return {"STATIC", child, 0};
}

bool createControls(HINSTANCE instance) {
    const auto guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));  // stock: never deleted
    const int minimumHeight = minimumEditHeight(guiFont);
    const LOGFONTA counterLogFont = counterFont();
    gMain.counterFont.reset(CreateFontIndirectA(&counterLogFont));

    HWND previousInWindow = nullptr;
    HWND previousInGroup = nullptr;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlDescription& description = kControls[i];
        const WindowStyle style = styleOf(description);
        HWND parent = description.parent == Parent::GroupBox ? gMain.groupBox : gMain.window;
        int height = description.height;
        if (description.kind == ControlKind::EditBox && &description.control != &编辑框1 && height < minimumHeight)
            height = minimumHeight;
        HWND control = CreateWindowExA(style.exStyle, style.className, description.text, style.style, description.left,
                                       description.top, description.width, height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(description.control.controlId)),
                                       instance, nullptr);
        if (control == nullptr) return false;
        gMain.controls[i] = control;

        // Siblings stack in table order: each goes below the one before it.
        HWND& previous = description.parent == Parent::GroupBox ? previousInGroup : previousInWindow;
        SetWindowPos(control, previous ? previous : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;

        const bool isCounter = &description.control == &标签5;
        SendMessageA(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(isCounter && gMain.counterFont ? gMain.counterFont.get() : guiFont),
                     FALSE);
        if (description.kind == ControlKind::EditBox) {
            SendMessageA(control, EM_LIMITTEXT, 0, 0);
            SendMessageA(control, EM_SETSEL, 0, 0);
        }
        if (description.kind == ControlKind::GroupBox) {
            gMain.groupBox = control;
            gMain.groupBoxDefaultProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(guardedWindowProc<handleGroupBoxMessage>)));
        }
        registerControl(kMainWindowId, description.control.controlId, description.kind, control, description.text);
    }
    return true;
}

}  // namespace

bool loadMainWindow() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);
    if (!registerWindowClass(instance)) return false;

    const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    gMain.window = CreateWindowExA(0, kWindowClassName, kWindowCaption,
                                   WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left,
                                   top, kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (gMain.window == nullptr) return false;
    RECT placed{};
    GetWindowRect(gMain.window, &placed);
    if (placed.right - placed.left != kWindowWidth || placed.bottom - placed.top != kWindowHeight)
        SetWindowPos(gMain.window, nullptr, 0, 0, kWindowWidth, kWindowHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(gMain.window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageA(gMain.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(loadProgramIcon(instance, 32)));
    SendMessageA(gMain.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(loadProgramIcon(instance, 16)));
    registerWindow(kMainWindowId, gMain.window);

    if (!createControls(instance)) {
        DestroyWindow(gMain.window);
        return false;
    }

    onMainWindowCreated();

    ShowWindow(gMain.window, SW_SHOWNORMAL);
    SetForegroundWindow(gMain.window);
    restoreFocus();
    UpdateWindow(gMain.window);
    return true;
}

bool mainWindowExists() { return gMain.window != nullptr && IsWindow(gMain.window); }

void messageLoopEntered() { gMain.loopEntered = true; }

bool handleWindowKeys(const MSG& message) {
    if (message.message != WM_KEYDOWN || !isMainWindowOrChild(message.hwnd)) return false;
    switch (message.wParam) {
        case VK_ESCAPE:
            PostMessageA(gMain.window, WM_CLOSE, 0, 0);
            return true;
        case VK_TAB:
            moveFocusAlongTabOrder(GetFocus(), GetKeyState(VK_SHIFT) < 0);
            return true;
        case VK_RETURN:
            // Only the log takes Enter (a new line); elsewhere it does nothing.
            return message.hwnd != controlWindow(编辑框1);
        default:
            return false;
    }
}
