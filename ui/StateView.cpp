#include "ui/StateView.h"

#include "core/AppSettings.h"
#include "ui/IntroPage.h"
#include "ui/LicensePage.h"
#include "ui/ProductListPage.h"
#include "ui/SummaryPage.h"

#include <QVBoxLayout>

StateView::StateView(AppSettings &settings, LicenseText &license, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_license(license)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    refresh();
}

void StateView::refresh()
{
    if (!m_current || m_current->page() != m_settings.currentPage()) {
        PageView *next = makePage();
        if (m_current) {
            layout()->removeWidget(m_current);
            m_current->hide();
            // A redraw may run inside a click on the old page: delete it later.
            if (m_current != m_licensePage)
                m_current->deleteLater();
        }
        m_current = next;
        layout()->addWidget(m_current);
        m_current->show();
    }
    m_current->refresh(m_settings);
}

PageView *StateView::makePage()
{
    switch (m_settings.currentPage()) {
    case Page::intro:
        break;
    case Page::license:
        if (!m_licensePage)
            m_licensePage = new LicensePage(m_license, this);
        return m_licensePage;
    case Page::install:
        return new ProductListPage(this);
    case Page::summary:
        return new SummaryPage(m_settings, this);
    }
    return new IntroPage(this);
}
