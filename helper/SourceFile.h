#pragma once

#include "helper/SafePath.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/stat.h>

// Opening a bundle's file for reading as root: only a regular file is ever
// opened, nothing can make the open block (a FIFO swapped in, a device), and
// a file another program holds a lease on (a file server does) is waited for.
namespace helper {

// How long a lease holder gets to let go: more than the kernel's default
// lease-break-time (45 s), after which the kernel breaks the lease itself.
inline constexpr std::chrono::milliseconds defaultLeaseWait{60000};

struct SourceFile
{
    int folderFd = -1;       // the folder holding the file
    const std::string &name; // its name there
    const std::string &path; // its path, for messages
    std::chrono::milliseconds leaseWait = defaultLeaseWait;
    // Asked while a lease is waited for: true gives up (the run was stopped).
    const std::function<bool()> &stopped;
};

// "PATH is a FIFO and cannot be installed", for a type from st_mode.
std::string notInstallable(const std::string &path, mode_t mode);
// "PATH changed while it was being installed".
std::string changedWhileInstalling(const std::string &path);
// "the install was stopped before PATH was copied".
std::string stoppedBefore(const std::string &path);

// Opens the file read-only, following no link. The entry is looked at first
// and opened only when it is a regular file; the descriptor must then be that
// same file (device and inode), else it changed under the open and is refused.
// Fills `status` from the open descriptor.
UniqueFd openSourceFile(const SourceFile &file, struct stat &status, std::string &problem);

} // namespace helper
