#pragma once

#include <QColor>
#include <QFont>

// The wizard's fixed look: the light-appearance shades of the named colours,
// the standard spacing amounts and the fonts. Sizes are pixels, one per point,
// and the fonts' sizes grow by the text scale the desktop asks for.
namespace Theme {

// How much larger than the usual text the desktop wants it (1 by default).
void setTextScale(double scale);
double textScale();
// A length that holds text, grown by the text scale.
int scaled(int length);

QColor textColor();       // standard black
QColor backgroundColor(); // F1F1F1, the window and the log panel
QColor white();
QColor blue();
QColor gray();
QColor green();
QColor red();
QColor separatorColor(); // drawn over white, a faint line
QColor linkColor();
QColor accent(); // the focus ring: at least 4.5:1 on white and on F1F1F1

inline constexpr int defaultPadding = 16;
inline constexpr int defaultSpacing = 8;
inline constexpr int spacerMinimum = 8;
inline constexpr double backdropOpacity = 0.65;
inline constexpr int panelRadius = 8;
inline constexpr int focusRingWidth = 2;

QFont systemFont(int pixelSize, bool bold = false);
QFont defaultFont();     // 13 pixels, the body text
QFont title3Font();      // 15 pixels, the summary message
QFont productFont();     // 14 pixels, the product names
int naturalSymbolSize(); // a symbol at the height of the default text

} // namespace Theme
