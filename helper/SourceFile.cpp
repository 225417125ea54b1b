#include "helper/SourceFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace helper {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Never blocking: a FIFO opens at once (and is refused on its type), and a
// leased file fails with EWOULDBLOCK instead of waiting out of reach.
constexpr int fileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

std::string leaseHeld(const SourceFile &file)
{
    const auto seconds = (file.leaseWait.count() + 999) / 1000;
    return "cannot read " + file.path +
           ": another program holds a lease on it and did not release it within " +
           std::to_string(seconds) + " s";
}

// A refused open has already told the lease holder to let go (the kernel
// signals it); the open is tried again until it gives way or the wait ends.
UniqueFd openWaitingForLease(const SourceFile &file, std::string &problem)
{
    const Clock::time_point deadline = Clock::now() + file.leaseWait;
    milliseconds pause{5};
    for (;;) {
        UniqueFd fd(::openat(file.folderFd, file.name.c_str(), fileFlags));
        if (fd.valid())
            return fd;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            problem = errno == ELOOP ? changedWhileInstalling(file.path)
                                     : failure("cannot read", file.path);
            return {};
        }
        if (file.stopped && file.stopped()) {
            problem = stoppedBefore(file.path);
            return {};
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            problem = leaseHeld(file);
            return {};
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, milliseconds{200});
    }
}

} // namespace

std::string notInstallable(const std::string &path, mode_t mode)
{
    return path + " is " + describeType(mode) + " and cannot be installed";
}

std::string changedWhileInstalling(const std::string &path)
{
    return path + " changed while it was being installed";
}

std::string stoppedBefore(const std::string &path)
{
    return "the install was stopped before " + path + " was copied";
}

UniqueFd openSourceFile(const SourceFile &file, struct stat &status, std::string &problem)
{
    struct stat checked = {};
    if (::fstatat(file.folderFd, file.name.c_str(), &checked, AT_SYMLINK_NOFOLLOW) != 0) {
        problem = failure("cannot read", file.path);
        return {};
    }
    // The listing said a regular file: anything else now was put there since.
    if (!S_ISREG(checked.st_mode)) {
        problem = S_ISLNK(checked.st_mode) ? changedWhileInstalling(file.path)
                                           : notInstallable(file.path, checked.st_mode);
        return {};
    }
    UniqueFd fd = openWaitingForLease(file, problem);
    if (!fd.valid())
        return fd;
    if (::fstat(fd.get(), &status) != 0) {
        problem = failure("cannot read", file.path);
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        problem = notInstallable(file.path, status.st_mode);
        return {};
    }
    if (status.st_dev != checked.st_dev || status.st_ino != checked.st_ino) {
        problem = changedWhileInstalling(file.path);
        return {};
    }
    return fd;
}

} // namespace helper
