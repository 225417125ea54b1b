#pragma once

#include "core/ScriptOutcome.h"

#include <QString>
#include <functional>

class AppSettings;

// The one way the installer runs a script: the calling (main) thread hands the
// script to a job on the global thread pool and blocks until the job has run
// it; the job then posts `handler` with the outcome to the main thread, where
// it may write the state. The job releases the caller on every path before it
// posts anything, so the wait cannot deadlock.
void runScriptAndWait(AppSettings &settings, const QString &script,
                      std::function<void(const ScriptOutcome &)> handler);

// The project's interpreter with a privileged session, used when the state
// object has no executor of its own.
ScriptExecutor defaultScriptExecutor();
