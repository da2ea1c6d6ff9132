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
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <sys/socket.h>
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
    // Takes over a connection once its request has arrived: writes what it likes, when it likes,
    // and closes the socket itself, or never. The socket is deleted when the client goes.
    using ConnectionHandler = std::function<void(QTcpSocket*, const Request&)>;

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
    // Replaces the responder for every later request.
    void setConnectionHandler(ConnectionHandler handler) { m_handler = std::move(handler); }

    // ---- Misbehaving services, as connection handlers ----

    // `text` one byte at a time, one every `interval`; the connection stays open afterwards.
    static ConnectionHandler trickle(QByteArray text, std::chrono::milliseconds interval)
    {
        return [text, interval](QTcpSocket* socket, const Request&) {
            auto* timer = new QTimer(socket);
            auto next = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, text, next] {
                if (*next >= text.size()) {
                    timer->stop();
                    return;
                }
                socket->write(text.mid((*next)++, 1));
            });
            timer->start(interval);
        };
    }

    // `text`, then a reset (RST) instead of an orderly close.
    static ConnectionHandler resetAfter(QByteArray text)
    {
        return [text](QTcpSocket* socket, const Request&) {
            socket->write(text);
            socket->flush();
            // The bytes must leave before the reset, or the kernel drops them with the socket.
            QTimer::singleShot(50, socket, [socket] {
                const linger abortive { 1, 0 };
                ::setsockopt(
                    static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
                socket->abort();
            });
        };
    }

    // `head`, then `filler` repeated until `fillerBytes` have gone, then `tail` and a close. The
    // filler is written as the client takes it, so the server holds only a little of it at a time;
    // fillerBytes < 0 streams the filler forever.
    static ConnectionHandler stream(QByteArray head, QByteArray filler, qint64 fillerBytes, QByteArray tail = {})
    {
        return [=](QTcpSocket* socket, const Request&) {
            struct State {
                qint64 left;
                bool done = false;
            };
            auto state = std::make_shared<State>(State { fillerBytes });
            auto refill = [socket, filler, tail, state] {
                constexpr qint64 kLowWater = 256 * 1024;
                while (!state->done && socket->bytesToWrite() < kLowWater) {
                    if (state->left == 0) {
                        socket->write(tail);
                        socket->disconnectFromHost();
                        state->done = true;
                        return;
                    }
                    QByteArray chunk = filler;
                    if (state->left > 0 && chunk.size() > state->left)
                        chunk.truncate(state->left);
                    socket->write(chunk);
                    if (state->left > 0)
                        state->left -= chunk.size();
                }
            };
            socket->write(head);
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, refill);
            refill();
        };
    }
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
        if (m_handler && !m_silent) {
            m_handler(socket, request);
            return;
        }
        if (m_silent || !m_responder)
            return;
        socket->write(m_responder(request));
        if (!m_keepOpen)
            socket->disconnectFromHost();
    }

    QTcpServer m_server;
    Responder m_responder;
    ConnectionHandler m_handler;
    bool m_silent = false;
    bool m_keepOpen = false;
    int m_connections = 0;
    int m_open = 0;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace testsupport
