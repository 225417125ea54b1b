#pragma once

#include "ui/Overlay.h"

#include <QWidget>

#include <functional>

class AppSettings;
class Installer;
class OverlayPanel;

// The modal layer over the whole window. It shows at most one overlay, the
// one the state calls for: a grey backdrop that takes every click and key
// meant for the page below, and the overlay's panel centred on it.
class AlertView : public QWidget
{
    Q_OBJECT

public:
    AlertView(Installer &installer, QWidget *parent = nullptr);

    // What "Open settings" does; by default it starts the desktop's settings.
    void setSettingsOpener(std::function<void()> opener) { m_openSettings = std::move(opener); }

    void refresh();
    Overlay overlay() const { return m_overlay; }
    OverlayPanel *panel() const { return m_panel; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    OverlayPanel *makePanel(Overlay overlay);
    void placePanel();

    Installer &m_installer;
    AppSettings &m_settings;
    std::function<void()> m_openSettings;
    Overlay m_overlay = Overlay::none;
    OverlayPanel *m_panel = nullptr;
};
