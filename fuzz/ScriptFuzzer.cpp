// libFuzzer target: install scripts through the lexer, the parser and the
// evaluator. Commands go to a shell that only records them; its status and
// outputs come from the command text, so both outcomes are reached.
#include "script/AutomationPolicy.h"
#include "script/CommandShell.h"
#include "script/Interpreter.h"
#include "script/Parser.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

class FakeShell : public CommandShell
{
public:
    explicit FakeShell(int &commands) : m_commands(commands) {}
    ShellOutcome run(const QString &command) override
    {
        ++m_commands;
        ShellOutcome outcome;
        outcome.status = command.size() % 3 == 0 ? 1 : 0;
        outcome.standardOutput = command.toUtf8();
        outcome.standardError = "failed";
        return outcome;
    }

private:
    int &m_commands;
};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString source =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // The parser on its own: a program or an error, never both, and the error
    // points into the text.
    const CompileResult compiled = compileScript(source);
    require(static_cast<bool>(compiled.program) != compiled.error.has_value());
    if (compiled.error) {
        require(compiled.error->isCompileError());
        const SourceRange range = *compiled.error->range;
        require(range.offset >= 0 && range.length >= 0);
        require(range.offset + range.length <= source.size());
        require(compiled.error->line >= 1);
    }

    // The whole run: a script that does not compile runs nothing.
    int commands = 0;
    EvaluationContext context;
    context.policy = std::make_shared<FixedAutomationPolicy>(size % 2 == 0);
    context.makeUserShell = [&commands] {
        return std::make_unique<FakeShell>(commands);
    };
    context.makeAdministratorShell = [&commands] {
        return std::make_unique<FakeShell>(commands);
    };
    context.applicationSupport = QStringLiteral("/home/fuzz/.local/share");
    const ScriptRun run = Interpreter(context).run(source);
    if (!run.created || (run.error && run.error->isCompileError()))
        require(commands == 0 && !run.result);
    return 0;
}
