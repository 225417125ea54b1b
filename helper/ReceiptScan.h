#pragma once

#include "helper/ElementCopy.h"
#include "helper/InstallOperations.h"
#include "helper/Receipt.h"
#include "helper/SafePath.h"

#include <string>
#include <vector>

// Reading and removing what a receipt lists, as root: every path is reached
// from its install folder through descriptors, following no link below it.
namespace helper {

// The folder among `roots` (the app folder and the link folders) that `path`
// lies strictly inside; null when none.
const PathComponents *installFolderOf(const PathComponents &path,
                                      const std::vector<PathComponents> &roots);

// Opens the folder holding `path`'s last component: `root` by the trusted walk,
// then down following no link.
OpenedFolder openHolder(const PathComponents &root, const PathComponents &path);

// Appends an entry for the copied element `copied` (inside `root`) and for
// everything below it. A file's digest is the one the copy took of what it
// wrote (`digests`, by the path inside `copied`); a file not there is
// hashed here.
bool scanCopy(const PathComponents &root, const PathComponents &copied, const FileDigests &digests,
              std::vector<ReceiptEntry> &entries, std::string &problem);

// The entry `path` would get now; false when it is missing or unreadable.
bool describe(const PathComponents &root, const PathComponents &path, bool recurse,
              std::vector<ReceiptEntry> &entries, std::string &problem);

// Removes a recorded file or link: a link only while it still points where
// recorded, a file only while it is still a regular file. Missing is success.
// With `undo`, it is moved aside rather than removed.
OperationResult removeRecordedEntry(const ReceiptEntry &entry, const PathComponents &root,
                                    Transaction *undo = nullptr);

// Removes a recorded folder if it is empty; one that holds something stays,
// which is success too. `path` may be an install folder or one above it.
OperationResult removeFolderIfEmpty(const PathComponents &path,
                                    const std::vector<PathComponents> &roots, bool &removed,
                                    Transaction *undo = nullptr);

} // namespace helper
