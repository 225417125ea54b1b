#pragma once

#include "core/Page.h"

#include <QWidget>

class AppSettings;

// The content of one page inside the page box. A page view is passive: it
// shows what the state says and writes nothing but through its buttons.
class PageView : public QWidget
{
    Q_OBJECT

public:
    PageView(Page page, QWidget *parent = nullptr);

    Page page() const { return m_page; }
    // Brings what the view shows in line with the state.
    virtual void refresh(const AppSettings &settings);

private:
    Page m_page;
};
