#pragma once

#include "helper/SafePath.h"

#include <deque>
#include <optional>
#include <string>
#include <sys/types.h>

namespace helper {

// What a walk from "/" to a folder may do on its way.
struct WalkRules
{
    // Links are followed when root made them, and also when this uid did (a
    // process's own links, in a run for itself); every other link is refused.
    std::optional<uid_t> linkOwner;
    // Missing folders are made, mode exactly `folderMode`.
    bool create = false;
    mode_t folderMode = 0755;
    // Whether what a followed link names may be made when it is missing; when
    // not, a dangling link is reported as missing and nothing is made for it.
    bool createThroughLinks = false;
    // The folder reached must belong to this uid (fstat on its descriptor).
    std::optional<uid_t> owner;
};

// Opens a folder one component at a time from "/", following only the links
// the rules allow. The folders passed are opened with O_PATH, which needs
// search permission only; the last one is opened for reading, since it is
// listed and locked.
class TrustedWalk
{
public:
    TrustedWalk(const PathComponents &components, const WalkRules &rules);

    OpenedFolder run();
    // After a run that failed: the deepest folder it had reached, and its path.
    const UniqueFd &reached() const { return m_current; }
    const std::string &reachedPath() const { return m_shown; }

private:
    struct Pending
    {
        std::string name;
        bool fromLink; // named by a link's target rather than the path itself
    };

    bool step(const Pending &component, OpenedFolder &result);
    int openOrMake(const Pending &component, bool last, const std::string &path,
                   OpenedFolder &result);
    bool followLink(const std::string &name, const std::string &path, OpenedFolder &result);
    bool restartAtRoot();

    std::deque<Pending> m_pending;
    WalkRules m_rules;
    UniqueFd m_current;
    std::string m_shown = "/";
    int m_hops = 0;
};

// The deepest folder of `components` that exists, reached as TrustedWalk
// reaches it with root's links only, and who owns it: whose a path is, before
// anything is made there.
struct NearestFolder
{
    bool found = false;
    uid_t owner = 0;
    std::string path;
    std::string problem;
};
NearestFolder nearestFolder(const PathComponents &components);

} // namespace helper
