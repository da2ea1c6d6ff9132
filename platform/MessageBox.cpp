#include "MessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace platform {

namespace {

MessageBoxHandler& installedHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

int showOnScreen(const MessageBoxRequest& request)
{
    const UINT icon = request.type & MB_ICONMASK;
    QMessageBox box(icon == MB_ICONSTOP ? QMessageBox::Critical : QMessageBox::Warning, request.caption,
                    request.text, QMessageBox::NoButton, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if ((request.type & MB_TYPEMASK) == MB_YESNO) {
        QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? IDYES : IDNO;
    }
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return IDOK;
}

} // namespace

int AfxMessageBox(const QString& text, UINT type)
{
    MessageBoxRequest request{ApplicationName(), text, type};
    if ((request.type & MB_ICONMASK) == 0)
        request.type |= MB_ICONEXCLAMATION;
    if (const MessageBoxHandler& handler = installedHandler())
        return handler(request);
    return showOnScreen(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

QString ApplicationName()
{
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (!path.isEmpty())
        return QFileInfo(path).completeBaseName();
    return QCoreApplication::applicationName();
}

} // namespace platform
