#include "platform/Controls.h"

#include "platform/DialogTemplate.h"

#include <QAbstractButton>
#include <QCollator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace platform {

namespace {

QString fromFrameworkText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString toFrameworkText(QString text)
{
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

// The program's texts are Chinese: its sorted lists follow the Chinese collation (pinyin).
const QCollator& listCollator()
{
    static const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    return collator;
}

} // namespace

void CWnd::SetWindowText(const QString& text)
{
    QWidget* widget = m_widget;
    if (!widget)
        return;
    const QString shown = fromFrameworkText(text);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(shown);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(shown);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(shown);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(shown);
    else if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setText(shown);
    else if (widget->isWindow())
        widget->setWindowTitle(shown);
}

QString CWnd::GetWindowText() const
{
    QWidget* widget = m_widget;
    if (!widget)
        return {};
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return toFrameworkText(edit->toPlainText());
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return toFrameworkText(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return toFrameworkText(group->title());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return toFrameworkText(label->text());
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        return line->text();
    return widget->windowTitle();
}

QAbstractButton* CButton::button() const
{
    return qobject_cast<QAbstractButton*>(GetSafeWidget());
}

void CButton::SetCheck(int check)
{
    if (QAbstractButton* b = button())
        b->setChecked(check == BST_CHECKED);
}

int CButton::GetCheck() const
{
    const QAbstractButton* b = button();
    return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

QPlainTextEdit* CEdit::edit() const
{
    return qobject_cast<QPlainTextEdit*>(GetSafeWidget());
}

QListWidget* CListBox::list() const
{
    return qobject_cast<QListWidget*>(GetSafeWidget());
}

void CListBox::ResetContent()
{
    if (QListWidget* l = list()) {
        const QSignalBlocker blocker(l);
        l->clear();
    }
}

int CListBox::AddString(const QString& text)
{
    QListWidget* l = list();
    if (!l)
        return LB_ERR;
    const QSignalBlocker blocker(l);
    int index = l->count();
    if (GetStyle() & LBS_SORT) {
        // After the entries that compare equal, as the system's sorted list box inserts.
        int low = 0;
        int high = l->count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (listCollator().compare(text, l->item(middle)->text()) < 0)
                high = middle;
            else
                low = middle + 1;
        }
        index = low;
    }
    l->insertItem(index, text);
    return index;
}

int CListBox::GetCount() const
{
    const QListWidget* l = list();
    return l ? l->count() : 0;
}

int CListBox::GetCurSel() const
{
    const QListWidget* l = list();
    if (!l)
        return LB_ERR;
    const int row = l->currentRow();
    return row >= 0 && l->item(row)->isSelected() ? row : LB_ERR;
}

int CListBox::SetCurSel(int index)
{
    QListWidget* l = list();
    if (!l)
        return LB_ERR;
    const QSignalBlocker blocker(l);
    if (index < 0 || index >= l->count()) {
        l->clearSelection();
        l->setCurrentRow(-1);
        return LB_ERR;
    }
    l->setCurrentRow(index);
    return index;
}

void CListBox::GetText(int index, QString& text) const
{
    const QListWidget* l = list();
    text = l && index >= 0 && index < l->count() ? l->item(index)->text() : QString();
}

QLabel* CStatic::label() const
{
    return qobject_cast<QLabel*>(GetSafeWidget());
}

} // namespace platform
