#include "app/QuorvanticInstallerApp.h"

#include <cstdio>

#include "app/AppDelegate.h"
#include "app/Appearance.h"
#include "app/DefaultMenuBar.h"
#include "app/FirstFrame.h"
#include "app/MainWindow.h"
#include "app/WindowIcon.h"
#include "ui/ContentView.h"
#include "ui/UninstallDialog.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

QuorvanticInstallerApp::QuorvanticInstallerApp(const QString &resourcesFolder)
{
    m_installer.setResourcesFolder(resourcesFolder);
    QApplication::setApplicationName(QStringLiteral("quorvantic-installer"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvantic Plugin Installer"));
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance()))
        Appearance::applyLight(*application);

    m_installer.fillProducts();

    QApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&m_settings, &AppSettings::terminateRequested, &m_settings,
                     [] { QCoreApplication::exit(0); });
}

QuorvanticInstallerApp::~QuorvanticInstallerApp() = default;

void QuorvanticInstallerApp::launch()
{
    // As root, a run that was killed is undone before the window shows what is installed.
    QString problem;
    const QString notice = m_installer.receipts().recoverSystemPart(problem);
    for (const QString &line : {notice, problem}) {
        if (!line.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    m_window = std::make_unique<MainWindow>(m_installer);
    WindowIcon::nameDesktopFile();
    DefaultMenuBar::install(*m_window);
    addUninstallItem();
    m_window->resize(m_window->minimumSizeHint().expandedTo(QSize(648, 405)));
    // What the first page does not show waits for its frame: the icon (a
    // decode and six scalings of the logo) and the licence.
    FirstFrame::after(*m_window, [this] {
        WindowIcon::apply(m_installer.resourcesFolder() + QStringLiteral("/Logo.png"));
        m_window->contentView()->prepareLicense();
    });
    m_window->show();
    AppDelegate::applicationDidFinishLaunching(m_window->menuBar());
}

// In the application menu, after About: what the install put on this computer
// can be taken away from the same window. Off while a script runs.
void QuorvanticInstallerApp::addUninstallItem()
{
    const QList<QAction *> menus = m_window->menuBar()->actions();
    QMenu *application = menus.isEmpty() ? nullptr : menus.constFirst()->menu();
    if (!application)
        return;
    auto *uninstall = new QAction(
        QCoreApplication::translate("QuorvanticInstallerApp", "&Uninstall Quorvantic Plug-ins…"),
        application);
    application->insertAction(application->actions().value(1), uninstall);
    QObject::connect(uninstall, &QAction::triggered, m_window.get(),
                     [this] { UninstallDialog::run(m_installer, m_window.get()); });
    QObject::connect(&m_installer, &Installer::scriptWaitStarted, uninstall,
                     [uninstall] { uninstall->setEnabled(false); });
    QObject::connect(&m_installer, &Installer::scriptWaitFinished, uninstall,
                     [uninstall] { uninstall->setEnabled(true); });
}
