#pragma once

#include "platform/DialogTemplate.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's resources: dialog templates, the icon, the picture and the string table.
namespace res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_QUIZ_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_PICTURE = 133;

// Controls of dialog 102.
inline constexpr int IDC_TEST_LIST = 1000;
inline constexpr int IDC_ANSWER_A = 1002;
inline constexpr int IDC_ANSWER_B = 1003;
inline constexpr int IDC_ANSWER_C = 1004;
inline constexpr int IDC_ANSWER_D = 1005;
inline constexpr int IDC_QUESTION = 1006;
inline constexpr int IDC_NEXT = 1007;
inline constexpr int IDC_ANSWER_E = 1008;
inline constexpr int IDC_CHECK_VERSION = 1009;
inline constexpr int IDC_ABOUT = 1010;
inline constexpr int IDC_PICTURE = 1011;
inline constexpr int IDC_DISCLAIMER = 1012;

// The window-menu command of the About entry.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Resource paths of the images; a "@2x" file beside each serves high-DPI screens.
inline constexpr char kIconPath[] = ":/res/images/icon128.png";
inline constexpr char kPicturePath[] = ":/res/images/picture133.png";

// Template 102, the main dialog (QuizDialogTemplate.cpp).
const platform::DialogTemplate& QuizDialogTemplate();
// The disclaimer of dialog 102: two lines ending with the site address and ".".
QString DisclaimerText();
// Template 100, the About box (AboutDialogTemplate.cpp).
const platform::DialogTemplate& AboutDialogTemplate();

// A string of the string table; empty for an id it does not hold.
QString LoadString(int id);
// Icon 128 (both sizes come from the one image).
QIcon LoadIcon(int id);
// Bitmap 133.
QPixmap LoadBitmap(int id);

} // namespace res
