#pragma once

#include "helper/SafePath.h"
#include "script/UserAccount.h"

#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>

// Where a run keeps the user's state (its log, the user receipts) and as whom
// it reads and writes there, decided once for a folder:
// - a process of an ordinary user acts as itself, and may follow links it or
//   root made on the way (its own setup);
// - a root process looks for the nearest folder of the path that exists,
//   following no link but root's. A user's: it acts as that user, through
//   runAsAccount, following no link the user made. Root's: it acts as root
//   when the folder lies in root's home or was named by the program itself;
//   a root-owned folder that the environment names elsewhere (/tmp, or one
//   reached through a link) is not root's state, and root's own state folder
//   in its account's home is used instead.
// Whoever acts, the folder reached must belong to them (fstat on its
// descriptor), and what is made there is theirs: root makes nothing in a
// user's home.
class StateFolder
{
public:
    // XDG_STATE_HOME when it is an absolute path, else HOME/.local/state (the
    // account's home when HOME is not absolute), then "quorvantic-installer";
    // empty when there is no absolute home.
    static QString environmentFolder();
    // The folder of environmentFolder(), decided for this process.
    static StateFolder ofEnvironment();
    // A folder the program names itself: as root, one of root's is used as it
    // is wherever it lies.
    static StateFolder at(const QString &folder);
    // Where the user part of `dataFolder` is kept: the environment's folder,
    // except in a root process whose folder is not the data folder owner's;
    // then that account's own (its home's .local/state), so that the user's
    // changes and their record are kept by the same hands. Root's when the
    // account has none it may act in.
    static StateFolder ofDataFolder(const QString &dataFolder);

    // The folder used (root's own in place of the one asked for, as above);
    // empty when there is none.
    QString path() const { return m_path; }
    // Why nothing may be kept there at all; empty when something may.
    QString problem() const { return m_problem; }
    // Who acts there and must own it.
    uid_t owner() const { return m_owner; }
    // Whether links of the owner are followed as well as root's.
    bool followsOwnerLinks() const { return m_ownerLinks; }

    // Runs `work` as the folder's owner and returns once it has ended; false,
    // with why, when it could not (problem(), or the credentials could not be
    // taken), and `work` has not run.
    bool run(const std::function<void()> &work, QString &problem) const;
    // Within run(): the folder at path() and then `below` (a relative path,
    // may be empty), reached through descriptors under these rules; with
    // `create`, what is missing is made, mode 0700.
    helper::OpenedFolder open(bool create, const QString &below = QString()) const;

private:
    static StateFolder decide(const QString &folder, bool fromEnvironment);

    QString m_path;
    QString m_problem;
    uid_t m_owner = 0;
    bool m_ownerLinks = false;
    std::optional<UserAccount> m_account; // whom to become; none: act as this process is
};
