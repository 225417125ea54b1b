#include "ui/PageRow.h"

#include "ui/PageTexts.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

PageRow::PageRow(Page page, QWidget *parent)
    : QWidget(parent), m_page(page),
      m_marker(new SymbolView(Symbol::circleFill, 8, Theme::gray(), this)),
      m_title(new QLabel(PageTexts::sidebarTitle(page), this))
{
    setFixedHeight(20);
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, Theme::textColor());
    m_title->setPalette(palette);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(Theme::defaultPadding, 0, Theme::defaultPadding, 0);
    layout->setSpacing(Theme::defaultSpacing);
    layout->addWidget(m_marker);
    layout->addWidget(m_title);
    layout->addStretch(1);
}

void PageRow::setCurrent(bool current)
{
    m_marker->setColor(current ? Theme::blue() : Theme::gray());
}

QColor PageRow::markerColor() const
{
    return m_marker->color();
}

QString PageRow::title() const
{
    return m_title->text();
}
