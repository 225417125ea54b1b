#pragma once

#include "script/CommandShell.h"

#include <QString>

#include <memory>

// The shell for the script's lines that write into the user's data folder
// (the photo-host files), which never run as root for another user:
// - in a process of an ordinary user, as that user;
// - in a root process, as the owner of the data folder (of the nearest folder
//   of it that exists), with that account's groups; as root only when the
//   folder lies in root's own home.
// USER and LOGNAME always come from the account the shell runs as; HOME from
// the environment when it is an absolute path there, else from the account.
// When none of this can be decided, every command fails with the reason.
std::unique_ptr<CommandShell> makeUserSideShell(const QString &dataFolder);
