#pragma once

#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// The internet classes the version check needs, on Qt Network: a session that sends one blocking
// HTTP GET through the system's proxy configuration, the reply it hands back, and the one cookie
// store of the process.
namespace platform {

using DWORD = std::uint32_t;

// The error codes the internet classes report (the values of the system's own codes).
inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;

// Thrown as a heap object (`throw new CInternetException(...)`); the catcher calls Delete().
class CInternetException {
public:
    CInternetException(DWORD error, QString text)
        : m_dwError(error)
        , m_strText(std::move(text))
    {
    }
    CInternetException(const CInternetException&) = delete;
    CInternetException& operator=(const CInternetException&) = delete;

    void Delete() { delete this; }

    // The system's text for the error; false when there is none.
    bool GetErrorMessage(QString& text) const;

    // The framework's report of a command that failed with this exception: one box with the stop
    // icon, showing the error's text or "内部应用程序出错。". Returns the button pressed.
    int ReportError() const;

    DWORD m_dwError;

private:
    ~CInternetException() = default;
    QString m_strText;
};

// What the session received for a request: the reply's headers. The body is never read; the
// transfer is cut off when the reply is closed, and at most a small buffer of it is held meanwhile.
class CHttpFile {
public:
    ~CHttpFile();
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    int GetStatusCode() const { return m_nStatusCode; }
    void Close();

private:
    friend class CInternetSession;
    CHttpFile(QNetworkReply* reply, int statusCode);

    // Owned by the session's manager as well: gone if the session was closed first.
    QPointer<QNetworkReply> m_reply;
    int m_nStatusCode;
};

class CInternetSession {
public:
    // The user agent is the application name. Throws CInternetException* when no session can be opened.
    CInternetSession();
    ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // One GET of `url`, waiting until the reply's headers have arrived; meanwhile the windows repaint
    // but user input is held back, and the pointer shows the busy cursor. Redirects are not followed:
    // a redirecting reply is the reply. Returns a reply the caller owns, or nullptr for an address
    // that is not http or https. Throws CInternetException* when the request fails or falls silent
    // for TransferTimeout().
    CHttpFile* OpenURL(const QString& url);

    void Close();

    // The cookie text the store holds for `url`: "a=1; b=2", or empty. Like the system's call it
    // gives every cookie for the address; `name` does not narrow it. Returns whether there was any.
    static bool GetCookie(const QString& url, const QString& name, QString& cookieData);

    static constexpr std::chrono::milliseconds kDefaultTransferTimeout = std::chrono::seconds(30);
    // How long a request may stay silent before it fails.
    static std::chrono::milliseconds TransferTimeout();

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QString m_strAgent;
};

// ---- Test seams ----

struct InternetFailure {
    DWORD error = ERROR_INTERNET_INTERNAL_ERROR;
    QString text;
};
// While set, every session constructor throws a CInternetException with this error. Returns the previous setting.
std::optional<InternetFailure> SetSessionOpenFailureForTesting(std::optional<InternetFailure> failure);
// Replaces the silence time-out. Returns the previous value.
std::chrono::milliseconds SetTransferTimeoutForTesting(std::chrono::milliseconds timeout);
// Empties the process's cookie store.
void ClearCookiesForTesting();

} // namespace platform
