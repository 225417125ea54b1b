#pragma once

#include "engine/ScriptOutcome.h"
#include "script/Evaluator.h"

// An executor that runs scripts with the project's interpreter in the given
// context, turning its run into what the runner reads.
ScriptExecutor interpreterExecutor(EvaluationContext context);

// The project's interpreter with this machine's automation policy and a
// privileged session: what the installer uses unless one is put in.
ScriptExecutor defaultScriptExecutor();
