#include "script/LocalShell.h"

#include "helper/HelperServer.h"
#include "helper/ShellCommand.h"

#include <QFile>
#include <QProcessEnvironment>

#include <string>
#include <unistd.h>

LocalShell::LocalShell(QMap<QString, QString> overrides, QString workingDirectory)
    : m_overrides(std::move(overrides)), m_workingDirectory(std::move(workingDirectory))
{}

ShellOutcome LocalShell::run(const QString &command)
{
    ShellLaunch launch;
    launch.command = command.toStdString();
    launch.workingDirectory = QFile::encodeName(m_workingDirectory).toStdString();
    if (!m_overrides.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (auto it = m_overrides.cbegin(); it != m_overrides.cend(); ++it)
            environment.insert(it.key(), it.value());
        launch.replaceEnvironment = true;
        for (const QString &entry : environment.toStringList())
            launch.environment.push_back(entry.toStdString());
    }
    const ShellRun run = runShellCommand(launch);
    ShellOutcome outcome;
    if (!run.started) {
        outcome.failure = ScriptError::raised(ScriptErrorNumber::shellNotStarted,
                                              QStringLiteral("The shell could not be started: %1.")
                                                  .arg(QString::fromStdString(run.problem)));
        return outcome;
    }
    outcome.status = run.result.status;
    outcome.standardOutput = QByteArray::fromStdString(run.result.standardOutput);
    outcome.standardError = QByteArray::fromStdString(run.result.standardError);
    return outcome;
}

std::unique_ptr<CommandShell> LocalShell::forAdministrator()
{
    QMap<QString, QString> overrides;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("USER")) ||
        !environment.contains(QStringLiteral("LOGNAME"))) {
        if (const auto user = helper::invokingUser(std::to_string(::geteuid()).c_str())) {
            const QString name = QString::fromStdString(*user);
            for (const QString &key : {QStringLiteral("USER"), QStringLiteral("LOGNAME")})
                if (!environment.contains(key))
                    overrides.insert(key, name);
        }
    }
    return std::make_unique<LocalShell>(overrides, QStringLiteral("/"));
}
