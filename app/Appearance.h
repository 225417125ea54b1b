#pragma once

class QApplication;

// The light appearance, whatever the desktop's theme: the Fusion style with
// its light palette, and the system font at 13 pixels.
namespace Appearance {

void applyLight(QApplication &application);

} // namespace Appearance
