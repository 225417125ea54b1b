#include "ui/InstallConfirmation.h"

#include "engine/Installer.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

InstallConfirmation::InstallConfirmation(Installer &installer, QWidget *parent)
    : OverlayPanel(Theme::white(), QSize(280, 110), parent)
{
    auto *text = new QLabel(tr("Click \"Install\" button to complete the installation."), this);
    setAnnouncement(tr("Confirm installation"), text->text());
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    text->setFont(Theme::systemFont(13, true));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addSpacing(5);
    layout->addWidget(text);

    QPushButton *cancel = addButton(tr("Cancel"));
    QPushButton *install = addButton(tr("Install"));
    install->setFont(Theme::systemFont(13, true));
    QPalette palette = install->palette();
    palette.setColor(QPalette::ButtonText, Theme::textColor());
    install->setPalette(palette);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(Theme::defaultPadding, Theme::defaultPadding, Theme::defaultPadding,
                                Theme::defaultPadding);
    buttons->setSpacing(Theme::defaultSpacing);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addSpacing(20);
    buttons->addWidget(install);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    AppSettings &settings = installer.settings();
    connect(cancel, &QPushButton::clicked, &settings,
            [&settings] { settings.setShowPermanentlyAlert(false); });
    // The flag goes down first, so the confirmation is gone whatever the outcome.
    connect(install, &QPushButton::clicked, &installer, [&installer] {
        installer.settings().setShowPermanentlyAlert(false);
        installer.installSelectedProducts();
    });
}
