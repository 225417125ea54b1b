#include "script/Evaluator.h"

#include <QDateTime>

#include "script/LocalShell.h"

Evaluator::Evaluator(EvaluationContext context) : m_context(std::move(context)) {}

Evaluator::~Evaluator() = default;

EvaluationResult Evaluator::run(const Program &program)
{
    const Flow flow = execute(program.statements);
    EvaluationResult result;
    if (flow == Flow::raised)
        result.error = m_error;
    else
        result.value = m_result;
    settle(result);
    // Ends the privileged helper now, not whenever the evaluator goes.
    m_administratorShell.reset();
    m_userShell.reset();
    return result;
}

// The system part first: the user's files may point into it.
void Evaluator::settle(EvaluationResult &result)
{
    const std::optional<QString> text =
        result.value ? std::optional<QString>(result.value->textForm()) : std::nullopt;
    result.changesKept =
        m_context.keepChanges ? m_context.keepChanges(text, result.error) : !result.error;
    for (CommandShell *shell : {m_administratorShell.get(), m_userShell.get()}) {
        if (!shell)
            continue;
        const ShellEnding ending = shell->finish(result.changesKept);
        result.undoable = result.undoable && ending.undoable;
        if (!ending.ok)
            result.settleProblem +=
                (result.settleProblem.isEmpty() ? QString() : QStringLiteral("\n")) +
                ending.problem;
    }
    result.notices = m_notices;
}

void Evaluator::raise(qint64 number, const QString &message, int line)
{
    m_error = ScriptError::raised(number, message, line);
}

Evaluator::Flow Evaluator::execute(const std::vector<Statement> &block)
{
    for (const Statement &statement : block) {
        const Flow flow = execute(statement);
        if (flow != Flow::next)
            return flow;
    }
    return Flow::next;
}

Evaluator::Flow Evaluator::execute(const Statement &statement)
{
    switch (statement.kind) {
    case Statement::Kind::set: {
        std::optional<Value> value = evaluate(*statement.expression);
        if (!value)
            return Flow::raised;
        m_variables.insert(statement.name, *value);
        m_result = value;
        return Flow::next;
    }
    case Statement::Kind::returnValue: {
        std::optional<Value> value = evaluate(*statement.expression);
        if (!value)
            return Flow::raised;
        m_result = value;
        return Flow::returned;
    }
    case Statement::Kind::expression: {
        std::optional<Value> value = evaluate(*statement.expression);
        if (!value)
            return Flow::raised;
        m_result = value;
        return Flow::next;
    }
    case Statement::Kind::tell:
        // Asked on entering the block: everything inside addresses the application.
        if (!m_context.policy || !m_context.policy->allows(statement.name)) {
            raise(ScriptErrorNumber::notAuthorized,
                  QStringLiteral("Not authorized to send Apple events to %1.").arg(statement.name),
                  statement.line);
            return Flow::raised;
        }
        return execute(statement.body);
    case Statement::Kind::tryBlock: {
        const Flow flow = execute(statement.body);
        if (flow != Flow::raised)
            return flow;
        const ScriptError caught = *m_error;
        m_error.reset();
        if (!statement.hasHandler)
            return Flow::next;
        if (!statement.messageVariable.isEmpty())
            m_variables.insert(statement.messageVariable, Value::fromText(caught.message));
        if (!statement.numberVariable.isEmpty())
            m_variables.insert(statement.numberVariable, Value::fromInteger(caught.number));
        return execute(statement.handler);
    }
    }
    return Flow::next;
}

std::optional<Value> Evaluator::evaluate(const Expression &expression)
{
    switch (expression.kind) {
    case Expression::Kind::string:
        return Value::fromText(expression.text);
    case Expression::Kind::integer:
        return Value::fromInteger(expression.integer);
    case Expression::Kind::variable: {
        const auto found = m_variables.constFind(expression.text);
        if (found == m_variables.cend()) {
            raise(ScriptErrorNumber::undefinedVariable,
                  QStringLiteral("The variable %1 is not defined.").arg(expression.text),
                  expression.line);
            return std::nullopt;
        }
        return *found;
    }
    case Expression::Kind::applicationSupport:
        if (m_context.applicationSupport.isEmpty()) {
            raise(ScriptErrorNumber::cannotGet,
                  QStringLiteral("Can't get path to application support."), expression.line);
            return std::nullopt;
        }
        return Value::fromText(m_context.applicationSupport + QLatin1Char('/'));
    case Expression::Kind::shellScript:
        return shellScript(expression);
    }
    return std::nullopt;
}

namespace {

// One trailing line ending goes; the other line feeds become carriage returns.
QString withoutTrailingLineEnd(QString text)
{
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(text.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
    else if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

} // namespace

ShellOutcome Evaluator::runReported(CommandShell &shell, const QString &command, bool privileged)
{
    CommandReport report;
    report.number = ++m_commandsRun;
    report.command = command;
    report.privileged = privileged;
    report.startedMs = QDateTime::currentMSecsSinceEpoch();
    if (m_context.commandStarted)
        m_context.commandStarted(report.number, command);
    const ShellOutcome outcome = shell.run(command);
    if (m_context.commandFinished) {
        report.durationMs = QDateTime::currentMSecsSinceEpoch() - report.startedMs;
        report.status = outcome.status;
        report.standardError = outcome.standardError;
        report.failure = outcome.failure;
        m_context.commandFinished(report);
    }
    return outcome;
}

std::optional<Value> Evaluator::shellScript(const Expression &expression)
{
    const std::optional<Value> command = evaluate(*expression.operand);
    if (!command)
        return std::nullopt;

    if (m_context.stopRequested && m_context.stopRequested->load()) {
        raise(ScriptErrorNumber::interrupted, QStringLiteral("The run was interrupted."),
              expression.line);
        return std::nullopt;
    }
    std::unique_ptr<CommandShell> &shell =
        expression.privileged ? m_administratorShell : m_userShell;
    if (!shell) {
        const auto &make =
            expression.privileged ? m_context.makeAdministratorShell : m_context.makeUserShell;
        shell = make ? make() : std::make_unique<LocalShell>();
        shell->setStopFlag(m_context.stopRequested);
        if (!expression.privileged) {
            shell->setJournalFolder(m_context.userJournalFolder);
            shell->setSettleHook(m_context.userSettleHook);
        }
    }
    ShellOutcome outcome = runReported(*shell, command->textForm(), expression.privileged);
    if (!outcome.notice.isEmpty())
        m_notices.append(outcome.notice);
    if (outcome.failure) {
        outcome.failure->line = expression.line;
        m_error = outcome.failure;
        return std::nullopt;
    }
    if (outcome.status != 0) {
        const QByteArray &said =
            outcome.standardError.isEmpty() ? outcome.standardOutput : outcome.standardError;
        raise(outcome.status, withoutTrailingLineEnd(QString::fromUtf8(said)), expression.line);
        return std::nullopt;
    }
    QString text = withoutTrailingLineEnd(QString::fromUtf8(outcome.standardOutput));
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return Value::fromText(text);
}
