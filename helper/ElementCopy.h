#pragma once

#include "helper/SourceFile.h"

#include <functional>
#include <string>
#include <unordered_map>

// Copies one element folder of a bundle into the app folder, in process and
// without following any link, merged like `cp -R -f`.
namespace helper {

// The SHA-256 of each file a copy wrote, by its path inside the element
// ("/Contents/file").
using FileDigests = std::unordered_map<std::string, std::string>;

struct CopyEnds
{
    int sourceFolderFd = -1; // the product folder holding the element
    std::string elementName; // the element's name there
    std::string sourcePath;  // the element's path, for messages
    int destinationFolderFd = -1;
    std::string destinationPath; // where the element lands, for messages
    // Asked before each file: true ends the copy there (the run was stopped).
    std::function<bool()> stopped;
    // How long a file another program holds a lease on is waited for.
    std::chrono::milliseconds leaseWait = defaultLeaseWait;
    // The name the copy gets in the destination; empty: the element's own.
    std::string destinationName;
    // Where given, each file is hashed as written, read back from the copy.
    FileDigests *digests = nullptr;
};

// The whole element is looked over first, so an element holding a device
// node, FIFO or socket, or nested too deep, is refused before anything is
// written; each file is checked again on its open descriptor as it is copied.
// New files and folders get the source's permission bits within 0755: never
// writable by the group or others, no set-ID or sticky bits, executable bits
// kept; a folder that was there is held to the same bits. A destination
// entry of the wrong type, or a folder another user owns, is removed, never
// followed.
bool copyElementTree(const CopyEnds &ends, std::string &problem);

} // namespace helper
