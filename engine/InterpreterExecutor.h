#pragma once

#include "core/ScriptOutcome.h"
#include "script/Evaluator.h"

// An executor that runs scripts with the project's interpreter in the given
// context, turning its run into what the runner reads.
ScriptExecutor interpreterExecutor(EvaluationContext context);
