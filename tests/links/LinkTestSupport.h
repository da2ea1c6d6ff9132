#pragma once

#include "links/StaticLink.h"
#include "platform/Beep.h"
#include "platform/LinkCursor.h"

#include <QColor>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

namespace linktest {

// Counts beeps while it lives.
class BeepRecorder {
public:
    BeepRecorder()
    {
        m_previous = platform::SetBeepHandler([this](platform::UINT type) { m_beeps.push_back(type); });
    }
    ~BeepRecorder() { platform::SetBeepHandler(std::move(m_previous)); }
    BeepRecorder(const BeepRecorder&) = delete;
    BeepRecorder& operator=(const BeepRecorder&) = delete;

    const std::vector<platform::UINT>& beeps() const { return m_beeps; }

private:
    platform::BeepHandler m_previous;
    std::vector<platform::UINT> m_beeps;
};

// Replaces the link cursor's loader and forgets any cursor loaded before, so that each test
// sees a fresh process; counts the loads.
class CursorLoaderStub {
public:
    explicit CursorLoaderStub(bool succeeds = true)
        : m_succeeds(succeeds)
    {
        links::CStaticLink::ResetLinkCursorForTesting();
        m_previous = platform::SetLinkCursorLoader([this]() -> std::optional<QCursor> {
            ++m_loads;
            if (!m_succeeds)
                return std::nullopt;
            return QCursor(Qt::PointingHandCursor);
        });
    }
    ~CursorLoaderStub()
    {
        platform::SetLinkCursorLoader(std::move(m_previous));
        links::CStaticLink::ResetLinkCursorForTesting();
    }
    CursorLoaderStub(const CursorLoaderStub&) = delete;
    CursorLoaderStub& operator=(const CursorLoaderStub&) = delete;

    int loads() const { return m_loads; }

private:
    bool m_succeeds;
    int m_loads = 0;
    platform::LinkCursorLoader m_previous;
};

inline QColor textColour(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

inline QColor linkColour(links::COLORREF colour)
{
    return links::ToQColor(colour);
}

// Spins the event loop until `done` holds or `timeoutMs` passes; answers whether it held.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 1000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Moves the pointer as QTest::mouseMove does. Offscreen the move is delivered at once; under a real
// X server the warp comes back as an event, so wait for it before the test looks.
inline void movePointer(QWidget* widget, QPoint at)
{
    QTest::mouseMove(widget, at);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QTest::qWait(30);
}

} // namespace linktest
