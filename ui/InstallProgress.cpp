#include "ui/InstallProgress.h"

#include "engine/Installer.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

InstallProgress::InstallProgress(QWidget *parent)
    : QWidget(parent), m_bar(new QProgressBar(this)), m_line(new QLabel(this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    m_bar->setTextVisible(false);
    m_line->setTextFormat(Qt::PlainText);
    m_cancel->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->setSpacing(Theme::defaultSpacing);
    row->addWidget(m_bar, 1);
    row->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 20, 0);
    layout->setSpacing(Theme::defaultSpacing / 2);
    layout->addLayout(row);
    layout->addWidget(m_line);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_line->setText(m_line->text() + QStringLiteral(" \u2013 stopping after this step"));
        emit cancelRequested();
    });
}

QString InstallProgress::line() const
{
    return m_line->text();
}

void InstallProgress::begin()
{
    m_cancel->setEnabled(true);
    m_bar->setRange(0, 0);
    m_line->setText(QStringLiteral("Installing"));
}

void InstallProgress::show(int step, int total, const QString &product)
{
    m_bar->setRange(0, total);
    m_bar->setValue(step);
    m_line->setText(Installer::progressLine(step, total, product));
    setVisible(true);
}
