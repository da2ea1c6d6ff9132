#include "links/StaticLink.h"

#include "platform/Beep.h"
#include "platform/LinkCursor.h"
#include "res/Resources.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <utility>

namespace links {

namespace {

// Static styles whose low byte is above this draw a picture, not text.
constexpr unsigned kLastTextStaticStyle = 2; // SS_RIGHT
constexpr unsigned kStaticTypeMask = 0xFF;

struct LinkCursorState {
    std::optional<QCursor> cursor; // never released once loaded
    bool tried = false;
};

LinkCursorState& linkCursorState()
{
    static LinkCursorState state;
    return state;
}

CStaticLink::StringLookup& stringLookup()
{
    static CStaticLink::StringLookup lookup;
    return lookup;
}

} // namespace

platform::ShellResult CLinkTarget::Navigate() const
{
    if (isEmpty())
        return 0;
    return platform::ShellExecuteOpen(*this);
}

// Sees the control's events before the control does; stands in for the link's message map.
class CStaticLink::EventFilter : public QObject {
public:
    explicit EventFilter(CStaticLink& link)
        : m_link(link)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_link.GetSafeWidget())
            return false;
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            m_link.OnNcHitTest();
            m_link.OnSetCursor();
            return false;
        case QEvent::MouseButtonPress:
            m_link.OnNcHitTest();
            m_link.OnSetCursor();
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                m_link.OnLButtonDown();
                return true;
            }
            return false;
        case QEvent::Paint:
            m_link.CtlColor();
            return false;
        case QEvent::Hide:
            m_link.OnHide();
            return false;
        default:
            return false;
        }
    }

private:
    CStaticLink& m_link;
};

CStaticLink::CStaticLink(const char* target, bool autoDelete)
    : m_target(target ? QString::fromUtf8(target) : QString())
    , m_bAutoDelete(autoDelete)
{
}

CStaticLink::~CStaticLink()
{
    Detach();
}

void CStaticLink::Detach()
{
    QObject::disconnect(m_destroyedConnection);
    if (QWidget* widget = GetSafeWidget())
        widget->removeEventFilter(m_filter.get());
    delete m_hoverTimer.data();
    m_filter.reset();
    m_bHover = false;
    m_crText = s_crNormal;
    m_fontLink.reset();
}

void CStaticLink::Attach(QWidget* widget)
{
    Detach();
    CStatic::Attach(widget);
    if (!widget)
        return;
    m_filter = std::make_unique<EventFilter>(*this);
    widget->installEventFilter(m_filter.get());
    // Move events without a pressed button are the hit test; a static has no notify style to ask for them.
    widget->setMouseTracking(true);
    // The dialog shows through behind the text.
    widget->setAutoFillBackground(false);

    auto* timer = new QTimer(widget);
    timer->setInterval(kHoverPollMs);
    QObject::connect(timer, &QTimer::timeout, m_filter.get(), [this] { OnTimer(); });
    m_hoverTimer = timer;

    m_destroyedConnection = QObject::connect(widget, &QObject::destroyed, [this] { PostNcDestroy(); });
    ApplyTextColour();
}

bool CStaticLink::IsHoverTimerRunning() const
{
    return m_hoverTimer && m_hoverTimer->isActive();
}

bool CStaticLink::IsTextLink() const
{
    return (GetStyle() & kStaticTypeMask) <= kLastTextStaticStyle;
}

void CStaticLink::OnNcHitTest()
{
    if (m_bHover)
        return;
    m_bHover = true;
    m_crText = s_crHover;
    Invalidate();
    if (m_hoverTimer)
        m_hoverTimer->start();
}

void CStaticLink::OnTimer()
{
    QWidget* widget = GetSafeWidget();
    if (!widget)
        return;
    // Geometric only: a window lying over the control does not end the hover.
    const QPoint point = widget->mapFromGlobal(QCursor::pos());
    if (widget->rect().contains(point))
        return;
    EndHover();
}

void CStaticLink::OnHide()
{
    // The window of a closed dialog goes away with its timer; a hidden widget keeps both, so end the hover here.
    if (m_bHover)
        EndHover();
}

void CStaticLink::EndHover()
{
    m_bHover = false;
    if (m_hoverTimer)
        m_hoverTimer->stop();
    m_crText = s_crNormal;
    Invalidate();
}

void CStaticLink::CtlColor()
{
    QWidget* widget = GetSafeWidget();
    if (!widget || !IsTextLink())
        return;
    if (!m_fontLink) {
        // Once per control: the dialog font as it is, so not underlined.
        m_fontLink = widget->font();
        widget->setFont(*m_fontLink);
    }
    ApplyTextColour();
}

void CStaticLink::ApplyTextColour()
{
    QWidget* widget = GetSafeWidget();
    if (!widget || !IsTextLink())
        return;
    const QColor colour = ToQColor(m_crText);
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == colour && palette.isBrushSet(QPalette::Active, QPalette::WindowText))
        return;
    for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
        palette.setColor(group, QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void CStaticLink::Invalidate()
{
    ApplyTextColour();
    if (QWidget* widget = GetSafeWidget())
        widget->update();
}

void CStaticLink::OnLButtonDown()
{
    QWidget* widget = GetSafeWidget();
    if (m_target.isEmpty() && widget) {
        const StringLookup& lookup = stringLookup();
        QString text = lookup ? lookup(GetDlgCtrlID()) : res::LoadString(GetDlgCtrlID());
        if (text.isEmpty())
            text = GetWindowText();
        m_target = text;
        if (m_target.isEmpty())
            return;
    }
    const platform::ShellResult result = m_target.Navigate();
    if (!platform::ShellSucceeded(result)) {
        platform::MessageBeep(platform::MB_OK);
        return;
    }
    m_crText = s_crVisited;
    Invalidate();
}

bool CStaticLink::OnSetCursor()
{
    const QCursor* cursor = LinkCursor();
    if (!cursor)
        return false; // the pointer keeps the shape it had
    if (QWidget* widget = GetSafeWidget())
        widget->setCursor(*cursor);
    return true;
}

const QCursor* CStaticLink::LinkCursor()
{
    LinkCursorState& state = linkCursorState();
    if (!state.cursor && !state.tried) {
        state.cursor = platform::LoadLinkCursor();
        state.tried = true;
    }
    return state.cursor ? &*state.cursor : nullptr;
}

void CStaticLink::ResetLinkCursorForTesting()
{
    linkCursorState() = LinkCursorState {};
}

CStaticLink::StringLookup CStaticLink::SetStringLookupForTesting(StringLookup lookup)
{
    return std::exchange(stringLookup(), std::move(lookup));
}

void CStaticLink::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}

} // namespace links
