#include "services/window_services.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "services/system.h"

namespace {

// Beyond the end of any text an edit box can hold (its limit is below 2^31 characters).
constexpr LPARAM kPastAnyEnd = 0x7FFFFFFF;

struct ControlRecord {
    int32_t id;
    ControlKind kind;
    HWND window;
    Text caption;           // a label's caption: what it shows and what is read back
    bool disabled = false;  // the disabled flag, kept also while the window does not exist
};

struct WindowRecord {
    int32_t id;
    HWND window;
    std::vector<ControlRecord> controls;
};

// Touched only on the window's thread.
std::vector<WindowRecord> gWindows;

// What another thread needs to reach the window's thread.
std::atomic<DWORD> gWindowThreadId{0};
std::atomic<HWND> gAccessTarget{nullptr};
std::atomic<bool> gWindowClosing{false};

struct AccessRequest {
    void (*invoke)(void* body);
    void* body;
    bool done = false;
};

[[noreturn]] void missingControl(ControlRef control) {
    char message[160];
    std::snprintf(message, sizeof message, "找不到窗口 %ld 的控件 %ld，程序将退出。",
                  static_cast<long>(control.windowId), static_cast<long>(control.controlId));
    endWithFatalError(message);
}

[[noreturn]] void waitForProcessEnd() {
    for (;;) Sleep(INFINITE);
}

// Runs body on the window's thread and returns when it has run.
template <class Body>
void onWindowThread(Body&& body) {
    if (GetCurrentThreadId() == gWindowThreadId.load()) {
        body();
        return;
    }
    AccessRequest request{[](void* b) { (*static_cast<Body*>(b))(); }, &body};
    if (HWND target = gAccessTarget.load())
        SendMessageA(target, kControlAccessMessage, 0, reinterpret_cast<LPARAM>(&request));
    if (request.done) return;
    // The window is gone. While the program is ending that is expected: this thread simply ends
    // with the process. Otherwise the caller named a window that does not exist.
    if (gWindowClosing.load()) waitForProcessEnd();
    endWithFatalError("主窗口不存在，程序将退出。");
}

ControlRecord& findControl(ControlRef control) {
    for (auto& window : gWindows) {
        if (window.id != control.windowId || !IsWindow(window.window)) continue;
        for (auto& record : window.controls)
            if (record.id == control.controlId) return record;
    }
    if (gWindowClosing.load()) waitForProcessEnd();
    missingControl(control);
}

Text windowTextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return Text();
    Text text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

void registerWindow(int32_t windowId, HWND window) {
    gWindows.push_back(WindowRecord{windowId, window, {}});
    gWindowThreadId.store(GetCurrentThreadId());
    gAccessTarget.store(window);
}

void registerControl(int32_t windowId, int32_t controlId, ControlKind kind, HWND control,
                     std::string_view initialText) {
    for (auto& window : gWindows)
        if (window.id == windowId)
            window.controls.push_back(ControlRecord{controlId, kind, control, Text(initialText)});
}

void windowClosing(int32_t) {
    gWindowClosing.store(true);
    gAccessTarget.store(nullptr);
}

void runControlAccess(LPARAM request) {
    auto* access = reinterpret_cast<AccessRequest*>(request);
    access->invoke(access->body);
    access->done = true;
}

Text getControlValue(ControlRef control, TextProperty) {
    Text value;
    onWindowThread([&] {
        const ControlRecord& record = findControl(control);
        value = record.kind == ControlKind::Label ? record.caption : windowTextOf(record.window);
    });
    return value;
}

bool getControlValue(ControlRef control, DisabledProperty) {
    bool disabled = false;
    onWindowThread([&] {
        const ControlRecord& record = findControl(control);
        disabled = IsWindow(record.window) ? !IsWindowEnabled(record.window) : record.disabled;
    });
    return disabled;
}

void setControlValue(ControlRef control, TextProperty, std::string_view text) {
    onWindowThread([&] {
        ControlRecord& record = findControl(control);
        const Text value(text);
        if (record.kind == ControlKind::Label) {
            record.caption = value;
            SetWindowTextA(record.window, value.c_str());
            InvalidateRect(record.window, nullptr, TRUE);
        } else {
            SetWindowTextA(record.window, value.c_str());
            if (record.kind == ControlKind::EditBox)
                SendMessageA(GetParent(record.window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(record.id), EN_CHANGE),
                             reinterpret_cast<LPARAM>(record.window));
        }
    });
}

void setControlValue(ControlRef control, DisabledProperty, bool disabled) {
    onWindowThread([&] {
        ControlRecord& record = findControl(control);
        record.disabled = disabled;
        if (IsWindow(record.window)) EnableWindow(record.window, !disabled);
    });
}

void appendEditText(ControlRef control, std::initializer_list<std::string_view> texts) {
    for (std::string_view piece : texts) {
        onWindowThread([&] {
            const ControlRecord& record = findControl(control);
            // A selection past the end is cut back to the end, whether the box counts bytes or
            // characters; so the end is found without reading or even measuring the box's text,
            // and the cost of an append does not grow with the log.
            SendMessageA(record.window, EM_SETSEL, kPastAnyEnd, kPastAnyEnd);
            SendMessageA(record.window, EM_SCROLLCARET, 0, 0);
            const Text text(piece);
            SendMessageA(record.window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        });
    }
}
