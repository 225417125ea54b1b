#include "engine/InterpreterExecutor.h"

#include "script/Interpreter.h"

ScriptExecutor interpreterExecutor(EvaluationContext context)
{
    return [context = std::move(context)](const QString &source) {
        const ScriptRun run = Interpreter(context).run(source);
        ScriptOutcome outcome;
        outcome.created = run.created;
        outcome.result = run.result;
        if (run.error)
            outcome.errorInfo = run.error->description();
        return outcome;
    };
}

ScriptExecutor defaultScriptExecutor()
{
    return interpreterExecutor(Interpreter::platformContext());
}
