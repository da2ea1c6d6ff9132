#include "platform/Dialog.h"

#include "platform/BitmapStrikes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <cstdlib>
#include <utility>

namespace platform {

namespace {

ModalDialogHandler& modalHandler()
{
    static ModalDialogHandler handler;
    return handler;
}

// GDI stacks a static's lines at the font's height, Qt at its line spacing, which adds the
// leading: a text static sized for two GDI lines would lose the lower part of its second line.
// It grows downward instead, keeping its place and width.
void growToShowAllText(QWidget* widget)
{
    auto* label = qobject_cast<QLabel*>(widget);
    if (!label || label->text().isEmpty() || !label->wordWrap())
        return;
    const int needed = label->heightForWidth(label->width());
    if (needed > label->height())
        label->resize(label->width(), needed);
}

// a * b / c in integer arithmetic, truncated.
int scale(int a, int b, int c)
{
    return static_cast<int>(static_cast<long long>(a) * b / c);
}

bool isRadio(const ControlTemplate& control)
{
    if (control.controlClass != ControlClass::Button)
        return false;
    const DWORD kind = control.style & BS_TYPEMASK;
    return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
}

QString toWidgetText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// An auto radio button that, as the system's, stays checked when clicked again and clears the
// other buttons of its group. The group is a non-exclusive button group, so that the data exchange
// can clear it all and the next group of the same dialog stays apart; the buttons stay
// auto-exclusive, which is what makes screen readers call them radio buttons.
class RadioButton : public QRadioButton {
public:
    RadioButton(const QString& text, QWidget* parent, QButtonGroup* group)
        : QRadioButton(text, parent)
    {
        group->addButton(this);
    }

protected:
    void nextCheckState() override
    {
        if (QButtonGroup* buttons = group()) {
            for (QAbstractButton* other : buttons->buttons()) {
                if (other != this)
                    other->setChecked(false);
            }
        }
        setChecked(true);
    }
};

std::unique_ptr<CWnd> wrapperFor(const ControlTemplate& control)
{
    switch (control.controlClass) {
    case ControlClass::Button:
        return std::make_unique<CButton>();
    case ControlClass::Edit:
        return std::make_unique<CEdit>();
    case ControlClass::ListBox:
        return std::make_unique<CListBox>();
    case ControlClass::Static:
        return std::make_unique<CStatic>();
    }
    return std::make_unique<CWnd>();
}

} // namespace

// ---- the window ----

class CDialog::Window : public QDialog {
public:
    Window(CDialog& owner, QWidget* parent, Qt::WindowFlags flags)
        : QDialog(parent, flags)
        , m_owner(owner)
    {
    }

    void done(int result) override
    {
        m_closing = true;
        QDialog::done(result);
    }
    void accept() override { m_owner.dispatchCommand(IDOK); }
    // Escape.
    void reject() override { m_owner.dispatchCommand(IDCANCEL); }

    // Controls that keep Enter to themselves (ES_WANTRETURN) are filtered here: a read-only plain
    // text edit would pass it on to the default button.
    void keepReturn(QWidget* widget) { widget->installEventFilter(this); }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (m_closing || !isVisible()) {
            event->accept();
            return;
        }
        // The close box and Alt+F4 are the window menu's Close.
        event->ignore();
        m_owner.OnSysCommand(SC_CLOSE, 0);
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        event->accept();
        m_owner.OpenSystemMenu(true);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QDialog::eventFilter(watched, event);
    }
    void showEvent(QShowEvent* event) override
    {
        m_closing = false;
        QDialog::showEvent(event);
    }

private:
    CDialog& m_owner;
    bool m_closing = false;
};

// ---- menu, units, font ----

void CMenu::AppendMenu(unsigned flags, unsigned id, const QString& text)
{
    m_items.push_back({ flags, id, text });
}

QRect DialogBaseUnits::toPixels(const QRect& units) const
{
    return QRect(
        scale(units.x(), x, 4), scale(units.y(), y, 8), scale(units.width(), x, 4), scale(units.height(), y, 8));
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return { (width / 26 + 1) / 2, metrics.height() };
}

QFont DialogFontOf(const DialogFont& templateFont)
{
    QFont font;
    // Named one by one: fontconfig maps an uninstalled "宋体" or "SimSun" to DejaVu without a word.
    QStringList families;
    if (!templateFont.face.isEmpty())
        families << templateFont.face;
    families << QStringLiteral("SimSun") << QStringLiteral("AR PL UMing CN") << QStringLiteral("AR PL UMing TW")
             << QStringLiteral("Noto Serif CJK SC") << QStringLiteral("Noto Sans CJK SC")
             << QStringLiteral("WenQuanYi Zen Hei") << QStringLiteral("WenQuanYi Micro Hei");
    // Only the installed ones: Qt asks fontconfig for the fallbacks of every family it cannot find.
    const QStringList installed = QFontDatabase::families();
    QStringList present;
    for (const QString& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            present << family;
    }
    font.setFamilies(present.isEmpty() ? families : present);
    font.setPointSize(templateFont.pointSize);
    font.setWeight(static_cast<QFont::Weight>(templateFont.weight));
    font.setItalic(templateFont.italic);
    return font;
}

