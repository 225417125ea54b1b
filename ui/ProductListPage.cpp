#include "ui/ProductListPage.h"

#include "core/AppSettings.h"
#include "engine/ProductNames.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QListWidget>
#include <QVBoxLayout>

ProductListPage::ProductListPage(QWidget *parent)
    : PageView(Page::install, parent), m_list(new QListWidget(this))
{
    m_list->setObjectName(QStringLiteral("productList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSpacing(2);
    const int symbol = Theme::naturalSymbolSize();
    m_list->setIconSize(QSize(symbol, symbol));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
}

void ProductListPage::refresh(const AppSettings &settings)
{
    // Recomputed on every redraw: nothing is kept between them.
    const QStringList names = ProductNames::selectedSorted(settings.products());
    if (names == shownNames())
        return;
    m_list->clear();
    const int symbol = Theme::naturalSymbolSize();
    const QIcon marker = SymbolView::icon(Symbol::circleFill, symbol, Theme::gray());
    for (const QString &name : names) {
        auto *item = new QListWidgetItem(marker, name, m_list);
        item->setFont(Theme::productFont());
        item->setFlags(Qt::ItemIsEnabled);
    }
}

QStringList ProductListPage::shownNames() const
{
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names.append(m_list->item(i)->text());
    return names;
}
