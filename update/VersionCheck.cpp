#include "update/VersionCheck.h"

namespace update {

void RunVersionCheck(const questionbank::ConnectionPtr&)
{
}

void CVersionCheck::CheckVersion(QString, QString, QString)
{
}

QString CutCookieValue(const QString&, const QString&)
{
    return QString();
}

bool VersionSortsAfter(const QString&, const QString&)
{
    return false;
}

} // namespace update
