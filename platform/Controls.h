#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QListWidget;
class QPlainTextEdit;

// Member objects bound to the controls of a dialog (DDX_Control), standing in for the framework's
// window classes: the dialog builds the widgets from its template, and a bound member reaches its
// widget through Attach.
namespace platform {

// Dynamic properties the dialog builder sets on every control widget.
inline constexpr char kControlIdProperty[] = "controlId";       // int: the template's control id
inline constexpr char kControlStyleProperty[] = "controlStyle"; // uint: the template's window style bits

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds the object to the control; called once by DDX_Control.
    virtual void Attach(QWidget* widget) { m_widget = widget; }
    QWidget* GetSafeWidget() const { return m_widget; }

    void ShowWindow(bool show)
    {
        if (m_widget)
            m_widget->setVisible(show);
    }
    bool IsWindowVisible() const { return m_widget && m_widget->isVisible(); }
    int GetDlgCtrlID() const { return m_widget ? m_widget->property(kControlIdProperty).toInt() : 0; }
    unsigned GetStyle() const { return m_widget ? m_widget->property(kControlStyleProperty).toUInt() : 0; }

private:
    QPointer<QWidget> m_widget;
};

} // namespace platform
