#pragma once

#include "core/Page.h"
#include "ui/FocusRing.h"
#include "ui/Overlay.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class AlertView;
class AppSettings;

class InstallProgress;
class Installer;
class LicenseText;
class QLabel;
class QPushButton;
class QTimer;
class Sidebar;
class StateView;

// Everything inside the wizard's window: the sidebar, the content column with
// the page title, the page box and the button bar, and the alert layer over
// all of it. It keeps no state of its own: each announced change of the
// installer state schedules one redraw on the next turn of the event loop,
// however many changes come before it.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    ContentView(Installer &installer, QWidget *parent = nullptr);
    ~ContentView() override;

    AlertView *alertView() const { return m_alertView; }
    Sidebar *sidebar() const { return m_sidebar; }
    StateView *stateView() const { return m_stateView; }
    QLabel *pageTitle() const { return m_title; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *forwardButton() const { return m_forward; }
    InstallProgress *installProgress() const { return m_progress; }
    FocusRing *focusRing() const { return m_focusRing; }
    int redrawCount() const { return m_redrawCount; }

    // At least 648 by 405, grown with the text size and where longer words need it.
    QSize minimumSizeHint() const override;

    // Brings every part in line with the state now, if a redraw is due.
    void redrawIfDue();

    // Makes the licence text, which the first page does not need, if it has
    // not been made, and tells the installer whether it could be read. The
    // redraw of any later page does it at the latest.
    void prepareLicense();

signals:
    void redrawn();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRedraw();
    void redraw();
    void paintBeforeWait();
    void endWait();
    void focusAfterOverlay(Overlay closed, Page page);
    QWidget *makeContentColumn();

    Installer &m_installer;
    AppSettings &m_settings;
    LicenseText *m_license;
    Sidebar *m_sidebar = nullptr;
    QLabel *m_title = nullptr;
    StateView *m_stateView = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_forward = nullptr;
    InstallProgress *m_progress = nullptr;
    AlertView *m_alertView = nullptr;
    // Lives beside whatever has focus; it goes home before its parent goes.
    QPointer<FocusRing> m_focusRing;
    QTimer *m_redrawTimer;
    int m_redrawCount = 0;
    int m_waits = 0;
};
