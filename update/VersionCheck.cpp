#include "update/VersionCheck.h"

#include "platform/Internet.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "res/SiteAddress.h"

#include <QByteArray>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace update {

namespace {

void ShowConnectionFailure()
{
    platform::AfxMessageBox(
        QStringLiteral("网络连接失败!\r\n请重试或直接登陆") + res::SiteHostName() + QStringLiteral("查看最新版本!"),
        platform::MB_OK);
}

// A query value as the service should receive it: characters that URL syntax allows in a query
// stay as they are; those that would end or change the value (space, '&', '#', '%', '+') and
// everything outside ASCII go in percent-encoded as UTF-8.
QString QueryValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, "!$'()*,/:;=?@"));
}

} // namespace

void CVersionCheck::CheckVersion(QString strSoftID, QString strSoftVer, QString strDatabaseVer)
{
    const QString strSoftVerCookie = QStringLiteral("CurSoftVer");
    const QString strDatabaseVerCookie = QStringLiteral("CurDatabaseVer");

    // Outside the guarded part: a session that cannot be opened ends the check at once.
    platform::CInternetSession session;

    const QString strURL = res::SiteAddress() + QStringLiteral("/update/vercheck.jsp") + QStringLiteral("?softID=")
        + QueryValue(strSoftID) + QStringLiteral("&softVer=") + QueryValue(strSoftVer) + QStringLiteral("&databaseVer=")
        + QueryValue(strDatabaseVer);

    std::unique_ptr<platform::CHttpFile> file;
    [&] {
        try {
            file.reset(session.OpenURL(strURL));
        } catch (platform::CInternetException* e) {
            e->Delete();
            ShowConnectionFailure();
            return;
        }
        if (!file) {
            ShowConnectionFailure();
            return;
        }

        QString strCookie;
        platform::CInternetSession::GetCookie(strURL, strSoftVerCookie, strCookie);
        const QString strServerSoftVer = CutCookieValue(strCookie, strSoftVerCookie);
        if (strServerSoftVer.isEmpty()) {
            ShowConnectionFailure();
            return;
        }
        platform::CInternetSession::GetCookie(strURL, strDatabaseVerCookie, strCookie);
        const QString strServerDatabaseVer = CutCookieValue(strCookie, strDatabaseVerCookie);
        if (strServerDatabaseVer.isEmpty()) {
            ShowConnectionFailure();
            return;
        }

        if (VersionSortsAfter(strServerSoftVer, strSoftVer)) {
            if (platform::AfxMessageBox(QStringLiteral("有新版程序!是否下载?"), platform::MB_YESNO) == platform::IDYES)
                platform::ShellExecuteOpen(res::SiteAddress() + QStringLiteral("/product/marvolen.rar"));
            return;
        }
        if (VersionSortsAfter(strServerDatabaseVer, strDatabaseVer)) {
            if (platform::AfxMessageBox(QStringLiteral("有最新数据库!是否下载?"), platform::MB_YESNO)
                == platform::IDYES)
                platform::ShellExecuteOpen(res::SiteAddress() + QStringLiteral("/product/tovra.mdb"));
            return;
        }
        platform::AfxMessageBox(QStringLiteral("当前版本已是最新版本!\r\n欢迎登陆") + res::SiteHostName()
                + QStringLiteral("下载更多Orvanta软件!"),
            platform::MB_OK);
    }();

    if (file)
        file->Close();
    file.reset();
    session.Close();
}

QString CutCookieValue(const QString& cookieText, const QString& name)
{
    const qsizetype found = cookieText.indexOf(name, 0, Qt::CaseSensitive);
    if (found < 0)
        return QString();
    // The character after the name, normally '=', is skipped unseen.
    const qsizetype begin = found + name.size() + 1;
    if (begin >= cookieText.size())
        return QString();
    const qsizetype end = cookieText.indexOf(QLatin1Char(';'), begin);
    return cookieText.mid(begin, end < 0 ? -1 : end - begin);
}

bool VersionSortsAfter(const QString& server, const QString& local)
{
    const QByteArray a = server.toUtf8();
    const QByteArray b = local.toUtf8();
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

} // namespace update
