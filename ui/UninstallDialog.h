#pragma once

class Installer;
class QWidget;

// The window's way to take the plug-ins away again: lists what the receipts
// say is installed, asks, then runs the same uninstall as the command line
// (one authentication, a log of its own) and says how it ended, with what was
// kept and where the log is.
namespace UninstallDialog {

void run(Installer &installer, QWidget *parent);

} // namespace UninstallDialog
