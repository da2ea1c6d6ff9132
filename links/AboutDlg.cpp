#include "links/AboutDlg.h"

#include "res/Resources.h"
#include "res/SiteAddress.h"

namespace links {

static_assert(CAboutDlg::IDD == res::IDD_ABOUTBOX);

CAboutDlg::CAboutDlg()
    : platform::CDialog(res::AboutDialogTemplate())
    , m_wndLink(nullptr, false)
{
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(platform::CDataExchange* pDX)
{
    platform::DDX_Control(pDX, IDC_SITE_ADDRESS, m_wndLink);
}

bool CAboutDlg::OnInitDialog()
{
    platform::CDialog::OnInitDialog();
    m_wndLink.m_target = res::SiteAddress();
    return true;
}

} // namespace links
