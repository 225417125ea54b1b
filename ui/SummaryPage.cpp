#include "ui/SummaryPage.h"

#include "core/AppSettings.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A button drawn as link text, without a bezel.
QPushButton *makeLink(const QString &text, QWidget *parent)
{
    auto *link = new QPushButton(text, parent);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setFocusPolicy(Qt::TabFocus);
    link->setAutoDefault(false);
    link->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; "
                                       "padding: 0px; color: %1; }")
                            .arg(Theme::linkColor().name()));
    return link;
}

} // namespace

SummaryPage::SummaryPage(AppSettings &settings, QWidget *parent)
    : PageView(Page::summary, parent),
      m_icon(new SymbolView(Symbol::checkmarkCircle, 60, Theme::green(), this)),
      m_message(new QLabel(this)), m_detailsRow(new QWidget(this)),
      m_details(makeLink(tr("Details"), m_detailsRow))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::white());
    setPalette(palette);

    m_message->setObjectName(QStringLiteral("summaryMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAlignment(Qt::AlignHCenter);
    m_message->setWordWrap(true);
    m_message->setFont(Theme::title3Font());
    m_message->setContentsMargins(Theme::defaultPadding, Theme::defaultPadding,
                                  Theme::defaultPadding, 0);

    auto *detailsLayout = new QHBoxLayout(m_detailsRow);
    detailsLayout->setContentsMargins(Theme::defaultPadding, Theme::defaultPadding,
                                      Theme::defaultPadding, Theme::defaultPadding);
    detailsLayout->addStretch(1);
    detailsLayout->addWidget(m_details);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::defaultSpacing);
    layout->addStretch(1);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    layout->addWidget(m_message);
    layout->addStretch(1);
    layout->addWidget(m_detailsRow);

    connect(m_details, &QPushButton::clicked, &settings,
            [&settings] { settings.setShowLogDetailsWindow(!settings.showLogDetailsWindow()); });
    refresh(settings);
}

void SummaryPage::refresh(const AppSettings &settings)
{
    const bool failed = settings.completedWithErrors();
    m_icon->setSymbol(failed ? Symbol::exclamationmarkCircle : Symbol::checkmarkCircle);
    m_icon->setColor(failed ? Theme::red() : Theme::green());
    m_message->setText(failed ? tr("The installation was not completed successfully.")
                              : tr("You have been successfully installed selected products."));
    m_icon->setAccessibleName(failed ? tr("Failed") : tr("Succeeded"));
    m_detailsRow->setVisible(failed);
}
