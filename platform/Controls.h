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
inline constexpr char kControlIdProperty[] = "controlId"; // int: the template's control id
inline constexpr char kControlStyleProperty[] = "controlStyle"; // uint: the template's window style bits

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

inline constexpr int LB_ERR = -1;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds the object to the control; called once by DDX_Control.
    virtual void Attach(QWidget* widget) { m_widget = widget; }
    QWidget* GetSafeWidget() const { return m_widget; }
    bool IsAttached() const { return m_widget != nullptr; }

    // Any non-zero command shows the window, as SW_SHOW does.
    void ShowWindow(int nCmdShow)
    {
        if (m_widget)
            m_widget->setVisible(nCmdShow != SW_HIDE);
    }
    // The window's own visible state (WS_VISIBLE), whether or not its dialog is on screen yet.
    bool IsWindowVisible() const { return m_widget && !m_widget->isHidden(); }
    void EnableWindow(bool enable)
    {
        if (m_widget)
            m_widget->setEnabled(enable);
    }
    int GetDlgCtrlID() const { return m_widget ? m_widget->property(kControlIdProperty).toInt() : 0; }
    unsigned GetStyle() const { return m_widget ? m_widget->property(kControlStyleProperty).toUInt() : 0; }

    // The control's text: a button's label, an edit's contents, a static's text, a window's caption.
    // Line breaks are "\r\n" both ways, as the framework's controls keep them.
    void SetWindowText(const QString& text);
    QString GetWindowText() const;

private:
    QPointer<QWidget> m_widget;
};

class CButton : public CWnd {
public:
    QAbstractButton* button() const;
    void SetCheck(int check);
    int GetCheck() const;
};

class CEdit : public CWnd {
public:
    QPlainTextEdit* edit() const;
};

// A list box. With LBS_SORT, AddString puts each entry at its place in the user's locale's
// collation (Chinese: by pinyin), not by code point. Nothing here sends LBN_SELCHANGE: like the
// framework's list box, only the user's own changes of the selection notify the dialog.
class CListBox : public CWnd {
public:
    QListWidget* list() const;
    void ResetContent();
    int AddString(const QString& text); // the index of the new entry
    int GetCount() const;
    int GetCurSel() const; // LB_ERR when nothing is selected
    int SetCurSel(int index); // -1 clears the selection; LB_ERR for an index out of range
    void GetText(int index, QString& text) const;
};

// A static control: a text or, with SS_BITMAP or SS_ICON, a picture.
class CStatic : public CWnd {
public:
    QLabel* label() const;
};

} // namespace platform
