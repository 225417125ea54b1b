#pragma once

#include "script/ScriptError.h"
#include "script/SyntaxTree.h"

#include <QString>

#include <memory>
#include <optional>

struct CompileResult
{
    std::shared_ptr<const Program> program; // null when compiling failed
    std::optional<ScriptError> error;
};

// Compiles source text into a syntax tree, or into a compile error with the
// range of the offending text. Rejects every construct the interpreter does
// not run, so a script either runs completely as written or runs nothing.
CompileResult compileScript(const QString &source);
