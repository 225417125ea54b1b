#include "ui/PageBox.h"

#include "ui/Theme.h"

#include <QPainter>
#include <QVBoxLayout>

PageBox::PageBox(QWidget *content, QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *layout = new QVBoxLayout(this);
    // The content stays inside the line, which is drawn last over the edge.
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
}

void PageBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::white());
    painter.setPen(QPen(Theme::separatorColor(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
