#include "Internet.h"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QUrl>
#include <utility>

namespace platform {

namespace {

// Enough for any reply the check could care about; what the server sends beyond it stays in the
// socket until the reply is closed.
constexpr qint64 kReadBufferSize = 64 * 1024;

// Kept for the whole process and never written anywhere, like the system's session cookies.
class CookieStore : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    void clear() { setAllCookies({}); }
};

CookieStore& cookieStore()
{
    // Deliberately never destroyed: sessions come and go, the store outlives them all.
    static CookieStore* store = new CookieStore;
    return *store;
}

std::optional<InternetFailure>& sessionOpenFailure()
{
    static std::optional<InternetFailure> failure;
    return failure;
}

std::chrono::milliseconds& transferTimeout()
{
    static std::chrono::milliseconds timeout = CInternetSession::kDefaultTransferTimeout;
    return timeout;
}

// The busy pointer while a request runs, restored however the wait ends.
class BusyCursor {
public:
    BusyCursor()
        : m_active(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_active;
};

DWORD errorCodeFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return ERROR_INTERNET_TIMEOUT;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case QNetworkReply::ProtocolFailure:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

} // namespace

bool CInternetException::GetErrorMessage(QString& text) const
{
    text = m_strText;
    return !m_strText.isEmpty();
}

int CInternetException::ReportError() const
{
    QString text;
    if (!GetErrorMessage(text))
        text = QStringLiteral("内部应用程序出错。");
    return AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

CHttpFile::CHttpFile(QNetworkReply* reply, int statusCode)
    : m_reply(reply)
    , m_nStatusCode(statusCode)
{
}

CHttpFile::~CHttpFile()
{
    Close();
}

void CHttpFile::Close()
{
    if (!m_reply)
        return;
    m_reply->disconnect();
    m_reply->abort();
    delete m_reply.data();
}

CInternetSession::CInternetSession()
{
    if (const std::optional<InternetFailure>& failure = sessionOpenFailure())
        throw new CInternetException(failure->error, failure->text);
    // Qt's network classes need the application object and its event loop.
    if (!QCoreApplication::instance())
        throw new CInternetException(ERROR_INTERNET_INTERNAL_ERROR, QString());
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_manager->setCookieJar(&cookieStore());
    // The manager made itself the store's parent; the store must outlive it.
    cookieStore().setParent(nullptr);
    m_strAgent = ApplicationName();
}

CInternetSession::~CInternetSession()
{
    Close();
}

void CInternetSession::Close()
{
    m_manager.reset();
}

CHttpFile* CInternetSession::OpenURL(const QString& url)
{
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return nullptr;
    if (!m_manager || !address.isValid() || address.host().isEmpty())
        throw new CInternetException(ERROR_INTERNET_INTERNAL_ERROR, QString());

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_strAgent);
    // A redirect is the reply; following it would only add requests the check never looks at.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(TransferTimeout().count()));

    BusyCursor busy;
    std::unique_ptr<QNetworkReply> reply(m_manager->get(request));
    reply->setReadBufferSize(kReadBufferSize);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    // Headers arrived: that is a reply, whatever its status says.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        return new CHttpFile(reply.release(), status.toInt());
    const DWORD error = errorCodeFor(reply->error());
    const QString text = reply->errorString();
    reply->disconnect();
    reply->abort();
    throw new CInternetException(error, text);
}

bool CInternetSession::GetCookie(const QString& url, const QString& /*name*/, QString& cookieData)
{
    QStringList pairs;
    const QUrl address(url, QUrl::StrictMode);
    if (address.isValid()) {
        for (const QNetworkCookie& cookie : cookieStore().cookiesForUrl(address))
            pairs << QString::fromUtf8(cookie.toRawForm(QNetworkCookie::NameAndValueOnly));
    }
    cookieData = pairs.join(QStringLiteral("; "));
    return !cookieData.isEmpty();
}

std::chrono::milliseconds CInternetSession::TransferTimeout()
{
    return transferTimeout();
}

std::optional<InternetFailure> SetSessionOpenFailureForTesting(std::optional<InternetFailure> failure)
{
    return std::exchange(sessionOpenFailure(), std::move(failure));
}

std::chrono::milliseconds SetTransferTimeoutForTesting(std::chrono::milliseconds timeout)
{
    return std::exchange(transferTimeout(), timeout);
}

void ClearCookiesForTesting()
{
    cookieStore().clear();
}

} // namespace platform
