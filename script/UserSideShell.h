#pragma once

#include "helper/Transaction.h"
#include "script/CommandShell.h"
#include "script/UserAccount.h"
#include "script/UserSideOperations.h"

#include <QString>

#include <memory>
#include <optional>

// The shell for the script's lines that write into the user's data folder
// (the photo-host files), which never run as root for another user:
// - in a process of an ordinary user, as that user;
// - in a root process, as the owner of the data folder (of the nearest folder
//   of it that exists), with that account's groups; as root only when the
//   folder lies in root's own home.
// The lines the composer writes there (script/UserSideLine.h) are performed
// in this process, without a shell (script/UserSideOperations.h); with a
// journal folder that the same account owns, they are one transaction that
// finish() keeps or undoes. Any other line runs with /bin/sh as that account,
// with USER and LOGNAME from the account and HOME from the environment when
// it is an absolute path there, else from the account; its changes cannot
// be undone.
class UserSideShell : public CommandShell
{
public:
    // `account`: whom a root process acts as; none: as this process is.
    UserSideShell(const QString &dataFolder, std::optional<UserAccount> account,
                  std::unique_ptr<CommandShell> shell);
    // Changes left unsettled are undone, as the account.
    ~UserSideShell() override;

    ShellOutcome run(const QString &command) override;
    void setStopFlag(std::shared_ptr<const std::atomic<bool>> flag) override;
    void setJournalFolder(const QString &folder) override { m_journalFolder = folder; }
    void setSettleHook(SettleHook hook) override { m_settleHook = std::move(hook); }
    ShellEnding finish(bool keep) override;

    // Where this process's own lines take their sources from (the app folder).
    void setAppFolder(const QString &folder);

private:
    bool act(const std::function<void()> &work, QString &problem) const;
    void startTransaction();

    helper::PathComponents m_dataFolder;
    helper::PathComponents m_appFolder;
    std::optional<UserAccount> m_account;
    std::optional<uid_t> m_linkOwner;
    std::unique_ptr<CommandShell> m_shell;
    QString m_journalFolder;
    SettleHook m_settleHook;
    helper::UniqueFd m_store;
    std::string m_storePath;
    std::optional<helper::Transaction> m_transaction;
    std::optional<UserSideOperations> m_operations;
    bool m_started = false;
    bool m_settled = false;
    // A line changed what no transaction can undo (it ran in the shell, or
    // before any journal could be kept).
    bool m_unrecorded = false;
};

// The shell for `dataFolder` as decided above; when nothing can be decided,
// every command fails with the reason.
std::unique_ptr<CommandShell> makeUserSideShell(const QString &dataFolder);
