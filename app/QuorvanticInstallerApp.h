#pragma once

#include "core/AppSettings.h"
#include "engine/Installer.h"

#include <memory>

class MainWindow;

// The application: its one state object, filled with the products before the
// window shows, and the window with its menu bar. Needs a QApplication.
class QuorvanticInstallerApp
{
public:
    // `resourcesFolder` empty means the bundle's own, found from the executable.
    explicit QuorvanticInstallerApp(const QString &resourcesFolder = QString());
    ~QuorvanticInstallerApp();

    AppSettings &settings() { return m_settings; }
    Installer &installer() { return m_installer; }
    MainWindow *window() const { return m_window.get(); }

    // Makes and shows the window, then finishes launching (menu bar pruning).
    void launch();

private:
    void addUninstallItem();

    AppSettings m_settings;
    Installer m_installer{m_settings};
    std::unique_ptr<MainWindow> m_window;
};
