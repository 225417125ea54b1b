#include "ui/Sidebar.h"

#include "ui/PageRow.h"
#include "ui/Theme.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

// Read as the PNG the bundle ships, which spares loading every image format
// plug-in to ask it about the file; a file of another kind is still recognised.
QPixmap readLogo(const QString &file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return QPixmap();
    QImageReader png(&input, "png");
    png.setAutoDetectImageFormat(false);
    QImage image = png.read();
    return image.isNull() ? QPixmap(file) : QPixmap::fromImage(std::move(image));
}

// The logo is stretched to its frame, its aspect ratio not kept.
QLabel *makeLogo(const QString &file, QWidget *parent)
{
    auto *logo = new QLabel(parent);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setFixedWidth(180);
    logo->setMinimumHeight(38);
    logo->setMaximumHeight(40);
    logo->setScaledContents(true);
    logo->setAccessibleName(Sidebar::tr("Quorvantic logo"));
    const QPixmap pixmap = readLogo(file);
    if (!pixmap.isNull())
        logo->setPixmap(pixmap);
    return logo;
}

} // namespace

Sidebar::Sidebar(const QString &logoFile, QWidget *parent)
    : QWidget(parent), m_list(new QWidget(this))
{
    // Wider only when the desktop asks for larger text; the logo stays 180.
    setMinimumWidth(Theme::scaled(180));
    setMaximumWidth(Theme::scaled(195));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    // Free height goes to the bottom spacer, so the logo and the page list
    // keep to the top with the spacers' minimum gaps between them.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(Theme::spacerMinimum);
    layout->addWidget(makeLogo(logoFile, this), 0, Qt::AlignHCenter);
    layout->addSpacing(Theme::spacerMinimum * 2);
    m_list->setObjectName(QStringLiteral("pageList"));
    m_list->setAccessibleName(tr("Steps"));
    auto *rows = new QVBoxLayout(m_list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    for (Page page : PageInfo::allCases) {
        auto *row = new PageRow(page, m_list);
        m_rows.append(row);
        rows->addWidget(row);
    }
    layout->addWidget(m_list);
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
