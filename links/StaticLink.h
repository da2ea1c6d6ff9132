#pragma once

#include "platform/Controls.h"
#include "platform/Shell.h"

#include <QColor>
#include <QFont>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QCursor;
class QTimer;

namespace links {

// A colour as the dialog framework stores it: red in the low byte, blue in the third.
using COLORREF = std::uint32_t;
constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>(r & 0xFF) | (static_cast<COLORREF>(g & 0xFF) << 8)
        | (static_cast<COLORREF>(b & 0xFF) << 16);
}
constexpr QColor ToQColor(COLORREF colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
        static_cast<int>((colour >> 16) & 0xFF));
}

// What a link opens: a web address or anything else the shell can open.
class CLinkTarget : public QString {
public:
    CLinkTarget() = default;
    CLinkTarget(const QString& text)
        : QString(text)
    {
    }
    CLinkTarget& operator=(const QString& text)
    {
        QString::operator=(text);
        return *this;
    }

    // An empty target answers 0 without asking the shell; above 32 means the shell took it.
    platform::ShellResult Navigate() const;
};

// Turns a static control that a dialog already has into a hyperlink: hover highlight, link cursor,
// link colours and its own font for text statics, and a left click that opens m_target.
// The control needs no notify style and keeps its place, size, text or picture. No keyboard handling.
class CStaticLink : public platform::CStatic {
public:
    static constexpr COLORREF s_crNormal = RGB(0, 0, 255);
    static constexpr COLORREF s_crVisited = RGB(128, 0, 128);
    static constexpr COLORREF s_crHover = RGB(255, 0, 0);
    static constexpr int kHoverPollMs = 100;

    explicit CStaticLink(const char* target = nullptr, bool autoDelete = false);
    ~CStaticLink() override;

    // Takes over the control's pointer and paint events (the dialog's DDX_Control calls it once).
    void Attach(QWidget* widget) override;

    CLinkTarget m_target;

    COLORREF GetTextColor() const { return m_crText; }
    bool IsHovering() const { return m_bHover; }
    bool IsHoverTimerRunning() const;
    // Only text statics (SS_LEFT, SS_CENTER, SS_RIGHT) are drawn in the link colours.
    bool IsTextLink() const;
    // Empty until the first paint of a text link.
    const std::optional<QFont>& GetLinkFont() const { return m_fontLink; }

    // The process-wide link cursor: loaded once, on the first cursor request over any link.
    static const QCursor* LinkCursor();
    static void ResetLinkCursorForTesting();

    // The string table a click on a link without target looks in; res's own unless a test replaces it.
    using StringLookup = std::function<QString(int id)>;
    static StringLookup SetStringLookupForTesting(StringLookup lookup);

protected:
    // After the control's widget is gone: deletes the object when it was made with autoDelete.
    virtual void PostNcDestroy();

private:
    class EventFilter;
    friend class EventFilter;

    void Detach();
    void OnNcHitTest();
    void OnTimer();
    void CtlColor();
    void OnLButtonDown();
    bool OnSetCursor();
    void OnHide();
    // Back to Idle: the hover ends, its timer stops and the text is blue again.
    void EndHover();
    void Invalidate();
    void ApplyTextColour();

    COLORREF m_crText = s_crNormal;
    std::optional<QFont> m_fontLink;
    bool m_bAutoDelete = false;
    bool m_bHover = false;

    std::unique_ptr<EventFilter> m_filter;
    QPointer<QTimer> m_hoverTimer; // a child of the control, so it ends with the window
    QMetaObject::Connection m_destroyedConnection;
};

} // namespace links
