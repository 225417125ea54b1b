#include "script/LocalShell.h"

#include "helper/ShellCommand.h"

#include <QFile>
#include <QProcessEnvironment>

#include <string>
#include <unistd.h>

LocalShell::LocalShell(QMap<QString, QString> overrides, QString workingDirectory,
                       std::optional<ShellIdentity> identity)
    : m_overrides(std::move(overrides)), m_workingDirectory(std::move(workingDirectory)),
      m_identity(std::move(identity))
{}

ShellOutcome LocalShell::run(const QString &command)
{
    ShellOutcome outcome;
    ShellLaunch launch;
    launch.command = command.toStdString();
    // One argument of a program holds at most this much; beyond it the shell
    // could not even be started.
    if (launch.command.size() > frame::maxCommandPayload) {
        outcome.failure = ScriptError::raised(
            ScriptErrorNumber::shellNotStarted,
            QStringLiteral("The command is too long to run (%1 bytes; at most %2).")
                .arg(launch.command.size())
                .arg(frame::maxCommandPayload));
        return outcome;
    }
    launch.workingDirectory = QFile::encodeName(m_workingDirectory).toStdString();
    launch.identity = m_identity;
    launch.stopRequested = m_stop;
    launch.stopGraceMs = m_stopGraceMs;
    if (!m_overrides.isEmpty() || m_identity) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (auto it = m_overrides.cbegin(); it != m_overrides.cend(); ++it)
            environment.insert(it.key(), it.value());
        launch.replaceEnvironment = true;
        for (const QString &entry : environment.toStringList())
            launch.environment.push_back(entry.toStdString());
    }
    const ShellRun run = runShellCommand(launch);
    if (!run.started) {
        outcome.failure = ScriptError::raised(ScriptErrorNumber::shellNotStarted,
                                              QStringLiteral("The shell could not be started: %1.")
                                                  .arg(QString::fromStdString(run.problem)));
        return outcome;
    }
    if (run.truncated) {
        outcome.failure =
            ScriptError::raised(ScriptErrorNumber::outputTooLarge,
                                QStringLiteral("The command's output was larger than %1 MiB: %2")
                                    .arg(launch.outputLimit >> 20)
                                    .arg(command.left(200)));
        return outcome;
    }
    outcome.status = run.result.status;
    outcome.standardOutput = QByteArray::fromStdString(run.result.standardOutput);
    outcome.standardError = QByteArray::fromStdString(run.result.standardError);
    return outcome;
}
