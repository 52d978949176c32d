// Reading, writing and appending to the controls of the main window, from either thread.
//
// Every access is carried out on the window's thread: from another thread it travels as a sent
// message and the caller waits until it has been done. The values the controls hold (an edit box's
// text, a label's caption, the disabled flag) are therefore only ever touched by the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "services/text.h"

// A control is named by its window's identity number and its own.
struct ControlRef {
    int32_t windowId;
    int32_t controlId;
};

// Property codes: 8 is the text of an edit box or the caption of a label, 6 the disabled state.
struct TextProperty {
    static constexpr int32_t code = 8;
};
struct DisabledProperty {
    static constexpr int32_t code = 6;
};
inline constexpr TextProperty kTextProperty{};
inline constexpr DisabledProperty kDisabledProperty{};

enum class ControlKind { EditBox, Label, Button, GroupBox };

// Registration, on the window's thread, while the window is being built.
void registerWindow(int32_t windowId, HWND window);
void registerControl(int32_t windowId, int32_t controlId, ControlKind kind, HWND control, std::string_view initialText);
// The window is being destroyed: from now on a worker that reaches it waits for the process to end
// instead of treating the missing window as an error.
void windowClosing(int32_t windowId);

// The private message that carries an access to the window's thread; the window procedure hands it
// to runControlAccess.
inline constexpr UINT kControlAccessMessage = WM_APP + 0x51;
void runControlAccess(LPARAM request);

Text getControlValue(ControlRef control, TextProperty);
bool getControlValue(ControlRef control, DisabledProperty);
void setControlValue(ControlRef control, TextProperty, std::string_view text);
void setControlValue(ControlRef control, DisabledProperty, bool disabled);

// Inserts each text at the end of the edit box and scrolls it into view.
void appendEditText(ControlRef control, std::initializer_list<std::string_view> texts);
