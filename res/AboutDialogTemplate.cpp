#include "res/Resources.h"
#include "res/SiteAddress.h"

namespace res {

using namespace platform;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr int IDC_SITE_ADDRESS = 1008;

DialogTemplate makeAboutDialogTemplate()
{
    DialogTemplate dialog;
    dialog.id = IDD_ABOUTBOX;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    dialog.rect = QRect(0, 0, 235, 55);
    dialog.caption = QStringLiteral("关于 marvolen");
    dialog.font = { 9, QStringLiteral("宋体"), 400, false, 1 };
    dialog.controls = {
        { IDC_STATIC, ControlClass::Static, QString::fromLatin1(kIconPath), kChild | SS_ICON, QRect(11, 17, 21, 21) },
        { IDC_STATIC, ControlClass::Static, QStringLiteral("Marvolen 1.3 版"),
            kChild | WS_GROUP | SS_NOPREFIX | SS_LEFT, QRect(40, 10, 119, 8) },
        { IDC_STATIC, ControlClass::Static, QStringLiteral("版权所有 (C) 2026 Orvanta"), kChild | WS_GROUP | SS_LEFT,
            QRect(40, 23, 155, 8) },
        { IDOK, ControlClass::Button, QStringLiteral("确定"), kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON,
            QRect(178, 7, 50, 14) },
        { IDC_SITE_ADDRESS, ControlClass::Static, {}, kChild | WS_GROUP | SS_LEFT, QRect(40, 36, 116, 8) },
    };
    return dialog;
}

} // namespace

const DialogTemplate& AboutDialogTemplate()
{
    static DialogTemplate dialog = makeAboutDialogTemplate();
    // The address line shows the site address, which tests may change.
    dialog.controls.back().text = SiteAddress();
    return dialog;
}

} // namespace res
