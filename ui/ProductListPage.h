#pragma once

#include "ui/PageView.h"

#include <QStringList>

class QListWidget;

// The Products page: a plain list of what will be installed, by name, sorted.
// Rows offer no selection and no action; the list takes focus so the keys
// scroll it. A name wider than the list ends in "…" and shows whole in its
// tooltip and to assistive tools.
class ProductListPage : public PageView
{
    Q_OBJECT

public:
    explicit ProductListPage(QWidget *parent = nullptr);

    void refresh(const AppSettings &settings) override;
    // The names listed, whole.
    QStringList shownNames() const;
    QListWidget *list() const { return m_list; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void elide();

    QListWidget *m_list;
};
