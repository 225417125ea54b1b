#include "ui/PageRow.h"

#include "ui/PageTexts.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>

PageRow::PageRow(Page page, QWidget *parent)
    : QWidget(parent), m_page(page),
      m_marker(new SymbolView(Symbol::circleFill, 8, Theme::gray(), this)),
      m_title(new QLabel(PageTexts::sidebarTitle(page), this))
{
    // At least the row's 20, more when the desktop asks for larger text.
    setFixedHeight(std::max(20, m_title->fontMetrics().height() + 4));
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, Theme::textColor());
    m_title->setPalette(palette);
    m_title->setFont(Theme::defaultFont());

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(Theme::defaultPadding, 0, Theme::defaultPadding, 0);
    layout->setSpacing(Theme::defaultSpacing);
    layout->addWidget(m_marker);
    layout->addWidget(m_title);
    layout->addStretch(1);
}

void PageRow::setCurrent(bool current)
{
    if (current == m_current)
        return;
    m_current = current;
    m_marker->setColor(current ? Theme::blue() : Theme::gray());
    QFont font = m_title->font();
    font.setBold(current);
    m_title->setFont(font);
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

QColor PageRow::markerColor() const
{
    return m_marker->color();
}

QString PageRow::title() const
{
    return m_title->text();
}

QString PageRow::stepDescription() const
{
    const int step = PageInfo::rawValue(m_page) + 1;
    const int steps = int(PageInfo::allCases.size());
    return m_current ? tr("Step %1 of %2, current").arg(step).arg(steps)
                     : tr("Step %1 of %2").arg(step).arg(steps);
}
