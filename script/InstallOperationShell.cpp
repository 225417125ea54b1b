#include "script/InstallOperationShell.h"

#include "helper/HelperServer.h"
#include "helper/InstallCommand.h"
#include "helper/SystemLocations.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

InstallOperationShell::InstallOperationShell(helper::InstallRoots roots, std::string receiptsFolder)
    : m_journal(std::move(roots), std::move(receiptsFolder),
                helper::invokingUser(std::to_string(::getuid()).c_str()).value_or("root"))
{}

ShellOutcome InstallOperationShell::run(const QString &command)
{
    ShellOutcome outcome;
    const helper::ParsedCommand parsed = helper::parseInstallCommand(command.toStdString());
    if (!parsed.ok) {
        outcome.failure = ScriptError::raised(
            ScriptErrorNumber::privilegedToolFailed,
            QStringLiteral("Refused: not an install operation: %1").arg(command));
        return outcome;
    }
    const helper::OperationResult done = m_journal.perform(parsed.operation);
    outcome.notice = QString::fromStdString(m_journal.takeNotice());
    if (!done.ok) {
        outcome.status = 1;
        outcome.standardError = QByteArray::fromStdString(done.message) + '\n';
    }
    return outcome;
}

ShellEnding InstallOperationShell::finish(bool keep)
{
    const helper::OperationResult done = m_journal.finish(keep);
    return {done.ok, QString::fromStdString(done.message), true};
}

std::unique_ptr<CommandShell> InstallOperationShell::forThisExecutable()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString products = QFileInfo(QFileInfo(executable).absolutePath() + QLatin1Char('/') +
                                       QString::fromUtf8(helper::locations::productsFromExecutable))
                                 .canonicalFilePath();
    return std::make_unique<InstallOperationShell>(helper::systemRoots(products.toStdString()),
                                                   std::string(helper::locations::receipts));
}
