#include "ui/AgreementAlert.h"

#include "core/AppSettings.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeText(const QString &text, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(Theme::systemFont(13, bold));
    label->setContentsMargins(Theme::defaultPadding, 0, Theme::defaultPadding, 0);
    return label;
}

} // namespace

AgreementAlert::AgreementAlert(AppSettings &settings, QWidget *parent)
    : OverlayPanel(Theme::white(), QSize(500, 180), parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addSpacing(5);
    const QString mustAgree = tr("To continue using the software you must agree to "
                                 "the terms of the software license agreement.");
    const QString howTo =
        tr("Click Agree to continue or click Disagree to cancel and quit the Installer.");
    layout->addWidget(makeText(mustAgree, true, this));
    layout->addStretch(1);
    layout->addWidget(makeText(howTo, false, this));
    setAnnouncement(tr("License agreement"), mustAgree + QLatin1Char(' ') + howTo);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(Theme::defaultPadding, Theme::defaultPadding, Theme::defaultPadding,
                                Theme::defaultPadding);
    buttons->setSpacing(Theme::defaultSpacing);
    QPushButton *readLicense = addButton(tr("Read License"));
    QPushButton *disagree = addButton(tr("Disagree"));
    QPushButton *agree = addButton(tr("Agree"));
    buttons->addWidget(readLicense);
    buttons->addStretch(1);
    buttons->addWidget(disagree);
    buttons->addWidget(agree);
    layout->addLayout(buttons);

    connect(readLicense, &QPushButton::clicked, &settings,
            [&settings] { settings.setShowLicenseAlert(false); });
    connect(disagree, &QPushButton::clicked, &settings,
            [&settings] { emit settings.terminateRequested(); });
    connect(agree, &QPushButton::clicked, &settings, [&settings] { settings.agreeWithLicense(); });
}
