#pragma once

#include "core/Page.h"

#include <QWidget>

class QLabel;
class SymbolView;

// One row of the sidebar's page list: a marker, blue for the current page,
// and the page's sidebar title, bold for the current page so the step does
// not hang on colour alone. Assistive tools see a list item, selected when
// current, described by its place among the steps.
class PageRow : public QWidget
{
    Q_OBJECT

public:
    explicit PageRow(Page page, QWidget *parent = nullptr);

    Page page() const { return m_page; }
    void setCurrent(bool current);
    bool isCurrent() const { return m_current; }
    QColor markerColor() const;
    QString title() const;
    QLabel *titleLabel() const { return m_title; }
    // "Step 2 of 4", with ", current" on the current page's row.
    QString stepDescription() const;

private:
    Page m_page;
    bool m_current = false;
    SymbolView *m_marker;
    QLabel *m_title;
};
