#pragma once

#include "script/Evaluator.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// What one run of a script gives back to the runner: whether a script object
// could be made at all, the text form of its result, and the interpreter's
// error description when it could not compile or run the script.
struct ScriptOutcome
{
    ScriptOutcome(bool made = true, std::optional<QString> answer = std::nullopt,
                  std::optional<QString> error = std::nullopt)
        : created(made), result(std::move(answer)), errorInfo(std::move(error))
    {}

    bool created = true;
    std::optional<QString> result;
    std::optional<QString> errorInfo;
    // Whether the run's changes were kept; false when they were undone.
    bool changesKept = true;
    // Whether every shell that ran could undo its changes (else some stay).
    bool undoable = false;
    // What keeping or undoing them could not do; empty when all went well.
    QString settleProblem;
    // What the shells said before their results (an earlier run was undone).
    QStringList notices;
};

// What the runner hands a run: a flag that asks it to stop before its next
// command, and the calls it makes as each command starts and ends. All are
// optional; the calls come on the thread that runs the script.
struct ScriptHooks
{
    std::shared_ptr<const std::atomic<bool>> stopRequested;
    // The user's receipt store, locked by the runner while the run lasts:
    // where the user's side keeps its journal. Empty: none.
    QString userJournalFolder;
    // Called as the user's side settles the transaction it kept there: what
    // the run writes into that folder then is kept or undone with its changes.
    SettleHook userSettleHook;
    std::function<void(int number, const QString &command)> commandStarted;
    std::function<void(const CommandReport &report)> commandFinished;
    // Once the script ended: whether its changes are kept (else undone).
    std::function<bool(const std::optional<QString> &result,
                       const std::optional<ScriptError> &error)>
        keepChanges;
};

// Compiles and runs one script source on the calling thread. Called from a
// worker thread, so it must not touch the installer state.
using ScriptExecutor =
    std::function<ScriptOutcome(const QString &source, const ScriptHooks &hooks)>;
// One that neither reports nor stops (a stand-in in tests, a probe).
using PlainScriptExecutor = std::function<ScriptOutcome(const QString &source)>;
