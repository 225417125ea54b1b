#pragma once

#include <QString>

class QMainWindow;

// The platform's usual top-level menus for a window: the application menu
// with About and Quit, File, Edit, View, Window and Help. Every menu and item
// has a mnemonic; F10 opens the first menu.
namespace DefaultMenuBar {

void install(QMainWindow &window);

// The About box's text: the name, the version from the build, the licence and
// where the help is.
QString aboutText();

// The README shipped beside the installer, which holds its help.
QString helpFile();

} // namespace DefaultMenuBar
