#pragma once

#include "helper/Transaction.h"
#include "script/UserSideLine.h"

#include <optional>
#include <string>
#include <sys/types.h>

// Performs the script's lines for the user's data folder in this process, as
// whoever the calling thread is (the folder's owner), with no shell: the data
// folder is reached from "/" following only root's links (and, in a user's
// own run, the user's), and below it no link is followed at all, so a link
// planted there is never written through. With a transaction, every change
// is recorded before it is made: a folder or entry made, a file or link kept
// aside before it is replaced or removed. A copy merges entry by entry (the
// destination holds the user's own presets too), each recorded on its own.
class UserSideOperations
{
public:
    struct Done
    {
        int status = 0;    // as the program or the shell would have exited
        std::string error; // its standard error, line feed included
    };

    // `linkOwner`: whose links, besides root's, are followed on the way to
    // the data folder. `undo` may be null: nothing is recorded.
    UserSideOperations(helper::PathComponents dataFolder, std::optional<uid_t> linkOwner,
                       helper::Transaction *undo);

    Done perform(const UserSideLine &line);

    // How a transaction of these operations reaches its folders again to
    // undo or finish it: inside the data folder as perform() does.
    static helper::FolderOpener opener(helper::PathComponents dataFolder,
                                       std::optional<uid_t> linkOwner);

private:
    struct Opened
    {
        helper::UniqueFd fd;
        bool missing = false;
        std::string at;     // the folder that could not be opened or made
        std::string reason; // why, as the program's message ends
    };

    // The first `count` components of `folder`; those from `createFrom` on
    // are made when missing, each recorded first.
    Opened openFolder(const helper::PathComponents &folder, std::size_t count,
                      std::size_t createFrom);
    Opened descend(helper::UniqueFd base, const helper::PathComponents &folder, std::size_t from,
                   std::size_t to, std::size_t createFrom);
    bool copyTree(int from, const std::string &fromPath, int to, const std::string &toPath,
                  int depth, std::string &error);
    bool copyEntry(int from, const std::string &fromPath, int to, const std::string &toPath,
                   const std::string &name, int depth, std::string &error);
    bool copyFile(int from, const std::string &fromPath, int to, const std::string &toPath,
                  const std::string &name, std::string &error);
    Done makeFolder(const UserSideLine &line);
    Done copyContents(const UserSideLine &line);
    Done link(const UserSideLine &line);
    Done writeText(const UserSideLine &line);
    Done giveToUser(const UserSideLine &line);
    Done removeFile(const UserSideLine &line);
    Done removeEmptyFolder(const UserSideLine &line);
    // The transaction's records, when there is one.
    bool keep(int folderFd, const std::string &folder, const std::string &name,
              std::string &problem);
    bool madeFolder(int folderFd, const std::string &folder, const std::string &name,
                    std::string &problem);

    helper::PathComponents m_dataFolder;
    std::optional<uid_t> m_linkOwner;
    helper::Transaction *m_undo;
};
