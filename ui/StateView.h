#pragma once

#include <QWidget>

class AppSettings;
class LicenseText;
class PageView;

// The current page's content. A page's view is made when the page is entered
// and refreshed from the state while it stays; leaving drops it.
class StateView : public QWidget
{
    Q_OBJECT

public:
    StateView(AppSettings &settings, const LicenseText &license, QWidget *parent = nullptr);

    void refresh();
    PageView *current() const { return m_current; }

private:
    PageView *makePage();

    AppSettings &m_settings;
    const LicenseText &m_license;
    PageView *m_current = nullptr;
};
