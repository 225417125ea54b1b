#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Path handling for the privileged helper's operations: every folder is
// opened through descriptors, one component at a time, so no link that a
// user or a bundle controls is ever followed by a call that takes a path.
namespace helper {

// Owns one file descriptor and closes it.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept;
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1);
    // Closes now, reporting whether the close succeeded (a write may fail only there).
    bool close();

private:
    int m_fd = -1;
};

using PathComponents = std::vector<std::string>;

struct SplitPath
{
    bool ok = false;
    PathComponents components;
    std::string problem;
};

// The components of an absolute path with no empty, "." or ".." component;
// one trailing "/" is accepted only when `trailingSlash` allows it.
SplitPath splitPath(std::string_view path, bool trailingSlash);

// "/" followed by the first `count` components joined with "/".
std::string joinPath(const PathComponents &components, std::size_t count);

// Whether `path` is `root` or lies below it (`strictly`: only below it).
bool startsWith(const PathComponents &path, const PathComponents &root, bool strictly);

struct OpenedFolder
{
    UniqueFd fd;
    bool missing = false; // the failure was only that a folder does not exist
    std::string problem;
};

// Opens the folder at `components` from "/". A component that is a symbolic
// link is followed only when the link itself belongs to root: only root could
// have made it. With `create`, missing folders are made with mode 0755.
// (helper/TrustedWalk.h: the same walk with other rules.)
OpenedFolder openTrustedFolder(const PathComponents &components, bool create);

// Descends from `base`, the folder of the first `from` components, through
// components [from, to), following no link; a link on the way is refused with
// `linkRefusal` followed by its path.
OpenedFolder descendFolder(UniqueFd base, const PathComponents &components, std::size_t from,
                           std::size_t to, std::string_view linkRefusal);

// The target of the link held by `linkFd` (opened with O_PATH | O_NOFOLLOW).
bool readLink(int linkFd, std::string &target);

// "a symbolic link", "a FIFO", "a folder", ... for a file type from st_mode.
std::string describeType(mode_t mode);

// Removes `name` in the folder `parentFd` like rm -R -f: missing is fine, a
// link is removed itself, a folder with its contents, and no link followed.
bool removeEntry(int parentFd, const std::string &name, const std::string &path,
                 std::string &problem);

struct FolderEntry
{
    std::string name;
    unsigned char type; // d_type: DT_UNKNOWN where the file system does not say
};

// The entries of the folder open at `fd` except "." and "..".
bool listFolder(int fd, const std::string &path, std::vector<FolderEntry> &entries,
                std::string &problem);

// A fresh name for a file or link made beside its target and then renamed over
// it, so the target is replaced whole and never written through.
std::string temporaryName();

// Whether `name` is one an installer run gives its temporaries: ".quorvantic-"
// then the process id, "-" and a count, with "undo-" or "stage-" before the
// id for what a run keeps to undo or to put in place. One left behind by a
// run that died is nobody's file.
bool isTemporaryName(std::string_view name);

// Creates a new file under a temporary name in `folderFd`, mode exactly `mode`,
// open write-only, or for reading too with `readable`.
UniqueFd createTemporaryFile(int folderFd, const std::string &folderPath, mode_t mode,
                             std::string &name, std::string &problem, bool readable = false);

// Makes the link `target` under a temporary name in `folderFd` and renames it
// over `name`; fails, leaving the entry alone, where a real folder stands.
bool replaceWithLink(int folderFd, const std::string &name, const std::string &target,
                     const std::string &path, std::string &problem);

// "what path: reason" with the reason for the current errno.
std::string failure(std::string_view what, const std::string &path);

// Nesting that copying and removing go down to, bounding the descriptors in use.
inline constexpr int maxDepth = 128;

// Writes all of `bytes` to `fd`, going on after interruptions; false on an error.
bool writeAll(int fd, const std::string &bytes);
// Reads up to `size` bytes of `fd` into `text`, going on after interruptions;
// `text` ends shorter when the file did.
void readUpTo(int fd, std::size_t size, std::string &text);

} // namespace helper
