#pragma once

#include "script/ScriptError.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// What running one "do shell script" command gave: the shell's status and
// outputs, or an error that kept it from running at all (no shell, a
// dismissed authentication, a broken helper).
struct ShellOutcome
{
    std::optional<ScriptError> failure;
    int status = 0;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs the commands of one script run, one after another on one thread.
class CommandShell
{
public:
    virtual ~CommandShell() = default;
    virtual ShellOutcome run(const QString &command) = 0;
    // A run's stop flag: a shell that runs programs ends one still running
    // some seconds after the flag is raised. Others need not look at it.
    virtual void setStopFlag(std::shared_ptr<const std::atomic<bool>> flag) { (void)flag; }
};
