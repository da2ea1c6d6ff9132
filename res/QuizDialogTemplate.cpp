#include "platform/MessageBox.h"
#include "res/Resources.h"
#include "res/SiteAddress.h"

namespace res {

using namespace platform;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

DialogTemplate makeQuizDialogTemplate()
{
    DialogTemplate dialog;
    dialog.id = IDD_QUIZ_DIALOG;
    dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    dialog.exStyle = WS_EX_APPWINDOW;
    dialog.rect = QRect(0, 0, 424, 263);
    dialog.caption = QStringLiteral("Marvolen");
    dialog.font = { 9, QStringLiteral("宋体"), 400, false, 1 };
    dialog.controls = {
        { IDC_TEST_LIST, ControlClass::ListBox, {},
            kChild | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
            QRect(7, 20, 95, 177), QStringLiteral("测试列表") },
        { IDC_STATIC, ControlClass::Button, QStringLiteral("您的答案"), kChild | BS_GROUPBOX,
            QRect(106, 209, 311, 23) },
        { IDC_ANSWER_A, ControlClass::Button, QStringLiteral("A"), kChild | BS_AUTORADIOBUTTON | WS_GROUP,
            QRect(122, 219, 25, 8) },
        { IDC_ANSWER_B, ControlClass::Button, QStringLiteral("B"), kChild | BS_AUTORADIOBUTTON,
            QRect(160, 219, 25, 8) },
        { IDC_ANSWER_C, ControlClass::Button, QStringLiteral("C"), kChild | BS_AUTORADIOBUTTON,
            QRect(198, 219, 25, 8) },
        { IDC_ANSWER_D, ControlClass::Button, QStringLiteral("D"), kChild | BS_AUTORADIOBUTTON,
            QRect(236, 219, 25, 8) },
        { IDC_ANSWER_E, ControlClass::Button, QStringLiteral("E"), kChild | BS_AUTORADIOBUTTON,
            QRect(274, 220, 25, 8) },
        { IDC_NEXT, ControlClass::Button, QStringLiteral("下一题"), kChild | BS_PUSHBUTTON | WS_TABSTOP,
            QRect(109, 242, 50, 14) },
        { IDC_CHECK_VERSION, ControlClass::Button, QStringLiteral("检查新版本"), kChild | BS_PUSHBUTTON | WS_TABSTOP,
            QRect(191, 242, 50, 14) },
        { IDC_ABOUT, ControlClass::Button, QStringLiteral("关于"), kChild | BS_PUSHBUTTON | WS_TABSTOP,
            QRect(273, 242, 50, 14) },
        { IDOK, ControlClass::Button, QStringLiteral("退出"), kChild | BS_DEFPUSHBUTTON | WS_TABSTOP,
            QRect(355, 242, 50, 14) },
        { IDC_STATIC, ControlClass::Static, QStringLiteral("选择测试"), kChild | SS_LEFT | WS_GROUP,
            QRect(7, 10, 33, 8) },
        { IDC_QUESTION, ControlClass::Edit, {},
            kChild | ES_MULTILINE | ES_READONLY | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_TABSTOP,
            QRect(106, 20, 311, 184), QStringLiteral("问题") },
        { IDC_PICTURE, ControlClass::Static, QString::fromLatin1(kPicturePath), kChild | SS_BITMAP,
            QRect(7, 203, 95, 53) },
        { IDC_DISCLAIMER, ControlClass::Static, {}, kChild | SS_LEFT | WS_GROUP, QRect(107, 211, 310, 15) },
    };
    return dialog;
}

} // namespace

QString DisclaimerText()
{
    return QStringLiteral("本测试仅供娱乐!测试对您所带来的影响软件所有者和开发者概不负责!\r\n更多软件请访问")
        + SiteAddress() + QStringLiteral(".");
}

const DialogTemplate& QuizDialogTemplate()
{
    static DialogTemplate dialog = makeQuizDialogTemplate();
    // The site address can change in tests; the disclaimer follows it.
    dialog.controls.back().text = DisclaimerText();
    return dialog;
}

} // namespace res
