#include "ui/Sidebar.h"

#include "ui/PageRow.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

// The logo is stretched to its frame, its aspect ratio not kept.
QLabel *makeLogo(const QString &file, QWidget *parent)
{
    auto *logo = new QLabel(parent);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setFixedWidth(180);
    logo->setMinimumHeight(38);
    logo->setMaximumHeight(40);
    logo->setScaledContents(true);
    QPixmap pixmap(file);
    if (!pixmap.isNull())
        logo->setPixmap(pixmap);
    return logo;
}

} // namespace

Sidebar::Sidebar(const QString &logoFile, QWidget *parent) : QWidget(parent)
{
    setMinimumWidth(180);
    setMaximumWidth(195);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    // Free height goes to the bottom spacer, so the logo and the page list
    // keep to the top with the spacers' minimum gaps between them.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(Theme::spacerMinimum);
    layout->addWidget(makeLogo(logoFile, this), 0, Qt::AlignHCenter);
    layout->addSpacing(Theme::spacerMinimum * 2);
    for (Page page : PageInfo::allCases) {
        auto *row = new PageRow(page, this);
        m_rows.append(row);
        layout->addWidget(row);
    }
    layout->addStretch(1);
}

QSize Sidebar::sizeHint() const
{
    return QSize(maximumWidth(), QWidget::sizeHint().height());
}

void Sidebar::showCurrentPage(Page page)
{
    for (PageRow *row : m_rows)
        row->setCurrent(row->page() == page);
}
