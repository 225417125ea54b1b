#pragma once

class QMenuBar;

// What the application does at the edges of its life.
class AppDelegate
{
public:
    // Removes the first top-level "File", "Edit" and "View" menus, looked for
    // in that order, each by its exact title; a missing one is skipped.
    static void applicationDidFinishLaunching(QMenuBar *mainMenu);

    // Closing the wizard's window ends the application.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
};
