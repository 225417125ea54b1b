#pragma once

#include <QColor>
#include <QFont>

// The wizard's fixed look: the light-appearance shades of the named colours,
// the standard spacing amounts and the fonts. Sizes are pixels, one per point.
class Theme
{
public:
    Theme() = delete;

    static QColor textColor();       // standard black
    static QColor backgroundColor(); // F1F1F1, the window and the log panel
    static QColor white();
    static QColor blue();
    static QColor gray();
    static QColor green();
    static QColor red();
    static QColor separatorColor(); // drawn over white, a faint line
    static QColor linkColor();

    static constexpr int defaultPadding = 16;
    static constexpr int defaultSpacing = 8;
    static constexpr int spacerMinimum = 8;
    static constexpr double backdropOpacity = 0.65;
    static constexpr int panelRadius = 8;

    static QFont systemFont(int pixelSize, bool bold = false);
    static QFont defaultFont();     // 13 pixels, the body text
    static QFont title3Font();      // 15 pixels, the summary message
    static QFont productFont();     // 14 pixels, the product names
    static int naturalSymbolSize(); // a symbol at the height of the default text
};
