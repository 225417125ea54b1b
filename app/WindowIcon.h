#pragma once

#include <QImage>
#include <QString>

// The icon the desktop shows for the installer's windows, taken from the
// bundle's logo: its mark, the symbol left of the word, on a square.
namespace WindowIcon {

// The logo's first run of drawn columns from the left, cropped to what is
// drawn and centred on a transparent square of `size` pixels, a sixteenth of
// it left free on each side. A logo with no empty column after its mark (one
// that is all mark, or opaque) gives the whole drawn area. A null image gives
// a null image.
QImage markOf(const QImage &logo, int size = 256);

// Names the desktop file that Wayland compositors take the icon from. They
// read it when a window is first shown, so this comes before.
void nameDesktopFile();

// Sets the icon of every window of the application from the logo file
// (_NET_WM_ICON on X11), shown windows included. A file that is not an image
// leaves the default icon.
void apply(const QString &logoPath);

} // namespace WindowIcon
