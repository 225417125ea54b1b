#pragma once

#include <QColor>
#include <QIcon>
#include <QWidget>

// The few symbols the wizard draws, painted rather than taken from a symbol font.
enum class Symbol
{
    circleFill,
    checkmarkCircle,
    exclamationmarkCircle,
    gear
};

// A symbol at a fixed size in one colour.
class SymbolView : public QWidget
{
    Q_OBJECT

public:
    SymbolView(Symbol symbol, int size, const QColor &color, QWidget *parent = nullptr);

    Symbol symbol() const { return m_symbol; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    void setSymbol(Symbol symbol);

    // Paints the symbol filling `box` (kept square, centred).
    static void paint(QPainter &painter, const QRectF &box, Symbol symbol, const QColor &color);
    // The symbol as an icon of the given size, for a button's label.
    static QIcon icon(Symbol symbol, int size, const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Symbol m_symbol;
    QColor m_color;
};
