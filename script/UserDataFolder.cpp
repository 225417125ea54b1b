#include "script/UserDataFolder.h"

#include "script/UserAccount.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

QString userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home)
{
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (xdgDataHome.startsWith('/'))
        return QDir::cleanPath(QFile::decodeName(xdgDataHome));
    if (home.startsWith('/'))
        return QDir::cleanPath(QFile::decodeName(home) + QStringLiteral("/.local/share"));
    return QString();
}

QString userDataFolderOfThisProcess()
{
    QByteArray home = qgetenv("HOME");
    // Cron jobs and service units may leave HOME unset or relative: the
    // account's own home stands in, never the root of the file system.
    if (!home.startsWith('/')) {
        if (const std::optional<UserAccount> account = accountOf(::geteuid()))
            home = QFile::encodeName(account->home);
    }
    return userDataFolder(qgetenv("XDG_DATA_HOME"), home);
}
