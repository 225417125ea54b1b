#include "ui/ProductListPage.h"

#include "core/AppSettings.h"
#include "engine/ProductNames.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr int fullNameRole = Qt::UserRole;

} // namespace

ProductListPage::ProductListPage(QWidget *parent)
    : PageView(Page::install, parent), m_list(new QListWidget(this))
{
    m_list->setObjectName(QStringLiteral("productList"));
    m_list->setAccessibleName(tr("Products to install"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    // Focus, so the arrow keys and Page Up/Down scroll it; still nothing to select.
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setSpacing(2);
    const int symbol = Theme::naturalSymbolSize();
    m_list->setIconSize(QSize(symbol, symbol));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->viewport()->installEventFilter(this);
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
        item->setData(fullNameRole, name);
        item->setData(Qt::AccessibleTextRole, name);
        item->setFont(Theme::productFont());
        item->setFlags(Qt::ItemIsEnabled);
    }
    elide();
}

QStringList ProductListPage::shownNames() const
{
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names.append(m_list->item(i)->data(fullNameRole).toString());
    return names;
}

bool ProductListPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        elide();
    return PageView::eventFilter(watched, event);
}

// Elided here rather than when painted, so the row's own text, its tooltip
// and what a screen reader hears are decided in one place.
void ProductListPage::elide()
{
    const int room = m_list->viewport()->width() - m_list->iconSize().width() -
                     4 * m_list->spacing() - 3 * Theme::defaultSpacing;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const QString name = item->data(fullNameRole).toString();
        const QString shown =
            QFontMetrics(item->font()).elidedText(name, Qt::ElideRight, std::max(room, 0));
        item->setText(shown);
        item->setToolTip(shown == name ? QString() : name);
    }
}
