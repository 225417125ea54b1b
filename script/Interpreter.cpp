#include "script/Interpreter.h"

#include "script/PrivilegedSession.h"
#include "script/UserDataFolder.h"
#include "script/UserSideShell.h"

EvaluationContext Interpreter::platformContext()
{
    EvaluationContext context;
    context.policy = AutomationPolicy::platformDefault();
    context.makeUserShell = [] {
        return makeUserSideShell(userDataFolderOfThisProcess());
    };
    context.makeAdministratorShell = [] {
        return PrivilegedSession::forThisProcess();
    };
    context.applicationSupport = userDataFolderOfThisProcess();
    return context;
}

ScriptRun Interpreter::run(const QString &source) const
{
    ScriptRun run;
    if (!source.isValidUtf16() || source.contains(QChar(0))) {
        run.created = false;
        return run;
    }
    const CompileResult compiled = compileScript(source);
    if (compiled.error) {
        run.error = compiled.error;
        return run;
    }
    const EvaluationResult evaluated = Evaluator(m_context).run(*compiled.program);
    run.error = evaluated.error;
    run.changesKept = evaluated.changesKept;
    run.undoable = evaluated.undoable;
    run.settleProblem = evaluated.settleProblem;
    run.notices = evaluated.notices;
    if (evaluated.value)
        run.result = evaluated.value->textForm();
    return run;
}
