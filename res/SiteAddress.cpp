#include "res/SiteAddress.h"

namespace res {

namespace {
QString& currentAddress()
{
    static QString address = QString::fromUtf8(kBuiltInSiteAddress);
    return address;
}
} // namespace

QString SiteAddress()
{
    return currentAddress();
}

QString SiteHostName()
{
    const QString prefix = QStringLiteral("http://");
    const QString& address = currentAddress();
    return address.startsWith(prefix) ? address.mid(prefix.size()) : address;
}

void SetSiteAddressForTesting(const QString& address)
{
    currentAddress() = address;
}

} // namespace res
