#include "ui/InstallProgress.h"

#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

InstallProgress::InstallProgress(QWidget *parent)
    : QWidget(parent), m_bar(new QProgressBar(this)), m_line(new QLabel(this)),
      m_cancel(new QPushButton(tr("Cancel"), this))
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
        m_line->setText(tr("%1 – stopping after this step").arg(m_line->text()));
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
    m_line->setText(tr("Installing"));
}

void InstallProgress::show(int step, int total, const QString &product)
{
    m_bar->setRange(0, total);
    m_bar->setValue(step);
    // The window's own words, translated; the command line prints the engine's.
    m_line->setText(product.isEmpty()
                        ? tr("Installing (step %1 of %2)").arg(step).arg(total)
                        : tr("Installing %1 (step %2 of %3)").arg(product).arg(step).arg(total));
    m_bar->setAccessibleName(m_line->text());
    setVisible(true);
}

void InstallProgress::showUninstall(int step, int total)
{
    show(step, total, QString());
    m_line->setText(tr("Uninstalling (step %1 of %2)").arg(step).arg(total));
    m_bar->setAccessibleName(m_line->text());
}
