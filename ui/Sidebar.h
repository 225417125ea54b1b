#pragma once

#include "core/Page.h"

#include <QList>
#include <QWidget>

class PageRow;

// The window's left column: the logo and the list of the four pages.
class Sidebar : public QWidget
{
    Q_OBJECT

public:
    Sidebar(const QString &logoFile, QWidget *parent = nullptr);

    void showCurrentPage(Page page);
    const QList<PageRow *> &rows() const { return m_rows; }
    // The rows' container, which assistive tools see as the list of steps.
    QWidget *pageList() const { return m_list; }
    // As wide as it may be; a narrow window takes it down to its minimum.
    QSize sizeHint() const override;

private:
    QList<PageRow *> m_rows;
    QWidget *m_list;
};
