#pragma once

#include "ui/OverlayPanel.h"

#include <functional>

class AppSettings;
class Installer;
class QTimer;

// Tells the user the installer may not automate the file manager and probes
// again every second while it shows; the timer goes with the panel.
class FinderAccessAlert : public OverlayPanel
{
    Q_OBJECT

public:
    FinderAccessAlert(Installer &installer, std::function<void()> openSettings,
                      QWidget *parent = nullptr);

    QTimer *recheckTimer() const { return m_timer; }

private:
    void tick();

    Installer &m_installer;
    AppSettings &m_settings;
    QTimer *m_timer;
};
