#include "app/AboutDialog.h"

#include "app/resource.h"

BEGIN_MESSAGE_MAP(AboutDialog, CDialog)
END_MESSAGE_MAP()

AboutDialog::AboutDialog()
    : CDialog(IDD_ABOUTBOX)
{
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::DoDataExchange()
{
}
