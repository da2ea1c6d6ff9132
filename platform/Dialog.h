#pragma once

#include "platform/Controls.h"
#include "platform/DialogTemplate.h"
#include "platform/MessageBox.h" // IDOK, IDCANCEL

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QFont;

// Modal dialogs built from templates, with the framework's data exchange and window menu.
namespace platform {

class CDialog;

// System commands (WM_SYSCOMMAND); the low four bits are the system's own.
inline constexpr unsigned SC_CLOSE = 0xF060;

// Menu item flags for CMenu::AppendMenu.
inline constexpr unsigned MF_STRING = 0x0;
inline constexpr unsigned MF_SEPARATOR = 0x800;

// The dialog's window menu. It holds the system commands (Close) and what the dialog appends;
// Alt+Space or a right click on the dialog's background opens it, and a chosen item reaches
// CDialog::OnSysCommand with its id.
class CMenu {
public:
    struct Item {
        unsigned flags = MF_STRING;
        unsigned id = 0;
        QString text;
    };
    void AppendMenu(unsigned flags, unsigned id = 0, const QString& text = {});
    const std::vector<Item>& items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog)
        , m_bSaveAndValidate(saveAndValidate)
    {
    }
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls to members
};

// Binds `member` to the control `id` on the first exchange; later exchanges leave it alone.
void DDX_Control(CDataExchange* pDX, int id, CWnd& member);
// The radio group that begins at `firstId` and ends before the next control with WS_GROUP; only
// radio buttons count. Saving gives the index of the checked one (-1 for none); loading checks the
// button at `value` and clears the others (-1 clears them all).
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);

// Dialog units to pixels for a font, as the dialog manager computes them: base X is
// (width of "A".."Z" "a".."z" / 26 + 1) / 2, base Y the font's height.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
    QRect toPixels(const QRect& dialogUnits) const;
};
DialogBaseUnits BaseUnitsOf(const QFont& font);
// The template's font where it is installed, else AR PL UMing CN (same metrics), else any CJK face.
QFont DialogFontOf(const DialogFont& font);

class CDialog : public CWnd {
public:
    // `dialogTemplate` must outlive the dialog (templates are static data in res/).
    explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the window, runs OnInitDialog and the modal loop; returns what EndDialog was given.
    int DoModal();
    // Builds the window, runs OnInitDialog and shows it without a modal loop (tests drive the
    // dialog this way). Returns false if the window was already built.
    bool Create();
    // The result given to EndDialog, 0 while the dialog runs.
    int Result() const { return m_result; }
    bool IsEnded() const { return m_ended; }

    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    bool UpdateData(bool saveAndValidate = true);

    // The first control of the template with `id` (a shared id finds the first); null if none.
    CWnd* GetDlgItem(int id) const;
    QWidget* GetDlgItemWidget(int id) const;
    void EndDialog(int result);

    virtual void OnOK(); // exchange from the controls, then EndDialog(IDOK)
    virtual void OnCancel(); // EndDialog(IDCANCEL)
    // A chosen window-menu item. SC_CLOSE goes to OnCancel; the rest of the system's commands have
    // nothing to do here.
    virtual void OnSysCommand(unsigned id, long lParam);

    // The window menu, or null for a dialog without WS_SYSMENU.
    CMenu* GetSystemMenu(bool revert);
    // Opens the window menu at the cursor (`atCursor`) or under the caption; non-blocking.
    void OpenSystemMenu(bool atCursor);

    void SetIcon(const QIcon& icon, bool bigIcon);
    QDialog* GetDialogWidget() const;
    const DialogTemplate& GetTemplate() const { return m_template; }

    // The template's controls in order, with their widgets (empty until built).
    struct Item {
        const ControlTemplate* control;
        QWidget* widget;
        std::unique_ptr<CWnd> wnd;
    };
    const std::vector<Item>& Items() const { return m_items; }

protected:
    // The dialog's message map: `handler` runs when the button `id` is clicked (BN_CLICKED).
    // IDOK and IDCANCEL go to OnOK and OnCancel unless mapped.
    void OnClicked(int id, std::function<void()> handler);
    // `handler` runs when the user changes the selection of the list box `id` (LBN_SELCHANGE).
    void OnSelChange(int id, std::function<void()> handler);

private:
    class Window;
    void build();
    void dispatchCommand(int id);

    const DialogTemplate& m_template;
    QWidget* m_parent;
    std::unique_ptr<Window> m_window;
    std::vector<Item> m_items;
    std::vector<std::pair<int, std::function<void()>>> m_clicked;
    std::vector<std::pair<int, std::function<void()>>> m_selChange;
    std::unique_ptr<CMenu> m_systemMenu;
    QIcon m_icon;
    int m_result = 0;
    bool m_ended = false;
};

// Test seam for modal runs: when set, DoModal builds and initialises the dialog as usual and then
// hands it to `handler` instead of running a modal loop; DoModal returns what the handler returns.
// An empty handler restores the modal loop. Returns the handler installed before.
using ModalDialogHandler = std::function<int(CDialog&)>;
ModalDialogHandler SetModalDialogHandler(ModalDialogHandler handler);

} // namespace platform
