#pragma once

#include <QString>
#include <QStringList>

// The desktop's settings application: where a user of this platform goes to
// grant an application what it lacks.
namespace DesktopSettings {

// The program to start: the one of the current desktop (XDG_CURRENT_DESKTOP,
// a colon-separated list) when it is installed, else the first installed
// of the known ones; empty when there is none. `searchPath` empty means PATH.
QString program(const QString &currentDesktop, const QStringList &searchPath = {});

// Starts it and does not wait or look at the outcome.
void open();

} // namespace DesktopSettings
