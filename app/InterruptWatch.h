#pragma once

#include <atomic>
#include <memory>

#include <QString>

// SIGINT and SIGTERM during an unattended install: the first lets the command
// that is running finish and stops the script before the next one; a second
// SIGINT ends the process at once, saying how far it got. Process-wide, as
// signal dispositions are.
namespace InterruptWatch {

// Installs the handlers for a run of `steps` commands.
void install(int steps);

// The flag the handlers set, which the run reads before each command.
std::shared_ptr<std::atomic<bool>> stopFlag();

// Counts one command as done.
void stepDone();

// The signal that asked the run to stop, or 0.
int signalReceived();

// "Installation interrupted after K of N steps."
QString message();

} // namespace InterruptWatch
