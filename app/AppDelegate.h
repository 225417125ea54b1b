#pragma once

class QMenuBar;

// What the application does at the edges of its life.
namespace AppDelegate {

// Removes the first top-level "File", "Edit" and "View" menus, looked for
// in that order, each by its exact title; a missing one is skipped.
void applicationDidFinishLaunching(QMenuBar *mainMenu);

// Closing the wizard's window ends the application.
inline bool applicationShouldTerminateAfterLastWindowClosed()
{
    return true;
}

} // namespace AppDelegate
