#pragma once

#include <QWidget>

class AppSettings;
class LicenseText;
class PageView;

// The current page's content. A page's view is made when the page is entered
// and refreshed from the state while it stays; leaving drops it, but for the
// License page, which is laid out once per run (a long licence takes a
// noticeable time to lay out) and kept hidden while another page shows.
class StateView : public QWidget
{
    Q_OBJECT

public:
    StateView(AppSettings &settings, LicenseText &license, QWidget *parent = nullptr);

    void refresh();
    PageView *current() const { return m_current; }

private:
    PageView *makePage();

    AppSettings &m_settings;
    LicenseText &m_license;
    PageView *m_current = nullptr;
    PageView *m_licensePage = nullptr;
};
