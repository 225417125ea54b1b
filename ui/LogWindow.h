#pragma once

#include "ui/OverlayPanel.h"

class AppSettings;
class QLabel;
class QScrollArea;

// The install log: a fixed scroll area that scrolls both ways and never
// wraps, and the one way to take the text out, "Copy to Clipboard".
class LogWindow : public OverlayPanel
{
    Q_OBJECT

public:
    // `logFile` is the run's log on disk, shown beneath the text; empty: none.
    LogWindow(AppSettings &settings, const QString &logFile = QString(), QWidget *parent = nullptr);

    // Shows the log text as it is now; it is a plain field, read at redraws.
    void refresh();

    QScrollArea *logArea() const { return m_area; }
    QLabel *logText() const { return m_text; }

private:
    AppSettings &m_settings;
    QScrollArea *m_area;
    QLabel *m_text;
};
