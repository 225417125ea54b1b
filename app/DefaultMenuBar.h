#pragma once

class QMainWindow;

// The platform's usual top-level menus for a window: the application menu
// with About and Quit, File, Edit, View, Window and Help.
class DefaultMenuBar
{
public:
    DefaultMenuBar() = delete;

    static void install(QMainWindow &window);
};
