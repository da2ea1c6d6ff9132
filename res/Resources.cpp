#include "res/Resources.h"

namespace res {

QString LoadString(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return QStringLiteral("关于 marvolen(&A)...");
    default:
        return {};
    }
}

QIcon LoadIcon(int id)
{
    return id == IDR_MAINFRAME ? QIcon(QString::fromLatin1(kIconPath)) : QIcon();
}

QPixmap LoadBitmap(int id)
{
    return id == IDB_PICTURE ? QPixmap(QString::fromLatin1(kPicturePath)) : QPixmap();
}

} // namespace res
