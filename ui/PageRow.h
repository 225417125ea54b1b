#pragma once

#include "core/Page.h"

#include <QWidget>

class QLabel;
class SymbolView;

// One row of the sidebar's page list: a marker, blue for the current page,
// and the page's sidebar title.
class PageRow : public QWidget
{
    Q_OBJECT

public:
    explicit PageRow(Page page, QWidget *parent = nullptr);

    Page page() const { return m_page; }
    void setCurrent(bool current);
    QColor markerColor() const;
    QString title() const;

private:
    Page m_page;
    SymbolView *m_marker;
    QLabel *m_title;
};
