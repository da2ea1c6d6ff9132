#pragma once

#include "links/StaticLink.h"
#include "platform/Dialog.h"

namespace links {

// The About box (template 100): icon, product line, copyright and the site address as a live link.
// Only shown: build one, DoModal, let it go.
class CAboutDlg : public platform::CDialog {
public:
    static constexpr int IDD = 100;
    static constexpr int IDC_SITE_ADDRESS = 1008;

    CAboutDlg();
    ~CAboutDlg() override;

    CStaticLink m_wndLink;

protected:
    void DoDataExchange(platform::CDataExchange* pDX) override;
    bool OnInitDialog() override;
};

} // namespace links