// ---- data exchange ----

void DDX_Control(CDataExchange* pDX, int id, CWnd& member)
{
    if (member.IsAttached())
        return;
    if (QWidget* widget = pDX->m_pDlgWnd->GetDlgItemWidget(id))
        member.Attach(widget);
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& value)
{
    const auto& items = pDX->m_pDlgWnd->Items();
    std::size_t start = 0;
    while (start < items.size() && items[start].control->id != firstId)
        ++start;
    if (start == items.size())
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    for (std::size_t i = start; i < items.size(); ++i) {
        const ControlTemplate& control = *items[i].control;
        if (i > start && (control.style & WS_GROUP))
            break;
        if (!isRadio(control))
            continue;
        auto* button = static_cast<QAbstractButton*>(items[i].widget);
        if (pDX->m_bSaveAndValidate) {
            if (button->isChecked())
                value = index;
        } else {
            button->setChecked(index == value);
        }
        ++index;
    }
}

// ---- the dialog ----

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : m_template(dialogTemplate)
    , m_parent(parent)
{
}

CDialog::~CDialog() = default;

QDialog* CDialog::GetDialogWidget() const
{
    return m_window.get();
}

void CDialog::build()
{
    QWidget* owner = m_parent ? m_parent : QApplication::activeModalWidget();
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_template.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    m_window = std::make_unique<Window>(*this, owner, flags);
    Attach(m_window.get());
    m_window->setWindowTitle(m_template.caption);
    if (!m_icon.isNull())
        m_window->setWindowIcon(m_icon);

    const QFont font = WithBitmapStrikes(DialogFontOf(m_template.font), m_window->devicePixelRatioF());
    m_window->setFont(font);
    const DialogBaseUnits units = BaseUnitsOf(font);
    m_window->setFixedSize(units.toPixels(m_template.rect).size());

    QButtonGroup* radioGroup = nullptr;
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : m_template.controls) {
        if (control.style & WS_GROUP)
            radioGroup = nullptr;
        QWidget* widget = nullptr;
        const QString text = toWidgetText(control.text);
        switch (control.controlClass) {
        case ControlClass::Button: {
            const DWORD kind = control.style & BS_TYPEMASK;
            if (kind == BS_GROUPBOX) {
                widget = new QGroupBox(text, m_window.get());
            } else if (kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) {
                if (!radioGroup) {
                    radioGroup = new QButtonGroup(m_window.get());
                    radioGroup->setExclusive(false);
                }
                widget = new RadioButton(text, m_window.get(), radioGroup);
            } else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX) {
                widget = new QCheckBox(text, m_window.get());
            } else {
                auto* push = new QPushButton(text, m_window.get());
                push->setAutoDefault(true);
                push->setDefault(kind == BS_DEFPUSHBUTTON);
                widget = push;
            }
            if (kind != BS_GROUPBOX) {
                const int id = control.id;
                QObject::connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, m_window.get(),
                    [this, id] { dispatchCommand(id); });
            }
            break;
        }
        case ControlClass::Edit:
            if (control.style & ES_MULTILINE) {
                auto* edit = new QPlainTextEdit(m_window.get());
                edit->setReadOnly(control.style & ES_READONLY);
                edit->setTabChangesFocus(true);
                edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                edit->setVerticalScrollBarPolicy(
                    (control.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
                edit->setPlainText(text);
                if (!(control.style & WS_BORDER))
                    edit->setFrameShape(QFrame::NoFrame);
                if (control.style & ES_WANTRETURN)
                    m_window->keepReturn(edit);
                widget = edit;
            } else {
                auto* line = new QLineEdit(text, m_window.get());
                line->setReadOnly(control.style & ES_READONLY);
                line->setFrame(control.style & WS_BORDER);
                widget = line;
            }
            break;
        case ControlClass::ListBox: {
            auto* list = new QListWidget(m_window.get());
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy(
                (control.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(
                (control.style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            if (!(control.style & WS_BORDER))
                list->setFrameShape(QFrame::NoFrame);
            if (control.style & LBS_NOTIFY) {
                const int id = control.id;
                // CListBox blocks the signal for its own changes: only the user's reach the dialog.
                QObject::connect(list, &QListWidget::currentRowChanged, m_window.get(), [this, id] {
                    for (const auto& [mappedId, handler] : m_selChange) {
                        if (mappedId == id)
                            handler();
                    }
                });
            }
            widget = list;
            break;
        }
        case ControlClass::Static: {
            auto* label = new QLabel(m_window.get());
            const DWORD kind = control.style & SS_TYPEMASK;
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (kind == SS_BITMAP) {
                // Through QIcon, which takes the "@2x" image on a high-DPI screen.
                label->setPixmap(QIcon(control.text).pixmap(QImageReader(control.text).size()));
            } else if (kind == SS_ICON) {
                label->setPixmap(QIcon(control.text).pixmap(32, 32));
            } else {
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(true);
                label->setText(text);
                if (kind == SS_CENTER)
                    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
                else if (kind == SS_RIGHT)
                    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            }
            widget = label;
            break;
        }
        }

        widget->setProperty(kControlIdProperty, control.id);
        widget->setProperty(kControlStyleProperty, static_cast<unsigned>(control.style));
        widget->setGeometry(units.toPixels(control.rect));
        growToShowAllText(widget);
        if (!control.accessibleName.isEmpty())
            widget->setAccessibleName(control.accessibleName);
        if (control.style & WS_TABSTOP) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        } else if (isRadio(control)) {
            widget->setFocusPolicy(Qt::ClickFocus);
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (!(control.style & WS_VISIBLE))
            widget->setVisible(false);

        Item item { &control, widget, wrapperFor(control) };
        item.wnd->Attach(widget);
        m_items.push_back(std::move(item));
    }

    if (m_template.style & WS_SYSMENU) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), m_window.get());
        QObject::connect(shortcut, &QShortcut::activated, m_window.get(), [this] { OpenSystemMenu(false); });
    }
}

