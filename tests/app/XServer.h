#pragma once

// A private Xvfb for tests of the real program, xdotool to watch its windows from outside, and xclip,
// where it is installed, to read the selections they own.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace testsupport {

class XServer {
public:
    XServer()
    {
        m_xvfb = QStandardPaths::findExecutable("Xvfb");
        m_xdotool = QStandardPaths::findExecutable("xdotool");
        m_xclip = QStandardPaths::findExecutable("xclip");
        if (m_xvfb.isEmpty() || m_xdotool.isEmpty())
            return;
        // -displayfd reports the display number the server took once it accepts clients.
        m_server.setProgram(m_xvfb);
        m_server.setArguments({ "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24" });
        m_server.start();
        if (!m_server.waitForStarted(5000))
            return;
        for (int i = 0; i < 100 && !m_server.canReadLine(); ++i)
            m_server.waitForReadyRead(100);
        const QByteArray line = m_server.readLine().trimmed();
        if (!line.isEmpty())
            m_display = QStringLiteral(":") + QString::fromLatin1(line);
    }
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return !m_display.isEmpty(); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("DISPLAY", m_display);
        return environment;
    }
    QString xdotool(const QStringList& arguments) const
    {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(m_xdotool, arguments);
        tool.waitForFinished(5000);
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }
    bool canReadSelections() const { return !m_xclip.isEmpty(); }
    // What the owner of `selection` ("clipboard", "primary") hands out as `target`; nothing when no
    // window owns it, it lacks that target, or it does not answer in time.
    std::optional<QByteArray> selection(const QString& selection, const QString& target) const
    {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(m_xclip, { "-o", "-selection", selection, "-target", target });
        if (!tool.waitForFinished(2000)) {
            tool.kill();
            tool.waitForFinished(1000);
            return std::nullopt;
        }
        if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            return std::nullopt;
        return tool.readAllStandardOutput();
    }
    // The mapped windows: id and name.
    std::vector<std::pair<QString, QString>> windows() const
    {
        std::vector<std::pair<QString, QString>> result;
        const QString ids = xdotool({ "search", "--onlyvisible", "--name", "." });
        for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
            result.emplace_back(id, xdotool({ "getwindowname", id }));
        return result;
    }
    QStringList windowNames() const
    {
        QStringList names;
        for (const auto& window : windows())
            names << window.second;
        return names;
    }
    QString windowId(const QString& name) const
    {
        for (const auto& window : windows()) {
            if (window.second == name)
                return window.first;
        }
        return {};
    }
    int count(const QString& name) const { return static_cast<int>(windowNames().count(name)); }

private:
    QString m_xvfb;
    QString m_xdotool;
    QString m_xclip;
    QProcess m_server;
    QString m_display;
};

} // namespace testsupport
