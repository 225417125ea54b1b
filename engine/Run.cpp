#include "engine/Run.h"

#include "engine/ProductNames.h"
#include "script/ScriptAnswer.h"

Run::Run(Kind kind, int total, std::shared_ptr<RunLog> log,
         QList<QPair<QString, QString>> elementProducts, std::shared_ptr<std::atomic<bool>> stop)
    : m_kind(kind), m_total(total), m_log(std::move(log)),
      m_elementProducts(std::move(elementProducts)), m_stop(std::move(stop)),
      m_userSide(std::make_shared<UserSideRecord>(m_elementProducts))
{}

QString Run::productOf(const QString &command)
{
    if (const QString product = ProductNames::productNamedIn(m_elementProducts, command);
        !product.isEmpty())
        m_currentProduct = product;
    return m_currentProduct;
}

ScriptHooks Run::hooks(Progress progress)
{
    ScriptHooks hooks;
    hooks.stopRequested = m_stop;
    // The hooks run on the running thread while this run lives in the
    // installer that waits for them.
    hooks.commandStarted = [this, progress = std::move(progress)](int number,
                                                                  const QString &command) {
        m_userSide->started(command);
        if (progress)
            progress(number, m_total, productOf(command));
    };
    hooks.commandFinished = [this](const CommandReport &report) {
        m_userSide->finished(report);
        m_done->store(report.number);
        if (m_log)
            m_log->command(report);
    };
    hooks.keepChanges = [stop = m_stop](const std::optional<QString> &result,
                                        const std::optional<ScriptError> &error) {
        return !error && result == ScriptAnswer::ok && !(stop && stop->load());
    };
    return hooks;
}

void Run::settleUserSide(QString unrecorded)
{
    m_userSettled = true;
    m_userUnrecorded = std::move(unrecorded);
}

bool Run::undone(const ScriptOutcome &outcome)
{
    return !outcome.changesKept && outcome.undoable && outcome.settleProblem.isEmpty();
}

QString Run::stoppedAnswer(bool undone) const
{
    const bool install = m_kind == Kind::install;
    if (undone)
        return install ? QStringLiteral("Installation canceled. Nothing was changed.")
                       : QStringLiteral("Uninstall canceled. Nothing was changed.");
    return (install ? QStringLiteral("Installation canceled after %1 of %2 steps.")
                    : QStringLiteral("Uninstall canceled after %1 of %2 steps."))
        .arg(stepsDone())
        .arg(m_total);
}

QString Run::answer(const ScriptOutcome &outcome) const
{
    const bool install = m_kind == Kind::install;
    QString answer = outcome.result.value_or(outcome.errorInfo.value_or(QString()));
    if (answer == ScriptAnswer::userCanceled)
        return answer;
    const QString &problem = outcome.settleProblem;
    const bool clean = undone(outcome);
    if (outcome.changesKept && !problem.isEmpty()) {
        answer = (install ? QStringLiteral("The installation could not be completed: %1")
                          : QStringLiteral("The uninstall could not be completed: %1"))
                     .arg(problem);
    } else if (stopRequested() && (answer != ScriptAnswer::ok || !outcome.changesKept)) {
        answer = stoppedAnswer(clean);
        if (!problem.isEmpty())
            answer += QStringLiteral("\nIts changes could not all be undone: ") + problem;
    } else if (answer != ScriptAnswer::ok && clean) {
        answer += install ? QStringLiteral("\nThe installation failed. Nothing was changed: the "
                                           "previous state was restored.")
                          : QStringLiteral("\nThe uninstall failed. Nothing was changed: the "
                                           "previous state was restored.");
    } else if (answer != ScriptAnswer::ok && !problem.isEmpty()) {
        answer += (install ? QStringLiteral("\nThe installation failed, and its changes could not "
                                            "all be undone: %1")
                           : QStringLiteral("\nThe uninstall failed, and its changes could not "
                                            "all be undone: %1"))
                      .arg(problem);
    }
    // A run that went well says so alone; the notices went to the log and the terminal.
    if (!outcome.notices.isEmpty() && answer != ScriptAnswer::ok)
        answer = outcome.notices.join(QLatin1Char('\n')) + QLatin1Char('\n') + answer;
    return answer;
}
