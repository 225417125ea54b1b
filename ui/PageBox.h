#pragma once

#include <QWidget>

// The white box the page content sits in, with a one-pixel separator-coloured
// line inside its bounds.
class PageBox : public QWidget
{
    Q_OBJECT

public:
    PageBox(QWidget *content, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
