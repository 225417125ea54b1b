#pragma once

class QApplication;

// The light appearance, whatever the desktop's theme: the Fusion style with
// its light palette for every kind of widget (a platform theme hands text
// views, lists, menus and labels palettes of their own, which would otherwise
// stay dark), kept when the desktop changes theme while the window is open.
// Text follows the desktop's font size: the window's sizes grow by the ratio
// of the desktop's default font to the usual 10 points, never shrink.
namespace Appearance {

void applyLight(QApplication &application);

// The ratio of a desktop's default font size, in points, to 10; at least 1.
double textScaleFor(double desktopPointSize);

} // namespace Appearance
