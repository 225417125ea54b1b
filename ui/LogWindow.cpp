#include "ui/LogWindow.h"

#include "core/AppSettings.h"
#include "ui/Theme.h"

#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

LogWindow::LogWindow(AppSettings &settings, const QString &logFile, QWidget *parent)
    : OverlayPanel(Theme::backgroundColor(), QSize(500, 400), parent), m_settings(settings),
      m_area(new QScrollArea(this)), m_text(new QLabel)
{
    m_text->setObjectName(QStringLiteral("logText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(false);
    m_text->setTextInteractionFlags(Qt::NoTextInteraction);
    m_text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_text->setMargin(Theme::defaultPadding);
    m_text->setAutoFillBackground(true);
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Window, Theme::white());
    m_text->setPalette(palette);

    // Resizable: the text's box is at least the visible area and grows past it.
    m_area->setWidget(m_text);
    m_area->setWidgetResizable(true);
    m_area->setFixedSize(Theme::scaled(500), Theme::scaled(300));
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The arrow keys and Page Up/Down scroll the log once it has focus.
    m_area->setFocusPolicy(Qt::StrongFocus);
    m_area->setAccessibleName(tr("Log text"));

    QPushButton *copy = addButton(tr("Copy to Clipboard"));
    QPushButton *close = addButton(tr("Close"));
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(Theme::defaultPadding, Theme::defaultPadding, Theme::defaultPadding,
                                Theme::defaultPadding);
    buttons->setSpacing(Theme::defaultSpacing);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addSpacing(5);
    layout->addWidget(m_area);
    if (!logFile.isEmpty()) {
        auto *file = new QLabel(tr("Full log: %1").arg(logFile), this);
        file->setObjectName(QStringLiteral("logFile"));
        file->setTextFormat(Qt::PlainText);
        file->setTextInteractionFlags(Qt::TextSelectableByMouse);
        file->setContentsMargins(Theme::defaultPadding, 0, Theme::defaultPadding, 0);
        file->setMaximumWidth(Theme::scaled(500));
        file->setWordWrap(true);
        layout->addWidget(file);
    }
    layout->addStretch(1);
    layout->addLayout(buttons);
    setAnnouncement(tr("Installation log"),
                    logFile.isEmpty() ? QString() : tr("Full log: %1").arg(logFile));

    connect(copy, &QPushButton::clicked, this, [this] {
        QClipboard *clipboard = m_settings.pasteboard();
        if (!clipboard)
            return;
        clipboard->clear();
        clipboard->setText(m_settings.logDetailsStr());
    });
    connect(close, &QPushButton::clicked, &settings,
            [&settings] { settings.setShowLogDetailsWindow(!settings.showLogDetailsWindow()); });
    refresh();
}

void LogWindow::refresh()
{
    m_text->setText(m_settings.logDetailsStr());
}
