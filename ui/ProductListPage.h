#pragma once

#include "ui/PageView.h"

#include <QStringList>

class QListWidget;

// The Products page: a plain list of what will be installed, by name, sorted.
// Rows offer no selection and no action.
class ProductListPage : public PageView
{
    Q_OBJECT

public:
    explicit ProductListPage(QWidget *parent = nullptr);

    void refresh(const AppSettings &settings) override;
    QStringList shownNames() const;

private:
    QListWidget *m_list;
};
