#include "ui/LicensePage.h"

#include "ui/LicenseText.h"

#include <QVBoxLayout>

LicensePage::LicensePage(LicenseText &text, QWidget *parent)
    : PageView(Page::license, parent), m_view(text.createView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}
