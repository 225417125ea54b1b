#include "script/UserSideShell.h"

#include "helper/SystemLocations.h"
#include "helper/TrustedWalk.h"
#include "script/AccountThread.h"
#include "script/LocalShell.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

// The components of an absolute folder; none when it is not one.
helper::PathComponents componentsOf(const QString &folder)
{
    const helper::SplitPath split =
        helper::splitPath(QFile::encodeName(folder).toStdString(), true);
    return split.ok ? split.components : helper::PathComponents();
}

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

std::unique_ptr<CommandShell> shellFor(const QString &dataFolder, const UserAccount &account,
                                       const QString &home, bool switchUser)
{
    const QMap<QString, QString> environment{{QStringLiteral("USER"), account.name},
                                             {QStringLiteral("LOGNAME"), account.name},
                                             {QStringLiteral("HOME"), home}};
    std::optional<ShellIdentity> identity;
    if (switchUser)
        identity = ShellIdentity{account.uid, account.gid, account.groups};
    return std::make_unique<UserSideShell>(
        dataFolder, switchUser ? std::optional<UserAccount>(account) : std::nullopt,
        std::make_unique<LocalShell>(environment, QString(), identity));
}

} // namespace

UserSideShell::UserSideShell(const QString &dataFolder, std::optional<UserAccount> account,
                             std::unique_ptr<CommandShell> shell)
    : m_dataFolder(componentsOf(QDir::cleanPath(dataFolder))),
      m_appFolder(componentsOf(QString::fromUtf8(helper::locations::app.data(),
                                                 qsizetype(helper::locations::app.size())))),
      m_account(std::move(account)), m_shell(std::move(shell))
{
    // A user's own run may follow its own links on the way, as its own setup.
    if (!m_account && ::geteuid() != 0)
        m_linkOwner = ::geteuid();
}

UserSideShell::~UserSideShell()
{
    if (m_transaction && !m_settled)
        finish(false);
}

void UserSideShell::setAppFolder(const QString &folder)
{
    m_appFolder = componentsOf(QDir::cleanPath(folder));
}

void UserSideShell::setStopFlag(std::shared_ptr<const std::atomic<bool>> flag)
{
    m_shell->setStopFlag(std::move(flag));
}

bool UserSideShell::act(const std::function<void()> &work, QString &problem) const
{
    if (!m_account) {
        work();
        return true;
    }
    return runAsAccount(*m_account, work, problem);
}

// The journal goes into the store only when the account acting owns it: the
// changes and their record are made by the same hands.
void UserSideShell::startTransaction()
{
    m_started = true;
    const helper::PathComponents store = componentsOf(m_journalFolder);
    helper::OpenedFolder opened;
    QString problem;
    if (!store.empty()) {
        act(
            [&] {
                helper::WalkRules rules;
                rules.linkOwner = m_linkOwner;
                rules.owner = m_account ? m_account->uid : ::geteuid();
                opened = helper::TrustedWalk(store, rules).run();
            },
            problem);
    }
    if (opened.fd.valid()) {
        m_store = std::move(opened.fd);
        m_storePath = helper::joinPath(store, store.size());
        m_transaction.emplace(m_store.get(), m_storePath,
                              UserSideOperations::opener(m_dataFolder, m_linkOwner));
    }
    m_operations.emplace(m_dataFolder, m_linkOwner, m_transaction ? &*m_transaction : nullptr);
}

ShellOutcome UserSideShell::run(const QString &command)
{
    const std::optional<UserSideLine> line =
        m_dataFolder.empty() ? std::nullopt
                             : readUserSideLine(command.toStdString(), m_dataFolder, m_appFolder);
    if (!line) {
        m_unrecorded = true;
        return m_shell->run(command);
    }
    if (!m_started)
        startTransaction();
    ShellOutcome outcome;
    UserSideOperations::Done done;
    QString problem;
    if (!act([&] { done = m_operations->perform(*line); }, problem)) {
        outcome.failure = ScriptError::raised(ScriptErrorNumber::shellNotStarted, problem);
        return outcome;
    }
    m_unrecorded = m_unrecorded || !m_transaction;
    outcome.status = done.status;
    outcome.standardError = QByteArray::fromStdString(done.error);
    return outcome;
}

ShellEnding UserSideShell::finish(bool keep)
{
    ShellEnding ending;
    ending.undoable = !m_unrecorded;
    if (!m_transaction || m_settled) {
        m_settled = true;
        return ending;
    }
    m_settled = true;
    if (m_settleHook) {
        m_settleHook(keep, [this](const std::string &name, std::string &why) {
            bool kept = false;
            QString refused;
            if (!act([&] { kept = m_transaction->keep(m_store.get(), m_storePath, name, why); },
                     refused))
                why = refused.toStdString();
            return kept;
        });
    }
    helper::TransactionEnd end;
    QString problem;
    if (!act([&] { end = keep ? m_transaction->commit() : m_transaction->rollback(); }, problem)) {
        // Left for the next run, which settles it as the account.
        m_transaction->abandon();
        end = {false, problem.toStdString()};
    }
    ending.ok = end.ok;
    ending.problem = QString::fromStdString(end.problem);
    return ending;
}

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
        return shellFor(dataFolder, *self, home, false);
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
    return shellFor(dataFolder, *account, account->home, account->uid != 0);
}