bool CDialog::Create()
{
    if (m_window)
        return false;
    m_ended = false;
    m_result = 0;
    build();
    if (OnInitDialog()) {
        for (const Item& item : m_items) {
            if ((item.control->style & WS_TABSTOP) && item.widget->isEnabled() && !item.widget->isHidden()) {
                item.widget->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
    if (!m_ended)
        m_window->show();
    return true;
}

int CDialog::DoModal()
{
    if (m_window)
        return -1;
    Create();
    if (m_ended)
        return m_result;
    if (const ModalDialogHandler& handler = modalHandler()) {
        const int result = handler(*this);
        if (!m_ended)
            EndDialog(result);
        return result;
    }
    // exec() makes modal only a window it shows itself; Create() has shown this one already.
    m_window->hide();
    m_window->exec();
    return m_ended ? m_result : -1;
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    if (!m_window)
        return false;
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return true;
}

CWnd* CDialog::GetDlgItem(int id) const
{
    for (const Item& item : m_items) {
        if (item.control->id == id)
            return item.wnd.get();
    }
    return nullptr;
}

QWidget* CDialog::GetDlgItemWidget(int id) const
{
    for (const Item& item : m_items) {
        if (item.control->id == id)
            return item.widget;
    }
    return nullptr;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    if (m_window)
        m_window->done(result);
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnSysCommand(unsigned id, long)
{
    if ((id & 0xFFF0) == SC_CLOSE)
        OnCancel();
}

CMenu* CDialog::GetSystemMenu(bool revert)
{
    if (!(m_template.style & WS_SYSMENU))
        return nullptr;
    if (!m_systemMenu || revert) {
        m_systemMenu = std::make_unique<CMenu>();
        m_systemMenu->AppendMenu(MF_STRING, SC_CLOSE, QStringLiteral("关闭(&C)\tAlt+F4"));
    }
    return m_systemMenu.get();
}

void CDialog::OpenSystemMenu(bool atCursor)
{
    CMenu* menu = GetSystemMenu(false);
    if (!menu || !m_window)
        return;
    auto* popup = new QMenu(m_window.get());
    popup->setObjectName(QStringLiteral("systemMenu"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    for (const CMenu::Item& item : menu->items()) {
        if (item.flags & MF_SEPARATOR) {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(item.text);
        const unsigned id = item.id;
        QObject::connect(action, &QAction::triggered, m_window.get(), [this, id] { OnSysCommand(id, 0); });
    }
    popup->popup(atCursor ? QCursor::pos() : m_window->mapToGlobal(QPoint(0, 0)));
}

void CDialog::SetIcon(const QIcon& icon, bool)
{
    // One window icon serves both sizes; the window manager picks the size it needs from it.
    m_icon = icon;
    if (m_window)
        m_window->setWindowIcon(icon);
}

void CDialog::OnClicked(int id, std::function<void()> handler)
{
    m_clicked.emplace_back(id, std::move(handler));
}

void CDialog::OnSelChange(int id, std::function<void()> handler)
{
    m_selChange.emplace_back(id, std::move(handler));
}

void CDialog::dispatchCommand(int id)
{
    for (const auto& [mappedId, handler] : m_clicked) {
        if (mappedId == id) {
            handler();
            return;
        }
    }
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

ModalDialogHandler SetModalDialogHandler(ModalDialogHandler handler)
{
    return std::exchange(modalHandler(), std::move(handler));
}

} // namespace platform
