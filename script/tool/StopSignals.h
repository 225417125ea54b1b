#pragma once

#include <atomic>
#include <memory>

// SIGINT and SIGTERM while the tool runs a script, as the installer takes
// them: the first raises the run's stop flag, so the command under way
// finishes (or is ended with its process group after the shell's grace) and
// no further command starts; a second SIGINT ends the tool at once.
namespace StopSignals {

void install();

// The flag the handlers raise, for the run's EvaluationContext.
std::shared_ptr<const std::atomic<bool>> stopFlag();

// The signal that asked the run to stop, or 0.
int received();

} // namespace StopSignals
