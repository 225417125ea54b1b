#include "script/UserSideShell.h"

#include "script/LocalShell.h"
#include "script/UserAccount.h"

#include <QDir>

#include <unistd.h>

namespace {

// Answers every command with the reason no shell may run.
class RefusingShell : public CommandShell
{
public:
    explicit RefusingShell(QString reason) : m_reason(std::move(reason)) {}
    ShellOutcome run(const QString &) override
    {
        ShellOutcome outcome;
        outcome.failure = ScriptError::raised(ScriptErrorNumber::shellNotStarted, m_reason);
        return outcome;
    }

private:
    QString m_reason;
};

bool inside(const QString &path, const QString &folder)
{
    const QString clean = QDir::cleanPath(path);
    return !folder.isEmpty() && (clean == folder || clean.startsWith(folder + QLatin1Char('/')));
}

std::unique_ptr<CommandShell> refuse(const QString &reason)
{
    return std::make_unique<RefusingShell>(reason);
}

std::unique_ptr<CommandShell> shellFor(const UserAccount &account, const QString &home,
                                       bool switchUser)
{
    const QMap<QString, QString> environment{{QStringLiteral("USER"), account.name},
                                             {QStringLiteral("LOGNAME"), account.name},
                                             {QStringLiteral("HOME"), home}};
    std::optional<ShellIdentity> identity;
    if (switchUser)
        identity = ShellIdentity{account.uid, account.gid, account.groups};
    return std::make_unique<LocalShell>(environment, QString(), identity);
}

} // namespace

std::unique_ptr<CommandShell> makeUserSideShell(const QString &dataFolder)
{
    if (dataFolder.isEmpty())
        return refuse(QStringLiteral("There is no data folder for the photo-host files: neither "
                                     "XDG_DATA_HOME nor HOME is an absolute path, and the account "
                                     "names no home."));
    const QByteArray homeVariable = qgetenv("HOME");
    if (::geteuid() != 0) {
        const std::optional<UserAccount> self = accountOf(::getuid());
        if (!self)
            return refuse(
                QStringLiteral("This process's user (uid %1) has no account.").arg(::getuid()));
        const QString home =
            homeVariable.startsWith('/') ? QString::fromLocal8Bit(homeVariable) : self->home;
        if (home.isEmpty())
            return refuse(QStringLiteral("The account %1 names no home folder.").arg(self->name));
        return shellFor(*self, home, false);
    }

    const std::optional<unsigned> owner = ownerOfNearest(dataFolder);
    const std::optional<UserAccount> account = owner ? accountOf(*owner) : std::nullopt;
    if (!account)
        return refuse(QStringLiteral("The data folder %1 belongs to no account; the photo-host "
                                     "files are not written there.")
                          .arg(dataFolder));
    if (account->uid == 0 && !inside(dataFolder, account->home))
        return refuse(QStringLiteral("The data folder %1 belongs to root but is not in root's "
                                     "home; the photo-host files are not written there as root.")
                          .arg(dataFolder));
    if (account->home.isEmpty())
        return refuse(QStringLiteral("The account %1, which owns the data folder %2, names no "
                                     "home folder.")
                          .arg(account->name, dataFolder));
    return shellFor(*account, account->home, account->uid != 0);
}
