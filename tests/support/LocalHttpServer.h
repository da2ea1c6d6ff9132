#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <utility>

namespace testsupport {

// A tiny HTTP/1.1 server on 127.0.0.1 (a free port) for tests. It serves in the thread's event
// loop, so it answers while the code under test waits in a nested loop. Every request gets the
// answer of the responder; a silent server accepts connections and never answers.
class LocalHttpServer : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray target; // as sent: a path and query, or an absolute address when asked as a proxy
        QList<std::pair<QByteArray, QByteArray>> headers;

        QByteArray header(const QByteArray& name) const
        {
            for (const auto& [key, value] : headers)
                if (key.compare(name, Qt::CaseInsensitive) == 0)
                    return value;
            return QByteArray();
        }
    };
    using Responder = std::function<QByteArray(const Request&)>;

    LocalHttpServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { acceptAll(); });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }

    void setResponder(Responder responder) { m_responder = std::move(responder); }
    void setReply(const QByteArray& reply)
    {
        m_responder = [reply](const Request&) { return reply; };
    }
    void setSilent(bool silent) { m_silent = silent; }
    // Leave the connection open after a reply, as a keep-alive server does.
    void setKeepOpen(bool keepOpen) { m_keepOpen = keepOpen; }

    int connectionCount() const { return m_connections; }
    // Connections the client has not closed yet.
    int openConnectionCount() const { return m_open; }
    const QList<Request>& requests() const { return m_requests; }

    // A complete reply with the given status line tail and Set-Cookie values, and a short body.
    // It asks the client to close the connection unless `otherHeaders` has a Connection header.
    static QByteArray reply(
        const QByteArrayList& setCookies, const QByteArray& status = "200 OK", const QByteArrayList& otherHeaders = {})
    {
        const QByteArray body = "<html></html>";
        QByteArray text = "HTTP/1.1 " + status + "\r\n";
        for (const QByteArray& cookie : setCookies)
            text += "Set-Cookie: " + cookie + "\r\n";
        bool connectionHeader = false;
        for (const QByteArray& header : otherHeaders) {
            text += header + "\r\n";
            connectionHeader = connectionHeader || header.toLower().startsWith("connection:");
        }
        if (!connectionHeader)
            text += "Connection: close\r\n";
        text += "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        return text;
    }

    // A port on 127.0.0.1 where nothing listens: a connection there is refused.
    static quint16 closedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    void acceptAll()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            ++m_open;
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_open;
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void readFrom(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArrayList lines = buffer.left(end).split('\n');
        buffer.clear();
        Request request;
        const QByteArrayList parts = lines.value(0).trimmed().split(' ');
        request.method = parts.value(0);
        request.target = parts.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
        }
        m_requests.append(request);
        if (m_silent || !m_responder)
            return;
        socket->write(m_responder(request));
        if (!m_keepOpen)
            socket->disconnectFromHost();
    }

    QTcpServer m_server;
    Responder m_responder;
    bool m_silent = false;
    bool m_keepOpen = false;
    int m_connections = 0;
    int m_open = 0;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace testsupport
