#include "engine/InterpreterExecutor.h"

#include "script/Interpreter.h"

namespace {

// Both calls, the context's first.
template <typename... Args>
std::function<void(Args...)> both(std::function<void(Args...)> first,
                                  std::function<void(Args...)> second)
{
    if (!first)
        return second;
    if (!second)
        return first;
    return [first, second](Args... args) {
        first(args...);
        second(args...);
    };
}

} // namespace

ScriptExecutor interpreterExecutor(EvaluationContext context)
{
    return [context = std::move(context)](const QString &source, const ScriptHooks &hooks) {
        EvaluationContext run = context;
        if (hooks.stopRequested)
            run.stopRequested = hooks.stopRequested;
        if (!hooks.userJournalFolder.isEmpty())
            run.userJournalFolder = hooks.userJournalFolder;
        if (hooks.userSettleHook)
            run.userSettleHook = hooks.userSettleHook;
        run.commandStarted = both(run.commandStarted, hooks.commandStarted);
        run.commandFinished = both(run.commandFinished, hooks.commandFinished);
        if (hooks.keepChanges)
            run.keepChanges = hooks.keepChanges;
        const ScriptRun result = Interpreter(run).run(source);
        ScriptOutcome outcome;
        outcome.created = result.created;
        outcome.result = result.result;
        outcome.changesKept = result.changesKept;
        outcome.undoable = result.undoable;
        outcome.settleProblem = result.settleProblem;
        outcome.notices = result.notices;
        if (result.error)
            outcome.errorInfo = result.error->description();
        return outcome;
    };
}

ScriptExecutor defaultScriptExecutor()
{
    return interpreterExecutor(Interpreter::platformContext());
}
