#pragma once

#include "LocalHttpServer.h"
#include "Printers.h"
#include "Recorders.h"
#include "platform/Internet.h"
#include "platform/MessageBox.h"
#include "res/SiteAddress.h"
#include "update/VersionCheck.h"

#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

// What every version-check test needs: an update service on 127.0.0.1 as the site address, an
// empty cookie store, and recorders for the boxes and the browser.
namespace updatetest {

using testsupport::LocalHttpServer;

inline constexpr platform::UINT kOkBox = platform::MB_OK | platform::MB_ICONEXCLAMATION;
inline constexpr platform::UINT kYesNoBox = platform::MB_YESNO | platform::MB_ICONEXCLAMATION;

inline QString FailureText(const QString& host)
{
    return QStringLiteral("网络连接失败!\r\n请重试或直接登陆") + host + QStringLiteral("查看最新版本!");
}
inline QString UpToDateText(const QString& host)
{
    return QStringLiteral("当前版本已是最新版本!\r\n欢迎登陆") + host + QStringLiteral("下载更多Orvanta软件!");
}
inline const QString kProgramOffer = QStringLiteral("有新版程序!是否下载?");
inline const QString kBankOffer = QStringLiteral("有最新数据库!是否下载?");

// The value of `key` in a request target's query, decoded as a service would decode it.
inline std::optional<QString> QueryValueOf(const QByteArray& target, const QByteArray& key)
{
    const qsizetype question = target.indexOf('?');
    if (question < 0)
        return std::nullopt;
    for (const QByteArray& pair : target.mid(question + 1).split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals >= 0 && pair.left(equals) == key)
            return QUrl::fromPercentEncoding(pair.mid(equals + 1));
    }
    return std::nullopt;
}

class CheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        m_previousSite = res::SiteAddress();
        res::SetSiteAddressForTesting(server.address());
        platform::ClearCookiesForTesting();
    }
    void TearDown() override
    {
        res::SetSiteAddressForTesting(m_previousSite);
        platform::ClearCookiesForTesting();
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }
    static void Check(const QString& databaseVersion)
    {
        update::CVersionCheck().CheckVersion(QStringLiteral("marvolen"), QStringLiteral("1.00"), databaseVersion);
    }

    LocalHttpServer server;
    testsupport::MessageBoxRecorder boxes;
    testsupport::ShellRecorder shell;

private:
    QString m_previousSite;
};

} // namespace updatetest
