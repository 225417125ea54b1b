#include "script/UserDataFolder.h"

#include <QDir>
#include <QFile>

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
    return userDataFolder(qgetenv("XDG_DATA_HOME"), qgetenv("HOME"));
}
