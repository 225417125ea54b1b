#pragma once

#include <QByteArray>
#include <QString>

// The user's data folder by the XDG base-directory rules: XDG_DATA_HOME when
// it is an absolute path, else HOME/.local/share; empty without either.
QString userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home);

// The same for this process's environment, with the account's home where
// HOME is missing or relative.
QString userDataFolderOfThisProcess();
