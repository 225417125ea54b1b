#include "ui/FinderAccessAlert.h"

#include "engine/Installer.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

FinderAccessAlert::FinderAccessAlert(Installer &installer, std::function<void()> openSettings,
                                     QWidget *parent)
    : OverlayPanel(Theme::white(), QSize(500, 150), parent), m_installer(installer),
      m_settings(installer.settings()), m_timer(new QTimer(this))
{
    auto *text = new QLabel(
        tr("To make changes with Installer please allow Finder access from Settings"), this);
    setAnnouncement(tr("Finder access"), text->text());
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignHCenter);
    // One line in English; longer words elsewhere wrap rather than run off the panel.
    text->setWordWrap(true);
    text->setContentsMargins(Theme::defaultPadding, 0, Theme::defaultPadding, 0);

    QPushButton *close = addButton(tr("Close"));
    QPushButton *open = addButton(tr("Open settings"));
    const int symbol = Theme::naturalSymbolSize();
    open->setIcon(SymbolView::icon(Symbol::gear, symbol, Theme::textColor()));
    open->setIconSize(QSize(symbol, symbol));

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(Theme::defaultSpacing);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(open);
    buttons->addStretch(1);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(Theme::defaultSpacing);
    column->addStretch(1);
    column->addWidget(text);
    column->addLayout(buttons);
    column->addStretch(1);

    connect(close, &QPushButton::clicked, &m_settings,
            [this] { emit m_settings.terminateRequested(); });
    connect(open, &QPushButton::clicked, this, [openSettings = std::move(openSettings)] {
        if (openSettings)
            openSettings();
    });

    m_timer->setInterval(1000);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FinderAccessAlert::tick);
    m_timer->start();
}

void FinderAccessAlert::tick()
{
    if (m_settings.accessType() != FinderAccess::allowed) {
        m_installer.checkAccess();
        return;
    }
    m_timer->stop();
}
