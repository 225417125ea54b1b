#pragma once

#include "script/AutomationPolicy.h"
#include "script/CommandShell.h"
#include "script/ScriptError.h"
#include "script/SyntaxTree.h"
#include "script/Value.h"

#include <QHash>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// What a compiled script may reach while it runs.
struct EvaluationContext
{
    std::shared_ptr<const AutomationPolicy> policy;
    // Commands without "with administrator privileges", run as the user.
    std::function<std::unique_ptr<CommandShell>()> makeUserShell;
    // The privileged session; made at the first administrator command and
    // kept for the rest of the run, so the user authenticates once.
    std::function<std::unique_ptr<CommandShell>()> makeAdministratorShell;
    // The folder "path to application support" names, without a trailing "/".
    QString applicationSupport;
    // Read before each shell command: once it holds true, no further command
    // runs and the script stops with the error "The run was interrupted."
    // (-60020), which a try block answers like any other.
    std::shared_ptr<const std::atomic<bool>> stopRequested;
    // Called after each shell command that ran, whatever its outcome.
    std::function<void()> commandDone;
};

struct EvaluationResult
{
    std::optional<Value> value;       // the returned or last value, if any
    std::optional<ScriptError> error; // an error that no "try" caught
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

    Flow execute(const std::vector<Statement> &block);
    Flow execute(const Statement &statement);
    std::optional<Value> evaluate(const Expression &expression);
    std::optional<Value> shellScript(const Expression &expression);
    void raise(qint64 number, const QString &message, int line);

    EvaluationContext m_context;
    std::unique_ptr<CommandShell> m_userShell;
    std::unique_ptr<CommandShell> m_administratorShell;
    QHash<QString, Value> m_variables;
    std::optional<Value> m_result;
    std::optional<ScriptError> m_error;
};
