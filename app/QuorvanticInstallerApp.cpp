#include "app/QuorvanticInstallerApp.h"

#include "app/AppDelegate.h"
#include "app/Appearance.h"
#include "app/DefaultMenuBar.h"
#include "app/MainWindow.h"
#include "app/WindowIcon.h"

#include <QApplication>
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
    m_window = std::make_unique<MainWindow>(m_installer);
    WindowIcon::apply(m_installer.resourcesFolder() + QStringLiteral("/Logo.png"));
    DefaultMenuBar::install(*m_window);
    m_window->resize(m_window->minimumSizeHint().expandedTo(QSize(648, 405)));
    m_window->show();
    AppDelegate::applicationDidFinishLaunching(m_window->menuBar());
}
