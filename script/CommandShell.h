#pragma once

#include "script/ScriptError.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// What running one "do shell script" command gave: the shell's status and
// outputs, or an error that kept it from running at all (no shell, a
// dismissed authentication, a broken helper).
struct ShellOutcome
{
    std::optional<ScriptError> failure;
    int status = 0;
    QByteArray standardOutput;
    QByteArray standardError;
    // What the person running the installer should hear before the result
    // (an interrupted earlier run that was undone first); usually empty.
    QString notice;
};

// How a run's changes ended: kept or undone as asked, or what went wrong.
struct ShellEnding
{
    bool ok = true;
    QString problem;
    // Whether the shell could undo what it changed at all (one that runs
    // programs cannot).
    bool undoable = false;
};

// Puts an entry of the journal folder (by name) into the shell's transaction
// before it is written or removed there, so that it is kept or put back with
// the rest; false, with why, when it could not be (then leave it alone).
using JournalKeeper = std::function<bool(const std::string &name, std::string &problem)>;
// Called by a shell that keeps a transaction as it settles it, before it
// keeps (`keep`) or undoes its changes; with the keeper while the journal
// folder can still take changes into the transaction.
using SettleHook = std::function<void(bool keep, const JournalKeeper &keeper)>;

// Runs the commands of one script run, one after another on one thread.
class CommandShell
{
public:
    virtual ~CommandShell() = default;
    virtual ShellOutcome run(const QString &command) = 0;
    // A run's stop flag: a shell that runs programs ends one still running
    // some seconds after the flag is raised. Others need not look at it.
    virtual void setStopFlag(std::shared_ptr<const std::atomic<bool>> flag) { (void)flag; }
    // Where a shell that keeps its changes as one transaction keeps its
    // journal (the user's receipt store, held locked by the runner for the
    // run). Others need not look at it.
    virtual void setJournalFolder(const QString &folder) { (void)folder; }
    // Called as such a shell settles its transaction (not when it had none).
    virtual void setSettleHook(SettleHook hook) { (void)hook; }
    // The run is over: a shell that keeps its changes as one transaction
    // keeps them (`keep`) or undoes them all. Others have nothing to do.
    virtual ShellEnding finish(bool keep)
    {
        (void)keep;
        return {};
    }
};
