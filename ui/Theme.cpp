#include "ui/Theme.h"

#include <QApplication>
#include <QFontMetrics>

#include <cmath>

QColor Theme::textColor()
{
    return QColor(0, 0, 0);
}

QColor Theme::backgroundColor()
{
    return QColor(241, 241, 241);
}

QColor Theme::white()
{
    return QColor(255, 255, 255);
}

QColor Theme::blue()
{
    // Dark enough to stand 3:1 against the grey markers beside it, not by hue alone.
    return QColor(8, 59, 140);
}

QColor Theme::gray()
{
    return QColor(142, 142, 147);
}

QColor Theme::green()
{
    return QColor(26, 127, 55);
}

QColor Theme::red()
{
    return QColor(207, 34, 46);
}

QColor Theme::separatorColor()
{
    return QColor(0, 0, 0, 26);
}

QColor Theme::linkColor()
{
    // Dark enough that a thin, antialiased glyph still stands 4.5:1 on white.
    return QColor(0, 84, 180);
}

QColor Theme::accent()
{
    return QColor(11, 87, 208);
}

namespace {

double currentTextScale = 1.0;

} // namespace

void Theme::setTextScale(double scale)
{
    currentTextScale = scale > 0 ? scale : 1.0;
}

double Theme::textScale()
{
    return currentTextScale;
}

int Theme::scaled(int length)
{
    return int(std::lround(length * currentTextScale));
}

QFont Theme::systemFont(int pixelSize, bool bold)
{
    QFont font = QApplication::font();
    font.setPixelSize(scaled(pixelSize));
    font.setBold(bold);
    return font;
}

QFont Theme::defaultFont()
{
    return systemFont(13);
}

QFont Theme::title3Font()
{
    return systemFont(15);
}

QFont Theme::productFont()
{
    return systemFont(14);
}

int Theme::naturalSymbolSize()
{
    // A symbol drawn with the body text is about as tall as its capitals plus
    // a little, not the whole line.
    const QFontMetrics metrics(defaultFont());
    return metrics.capHeight() + 3;
}
