#pragma once

#include "script/Evaluator.h"
#include "script/Parser.h"

#include <QString>

struct ScriptRun
{
    // False when no script object can be made from the source: it is not
    // valid Unicode text (an unpaired surrogate) or holds a NUL character.
    bool created = true;
    std::optional<QString> result; // the text form of the script's result
    std::optional<ScriptError> error;
    bool changesKept = true;
    bool undoable = false;
    QString settleProblem;
    QStringList notices;
};

// Compiles and runs scripts of the installer's language. Holds no state
// between runs; each run gets its own variables and its own shells.
class Interpreter
{
public:
    explicit Interpreter(EvaluationContext context) : m_context(std::move(context)) {}

    // This machine's automation policy, the user's data folder, commands run
    // as the user, and administrator commands through a privileged session.
    static EvaluationContext platformContext();

    ScriptRun run(const QString &source) const;

private:
    EvaluationContext m_context;
};
