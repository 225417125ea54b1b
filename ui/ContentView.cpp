#include "ui/ContentView.h"

#include "engine/Installer.h"
#include "ui/Accessibility.h"
#include "ui/AlertView.h"
#include "ui/FocusRing.h"
#include "ui/InstallProgress.h"
#include "ui/LicensePage.h"
#include "ui/LicenseText.h"
#include "ui/PageBox.h"
#include "ui/PageTexts.h"
#include "ui/Sidebar.h"
#include "ui/StateView.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton *makeButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    // No default role and no shortcut: only a click acts.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

ContentView::ContentView(Installer &installer, QWidget *parent)
    : QWidget(parent), m_installer(installer), m_settings(installer.settings()),
      m_license(new LicenseText(installer.resourcesFolder(), this)), m_redrawTimer(new QTimer(this))
{
    Accessibility::install();
    setFont(Theme::defaultFont());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::backgroundColor());
    palette.setColor(QPalette::WindowText, Theme::textColor());
    setPalette(palette);

    m_sidebar = new Sidebar(m_installer.resourcesFolder() + QStringLiteral("/Logo.png"), this);
    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    main->addWidget(m_sidebar);
    main->addWidget(makeContentColumn(), 1);

    m_alertView = new AlertView(m_installer, this);
    m_focusRing = new FocusRing(this);

    m_redrawTimer->setSingleShot(true);
    m_redrawTimer->setInterval(0);
    connect(m_redrawTimer, &QTimer::timeout, this, &ContentView::redraw);
    connect(&m_settings, &AppSettings::objectWillChange, this, &ContentView::scheduleRedraw);
    connect(m_license, &LicenseText::objectWillChange, this, &ContentView::scheduleRedraw);
    connect(&m_installer, &Installer::scriptWaitStarted, this, &ContentView::paintBeforeWait);
    connect(&m_installer, &Installer::scriptWaitFinished, this, &ContentView::endWait);
    connect(&m_installer, &Installer::progressChanged, m_progress,
            [this](int step, int total, const QString &product) {
                if (m_installer.isUninstalling())
                    m_progress->showUninstall(step, total);
                else
                    m_progress->show(step, total, product);
            });
    connect(m_progress, &InstallProgress::cancelRequested, &m_installer, &Installer::requestStop);
    // During a run only Cancel takes input; every other click is dropped.
    m_installer.setInputAllowedDuringRun(
        [cancel = m_progress->cancelButton()](QObject *receiver) { return receiver == cancel; });
    connect(m_back, &QPushButton::clicked, &m_settings, [this] { m_settings.goBack(); });
    connect(m_forward, &QPushButton::clicked, &m_settings, [this] { m_settings.nextAction(); });
    redraw();
}

ContentView::~ContentView()
{
    while (m_waits > 0)
        endWait();
}

QWidget *ContentView::makeContentColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::defaultSpacing);
    layout->addSpacing(20);

    m_title = new QLabel(column);
    m_title->setObjectName(QStringLiteral("pageTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_title->setWordWrap(true);
    m_title->setContentsMargins(0, 0, 0, Theme::defaultPadding);
    // An empty title keeps its line, so the box does not move up on the last page.
    m_title->setMinimumHeight(m_title->fontMetrics().height() + Theme::defaultPadding);
    layout->addWidget(m_title);

    m_stateView = new StateView(m_settings, *m_license, column);
    auto *pageRow = new QHBoxLayout;
    pageRow->setSpacing(0);
    pageRow->addWidget(new PageBox(m_stateView, column), 1);
    pageRow->addSpacing(20);
    layout->addLayout(pageRow, 1);
    layout->addSpacing(Theme::spacerMinimum);
    m_progress = new InstallProgress(column);
    m_progress->setVisible(false);
    layout->addWidget(m_progress);

    m_back = makeButton(PageTexts::backLabel(), column);
    m_forward = makeButton(PageTexts::forwardLabel(m_settings.currentPage()), column);
    auto *bar = new QHBoxLayout;
    bar->setSpacing(Theme::defaultSpacing);
    bar->setContentsMargins(0, Theme::defaultPadding, 0, Theme::defaultPadding);
    bar->addStretch(1);
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addSpacing(20);
    layout->addLayout(bar);
    return column;
}

QSize ContentView::minimumSizeHint() const
{
    // Larger text grows the window with it, so the overlays' panels keep their room.
    return QWidget::minimumSizeHint().expandedTo(QSize(Theme::scaled(648), Theme::scaled(405)));
}

void ContentView::scheduleRedraw()
{
    if (!m_redrawTimer->isActive())
        m_redrawTimer->start();
}

void ContentView::redrawIfDue()
{
    if (m_redrawTimer->isActive())
        redraw();
}

void ContentView::prepareLicense()
{
    m_installer.setLicenseReadable(m_license->isReadable());
}

void ContentView::redraw()
{
    const Page page = m_settings.currentPage();
    // Every page after the first shows the licence or needs it agreed to.
    // Made before the timer stops, so its announcement schedules no second redraw.
    if (page != Page::intro)
        prepareLicense();
    m_redrawTimer->stop();
    m_sidebar->showCurrentPage(page);
    m_title->setText(PageTexts::contentTitle(page));
    m_stateView->refresh();
    m_back->setEnabled(PageTexts::backEnabled(page) && !m_installer.isRunning());
    m_forward->setEnabled(!m_installer.isRunning());
    m_forward->setText(PageTexts::forwardLabel(page));
    const Overlay before = m_alertView->overlay();
    m_alertView->refresh();
    if (before != Overlay::none && m_alertView->overlay() == Overlay::none)
        focusAfterOverlay(before, page);
    // Setting the name announces it: a new page is heard as the window's new name.
    window()->setAccessibleName(PageTexts::windowName(page));
    ++m_redrawCount;
    emit redrawn();
}

void ContentView::focusAfterOverlay(Overlay closed, Page page)
{
    // "Read License" leaves the user on the text to read; every other way out
    // of an overlay leads on, never back a page by the next Space.
    if (closed == Overlay::agreementAlert && page == Page::license) {
        if (auto *license = qobject_cast<LicensePage *>(m_stateView->current())) {
            license->textView()->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (m_forward->isEnabled())
        m_forward->setFocus(Qt::OtherFocusReason);
}

void ContentView::paintBeforeWait()
{
    // The main thread is about to block on a script: show the state as it is
    // now (the confirmation already lowered), once, and a busy cursor.
    redrawIfDue();
    m_progress->begin();
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    if (QWidget *top = window(); top->isVisible())
        top->repaint();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ++m_waits;
}

void ContentView::endWait()
{
    if (m_waits == 0)
        return;
    --m_waits;
    QApplication::restoreOverrideCursor();
    m_progress->setVisible(false);
    scheduleRedraw();
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_alertView->setGeometry(rect());
}
