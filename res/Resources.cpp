#include "res/Resources.h"

#include <QImageReader>

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
    if (id != IDB_PICTURE)
        return {};
    // Through QIcon, which takes the "@2x" image on a high-DPI screen.
    const QString path = QString::fromLatin1(kPicturePath);
    return QIcon(path).pixmap(QImageReader(path).size());
}

} // namespace res
