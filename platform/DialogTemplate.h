#pragma once

#include "platform/MessageBox.h" // IDOK and IDCANCEL, the ids of the standard buttons

#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

// The data of a dialog resource: the dialog's own style, caption and font, and its controls in
// template order (which is also the tab and z order). Rectangles are in dialog units; the dialog
// builder converts them with the metrics of the template's font.
namespace platform {

using DWORD = std::uint32_t;

// Window styles.
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Dialog styles.
inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD DS_MODALFRAME = 0x80;

// Button styles (the low four bits are the button's kind).
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_RADIOBUTTON = 0x4;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_TYPEMASK = 0xF;

// List box styles.
inline constexpr DWORD LBS_NOTIFY = 0x1;
inline constexpr DWORD LBS_SORT = 0x2;
inline constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x100;

// Edit styles.
inline constexpr DWORD ES_MULTILINE = 0x4;
inline constexpr DWORD ES_READONLY = 0x800;
inline constexpr DWORD ES_WANTRETURN = 0x1000;

// Static styles (the low five bits are the static's kind).
inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_CENTER = 0x1;
inline constexpr DWORD SS_RIGHT = 0x2;
inline constexpr DWORD SS_ICON = 0x3;
inline constexpr DWORD SS_BITMAP = 0xE;
inline constexpr DWORD SS_TYPEMASK = 0x1F;
inline constexpr DWORD SS_NOPREFIX = 0x80;

// The control id of statics and group boxes that nothing looks up by id.
inline constexpr int IDC_STATIC = -1;

enum class ControlClass { Button, Edit, Static, ListBox };

struct DialogFont {
    int pointSize = 9;
    QString face; // the template's face name
    int weight = 400; // FW_NORMAL
    bool italic = false;
    int charset = 1; // DEFAULT_CHARSET
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlClass controlClass = ControlClass::Static;
    QString text; // for SS_BITMAP and SS_ICON statics: the image's resource path (":/...")
    DWORD style = 0; // WS_CHILD and WS_VISIBLE included
    QRect rect; // x, y, width, height in dialog units
    // What a screen reader announces for a control without a text of its own.
    QString accessibleName = {};
};

struct DialogTemplate {
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    QRect rect; // in dialog units
    QString caption;
    DialogFont font;
    std::vector<ControlTemplate> controls;
};

} // namespace platform
