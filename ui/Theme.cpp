#include "ui/Theme.h"

#include <QApplication>
#include <QFontMetrics>

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
    return QColor(0, 122, 255);
}

QColor Theme::gray()
{
    return QColor(142, 142, 147);
}

QColor Theme::green()
{
    return QColor(52, 199, 89);
}

QColor Theme::red()
{
    return QColor(255, 59, 48);
}

QColor Theme::separatorColor()
{
    return QColor(0, 0, 0, 26);
}

QColor Theme::linkColor()
{
    return QColor(0, 104, 218);
}

QFont Theme::systemFont(int pixelSize, bool bold)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
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
