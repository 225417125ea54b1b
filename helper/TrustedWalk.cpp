#include "helper/TrustedWalk.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace helper {

namespace {

constexpr int maxLinkHops = 40;

std::vector<std::string> componentsOf(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t slash = path.find('/', from);
        if (slash == std::string_view::npos)
            slash = path.size();
        // "." names no step: left in, the folder before it would be taken as the last.
        if (slash > from && path.substr(from, slash - from) != ".")
            parts.emplace_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return parts;
}

} // namespace

TrustedWalk::TrustedWalk(const PathComponents &components, const WalkRules &rules) : m_rules(rules)
{
    for (const std::string &name : components)
        m_pending.push_back({name, false});
}

bool TrustedWalk::restartAtRoot()
{
    m_current.reset(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    m_shown = "/";
    return m_current.valid();
}

OpenedFolder TrustedWalk::run()
{
    OpenedFolder result;
    if (!restartAtRoot()) {
        result.problem = failure("cannot open folder", "/");
        return result;
    }
    while (!m_pending.empty()) {
        const Pending next = std::move(m_pending.front());
        m_pending.pop_front();
        if (next.name != "." && !step(next, result))
            return result;
    }
    struct stat status = {};
    if (m_rules.owner &&
        (::fstat(m_current.get(), &status) != 0 || status.st_uid != *m_rules.owner)) {
        result.problem = "the folder " + m_shown + " does not belong to uid " +
                         std::to_string(*m_rules.owner) + " (it belongs to uid " +
                         std::to_string(status.st_uid) + ")";
        return result;
    }
    result.fd = std::move(m_current);
    return result;
}

bool TrustedWalk::step(const Pending &component, OpenedFolder &result)
{
    const std::string path = m_shown == "/" ? "/" + component.name : m_shown + '/' + component.name;
    const int fd = openOrMake(component, m_pending.empty(), path, result);
    if (fd >= 0) {
        m_current.reset(fd);
        m_shown = path;
        return true;
    }
    if (!result.problem.empty())
        return false;
    if (errno == ELOOP || errno == ENOTDIR)
        return followLink(component.name, path, result);
    result.missing = errno == ENOENT;
    result.problem = failure("cannot open folder", path);
    return false;
}

int TrustedWalk::openOrMake(const Pending &component, bool last, const std::string &path,
                            OpenedFolder &result)
{
    const char *name = component.name.c_str();
    const int flags = (last ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const int fd = ::openat(m_current.get(), name, flags);
    if (fd >= 0 || errno != ENOENT || !m_rules.create ||
        (component.fromLink && !m_rules.createThroughLinks))
        return fd;
    if (::mkdirat(m_current.get(), name, m_rules.folderMode) != 0) {
        if (errno != EEXIST) {
            result.problem = failure("cannot create folder", path);
            return -1;
        }
        return ::openat(m_current.get(), name, flags); // made meanwhile: left as it is
    }
    // Opened for reading, which fchmod needs, to make the mode exact whatever the umask.
    const int made =
        ::openat(m_current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (made >= 0)
        ::fchmod(made, m_rules.folderMode);
    return made;
}

bool TrustedWalk::followLink(const std::string &name, const std::string &path, OpenedFolder &result)
{
    const UniqueFd link(::openat(m_current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status = {};
    if (!link.valid() || ::fstat(link.get(), &status) != 0) {
        result.problem = failure("cannot open folder", path);
        return false;
    }
    if (!S_ISLNK(status.st_mode)) {
        result.problem = "not a folder: " + path + " is " + describeType(status.st_mode);
        return false;
    }
    if (status.st_uid != 0 && status.st_uid != m_rules.linkOwner.value_or(0)) {
        result.problem = "refusing to follow a link not owned by root: " + path;
        return false;
    }
    std::string target;
    if (++m_hops > maxLinkHops || !readLink(link.get(), target) || target.empty()) {
        result.problem = "cannot follow the link " + path;
        return false;
    }
    if (target.front() == '/' && !restartAtRoot()) {
        result.problem = failure("cannot open folder", "/");
        return false;
    }
    std::vector<Pending> named;
    for (std::string &part : componentsOf(target))
        named.push_back({std::move(part), true});
    m_pending.insert(m_pending.begin(), named.begin(), named.end());
    return true;
}

NearestFolder nearestFolder(const PathComponents &components)
{
    TrustedWalk walk(components, WalkRules{});
    const OpenedFolder opened = walk.run();
    const int fd = opened.fd.valid() ? opened.fd.get() : walk.reached().get();
    NearestFolder nearest;
    struct stat status = {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        nearest.problem =
            opened.problem.empty() ? failure("cannot open folder", "/") : opened.problem;
        return nearest;
    }
    nearest.found = true;
    nearest.owner = status.st_uid;
    nearest.path = walk.reachedPath();
    return nearest;
}

} // namespace helper
