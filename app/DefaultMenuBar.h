#pragma once

class QMainWindow;

// The platform's usual top-level menus for a window: the application menu
// with About and Quit, File, Edit, View, Window and Help.
namespace DefaultMenuBar {

void install(QMainWindow &window);

} // namespace DefaultMenuBar
