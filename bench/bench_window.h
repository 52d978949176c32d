// What the two baseline programs share: a top-level window of Quorvane's size and frame holding a
// log box made exactly as Quorvane makes its log, a child started hidden with its output on a pipe,
// and the plain append of one chunk. No services, no controls beyond the box, no timeout rule.
#pragma once

// <windows.h> first: the other system headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

namespace bench {

inline constexpr int kLogControlId = 369164290;
// As Quorvane reads: at most 4095 bytes, so a 4096-byte buffer always ends in a zero byte.
inline constexpr DWORD kMostBytesPerRead = 4095;

inline LRESULT CALLBACK logWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
            // Activation gives the window the focus; the box takes it, as Quorvane's log does.
            if (HWND log = GetDlgItem(window, kLogControlId)) SetFocus(log);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Creates and shows the window; the box gets the keyboard focus, as Quorvane's log does.
inline HWND createLogWindow(const char* className, const char* caption, HWND* log, bool show = true) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = logWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass);

    constexpr int width = 615, height = 246;
    HWND window = CreateWindowExA(
        0, className, caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
        (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
        nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    *log = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE |
                               ES_AUTOVSCROLL | ES_WANTRETURN,
                           13, 38, 331, 168, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLogControlId)),
                           instance, nullptr);
    if (*log == nullptr) return nullptr;
    SendMessageA(*log, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageA(*log, EM_LIMITTEXT, 0, 0);
    if (show) {
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        SetFocus(*log);
        UpdateWindow(window);
    }
    return window;
}

// The program's own command line after its file name.
inline std::string argumentsOfCommandLine() {
    const char* at = GetCommandLineA();
    if (*at == '"') {
        ++at;
        while (*at && *at != '"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != ' ' && *at != '\t') ++at;
    }
    while (*at == ' ' || *at == '\t') ++at;
    return at;
}

// Starts the command line hidden, its standard output and error on one pipe; the read end, or
// nullptr when the child could not be started.
inline HANDLE startChildOnPipe(std::string commandLine) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return nullptr;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION child{};
    const BOOL started =
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    // Only the child holds a write end now, so the pipe ends when it does.
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return nullptr;
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return readEnd;
}

// Reads the pipe to its end and appends every chunk at the end of the box, from this (worker)
// thread: EM_SETSEL and EM_REPLACESEL, each a message sent to the box's thread. The selection is
// set past any end the box can have, which it takes as its end; so the box is never asked for its
// length, and text that others put into the box is appended to, not written into.
inline void streamIntoLog(HANDLE readEnd, HWND log) {
    constexpr WPARAM kPastTheEnd = 0x7FFFFFFF;
    char buffer[kMostBytesPerRead + 1];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, kMostBytesPerRead, &got, nullptr)) {
        buffer[got] = '\0';
        SendMessageA(log, EM_SETSEL, kPastTheEnd, static_cast<LPARAM>(kPastTheEnd));
        SendMessageA(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(buffer));
    }
    CloseHandle(readEnd);
}

inline int runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace bench
