#pragma once

#include <QString>
#include <functional>
#include <optional>

// What one run of a script gives back to the runner: whether a script object
// could be made at all, the text form of its result, and the interpreter's
// error description when it could not compile or run the script.
struct ScriptOutcome
{
    bool created = true;
    std::optional<QString> result;
    std::optional<QString> errorInfo;
};

// Compiles and runs one script source on the calling thread. Called from a
// worker thread, so it must not touch the installer state.
using ScriptExecutor = std::function<ScriptOutcome(const QString &source)>;
