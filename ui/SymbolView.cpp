#include "ui/SymbolView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace {

void paintRingWithStroke(QPainter &painter, const QRectF &box, const QColor &color, double stroke)
{
    painter.setPen(QPen(color, stroke));
    painter.setBrush(Qt::NoBrush);
    const double inset = stroke / 2;
    painter.drawEllipse(box.adjusted(inset, inset, -inset, -inset));
}

void paintCheckmark(QPainter &painter, const QRectF &box, const QColor &color, double stroke)
{
    QPainterPath tick;
    tick.moveTo(box.left() + box.width() * 0.30, box.top() + box.height() * 0.52);
    tick.lineTo(box.left() + box.width() * 0.44, box.top() + box.height() * 0.67);
    tick.lineTo(box.left() + box.width() * 0.70, box.top() + box.height() * 0.35);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
}

void paintExclamationmark(QPainter &painter, const QRectF &box, const QColor &color, double stroke)
{
    const double x = box.center().x();
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(x, box.top() + box.height() * 0.27),
                     QPointF(x, box.top() + box.height() * 0.58));
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double dot = stroke * 0.75;
    painter.drawEllipse(QPointF(x, box.top() + box.height() * 0.72), dot, dot);
}

void paintGear(QPainter &painter, const QRectF &box, const QColor &color)
{
    // Eight teeth around a ring with a hole in the middle.
    const QPointF centre = box.center();
    const double outer = box.width() / 2;
    const double inner = outer * 0.72;
    const int teeth = 8;
    QPainterPath gear;
    for (int i = 0; i < teeth * 4; ++i) {
        const double angle = 2 * std::numbers::pi * i / (teeth * 4);
        const double radius = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF point(centre.x() + radius * std::cos(angle),
                            centre.y() + radius * std::sin(angle));
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, outer * 0.32, outer * 0.32);
    gear.setFillRule(Qt::OddEvenFill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(gear);
}

} // namespace

SymbolView::SymbolView(Symbol symbol, int size, const QColor &color, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_color(color)
{
    setFixedSize(size, size);
}

void SymbolView::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void SymbolView::setSymbol(Symbol symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void SymbolView::paint(QPainter &painter, const QRectF &area, Symbol symbol, const QColor &color)
{
    const double side = std::min(area.width(), area.height());
    const QRectF box(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double stroke = std::max(1.0, side / 12);
    switch (symbol) {
    case Symbol::circleFill:
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(box);
        break;
    case Symbol::checkmarkCircle:
        paintRingWithStroke(painter, box, color, stroke);
        paintCheckmark(painter, box, color, stroke);
        break;
    case Symbol::exclamationmarkCircle:
        paintRingWithStroke(painter, box, color, stroke);
        paintExclamationmark(painter, box, color, stroke);
        break;
    case Symbol::gear:
        paintGear(painter, box, color);
        break;
    }
    painter.restore();
}

QIcon SymbolView::icon(Symbol symbol, int size, const QColor &color)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(0, 0, size, size), symbol, color);
    painter.end();
    return QIcon(pixmap);
}

void SymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_symbol, m_color);
}
