#pragma once

#include "script/AutomationPolicy.h"
#include "script/CommandShell.h"
#include "script/ScriptError.h"
#include "script/SyntaxTree.h"
#include "script/Value.h"

#include <QHash>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// One shell command as it ran, for progress and the run's log.
struct CommandReport
{
    int number = 0; // 1 for the first command that ran
    QString command;
    bool privileged = false;
    qint64 startedMs = 0; // since the epoch
    qint64 durationMs = 0;
    int status = 0;
    QByteArray standardError;
    std::optional<ScriptError> failure; // kept it from running
};

// What a compiled script may reach while it runs.
struct EvaluationContext
{
    std::shared_ptr<const AutomationPolicy> policy;
    // Commands without "with administrator privileges", run as the user.
    std::function<std::unique_ptr<CommandShell>()> makeUserShell;
    // The privileged session; made at the first administrator command and
    // kept for the rest of the run, so the user authenticates once.
    std::function<std::unique_ptr<CommandShell>()> makeAdministratorShell;
    // Where the user shell keeps its journal: the user's receipt store, held
    // locked for the run by whoever runs it. Empty: nowhere.
    QString userJournalFolder;
    // Given to the user shell: called as it settles a transaction it kept there.
    SettleHook userSettleHook;
    // The folder "path to application support" names, without a trailing "/".
    QString applicationSupport;
    // Read before each shell command: once it holds true, no further command
    // runs and the script stops with the error "The run was interrupted."
    // (-60020), which a try block answers like any other.
    std::shared_ptr<const std::atomic<bool>> stopRequested;
    // Called on the running thread as each shell command starts (numbered
    // from 1 in the order they run) and once it has ended, whatever its outcome.
    std::function<void(int number, const QString &command)> commandStarted;
    std::function<void(const CommandReport &report)> commandFinished;
    // Asked once the script has ended, before its shells go: whether what
    // they changed is kept, or undone by the shells that can. Unset: kept
    // unless an error ended the script.
    std::function<bool(const std::optional<QString> &result,
                       const std::optional<ScriptError> &error)>
        keepChanges;
};

struct EvaluationResult
{
    std::optional<Value> value;       // the returned or last value, if any
    std::optional<ScriptError> error; // an error that no "try" caught
    bool changesKept = true;          // as keepChanges decided
    bool undoable = true;             // every shell that ran could undo its changes
    QString settleProblem;            // what keeping or undoing the changes could not do
    QStringList notices;              // what the shells said beforehand, in order
};

// Runs one compiled program. One evaluator per run: the variables, the
// result and the shells live for that run only.
class Evaluator
{
public:
    explicit Evaluator(EvaluationContext context);
    ~Evaluator();
    EvaluationResult run(const Program &program);

private:
    enum class Flow
    {
        next,
        returned,
        raised
    };

    void settle(EvaluationResult &result);
    Flow execute(const std::vector<Statement> &block);
    Flow execute(const Statement &statement);
    std::optional<Value> evaluate(const Expression &expression);
    std::optional<Value> shellScript(const Expression &expression);
    ShellOutcome runReported(CommandShell &shell, const QString &command, bool privileged);
    void raise(qint64 number, const QString &message, int line);

    EvaluationContext m_context;
    int m_commandsRun = 0;
    std::unique_ptr<CommandShell> m_userShell;
    std::unique_ptr<CommandShell> m_administratorShell;
    QHash<QString, Value> m_variables;
    std::optional<Value> m_result;
    std::optional<ScriptError> m_error;
    QStringList m_notices;
};
