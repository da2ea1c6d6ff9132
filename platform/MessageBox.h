#pragma once

#include <QString>

#include <functional>

// Message boxes with the semantics of the framework's AfxMessageBox: the caption is the
// application name, and a box that names no icon gets the exclamation mark.
namespace platform {

using UINT = unsigned int;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_TYPEMASK = 0x0000000F;
inline constexpr UINT MB_ICONSTOP = 0x00000010;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_ICONMASK = 0x000000F0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    QString caption;
    QString text;
    UINT type = MB_OK; // with the icon already filled in
};

// Shows a modal box over the active window and returns the button pressed (IDOK, IDYES, IDNO).
int AfxMessageBox(const QString& text, UINT type = MB_OK);

// Test seam: every box goes to `handler` instead of the screen; an empty handler restores the real
// boxes. Returns the handler that was installed before.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The executable's file name without directory and extension.
QString ApplicationName();

} // namespace platform
