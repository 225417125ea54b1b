#include "engine/StateFolder.h"

#include "helper/TrustedWalk.h"
#include "script/AccountThread.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

bool inside(const QString &path, const QString &folder)
{
    return !folder.isEmpty() && folder != QLatin1String("/") &&
           (path == folder || path.startsWith(folder + QLatin1Char('/')));
}

helper::SplitPath split(const QString &path)
{
    return helper::splitPath(QFile::encodeName(path).toStdString(), true);
}

} // namespace

QString StateFolder::environmentFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home)) {
            const std::optional<UserAccount> account = accountOf(::getuid());
            home = account ? account->home : QString();
        }
        if (home.isEmpty())
            return QString(); // no home at all: nowhere that is the user's own
        base = home + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(base + QStringLiteral("/quorvantic-installer"));
}

StateFolder StateFolder::ofEnvironment()
{
    return decide(environmentFolder(), true);
}

StateFolder StateFolder::at(const QString &folder)
{
    return decide(folder, false);
}

StateFolder StateFolder::ofDataFolder(const QString &dataFolder)
{
    StateFolder state = ofEnvironment();
    if (::geteuid() != 0 || !state.m_problem.isEmpty() || dataFolder.isEmpty())
        return state;
    const std::optional<unsigned> owner = ownerOfNearest(dataFolder);
    if (!owner || *owner == 0 || *owner == state.m_owner)
        return state;
    const std::optional<UserAccount> account = accountOf(*owner);
    if (!account || !QDir::isAbsolutePath(account->home) || account->home == QLatin1String("/"))
        return state;
    StateFolder own =
        decide(account->home + QStringLiteral("/.local/state/quorvantic-installer"), false);
    // Only where that account acts: root makes nothing in a user's home.
    return own.m_problem.isEmpty() && own.m_owner == *owner ? own : state;
}

StateFolder StateFolder::decide(const QString &folder, bool fromEnvironment)
{
    StateFolder state;
    if (folder.isEmpty()) {
        state.m_problem = QStringLiteral("There is no folder for the user's state: neither "
                                         "XDG_STATE_HOME nor HOME is an absolute path, and the "
                                         "account names no home.");
        return state;
    }
    state.m_path = QDir::cleanPath(folder);
    if (::geteuid() != 0) {
        state.m_owner = ::geteuid();
        state.m_ownerLinks = true;
        return state;
    }
    const helper::SplitPath components = split(state.m_path);
    const helper::NearestFolder nearest =
        components.ok ? helper::nearestFolder(components.components) : helper::NearestFolder{};
    if (!nearest.found) {
        state.m_problem =
            QString::fromStdString(components.ok ? nearest.problem : components.problem);
        return state;
    }
    if (nearest.owner != 0) {
        state.m_owner = nearest.owner;
        state.m_account = accountOf(nearest.owner);
        if (!state.m_account)
            state.m_problem = QStringLiteral("The state folder %1 belongs to uid %2, which has no "
                                             "account; nothing is kept there.")
                                  .arg(state.m_path)
                                  .arg(nearest.owner);
        return state;
    }
    const std::optional<UserAccount> root = accountOf(0);
    const QString home = root ? root->home : QString();
    if (!fromEnvironment || inside(state.m_path, home))
        return state;
    if (home.isEmpty() || home == QLatin1String("/")) {
        state.m_problem = QStringLiteral("The state folder %1 belongs to root but is not in root's "
                                         "home, and root's account names no home of its own; "
                                         "nothing is kept there.")
                              .arg(state.m_path);
        return state;
    }
    state.m_path = home + QStringLiteral("/.local/state/quorvantic-installer");
    return state;
}

bool StateFolder::run(const std::function<void()> &work, QString &problem) const
{
    if (!m_problem.isEmpty()) {
        problem = m_problem;
        return false;
    }
    if (!m_account) {
        work();
        return true;
    }
    return runAsAccount(*m_account, work, problem);
}

helper::OpenedFolder StateFolder::open(bool create, const QString &below) const
{
    const helper::SplitPath components =
        split(below.isEmpty() ? m_path : m_path + QLatin1Char('/') + below);
    if (!components.ok) {
        helper::OpenedFolder refused;
        refused.problem = components.problem;
        return refused;
    }
    helper::WalkRules rules;
    rules.create = create;
    rules.folderMode = 0700;
    rules.owner = m_owner;
    if (m_ownerLinks)
        rules.linkOwner = m_owner;
    return helper::TrustedWalk(components.components, rules).run();
}
