#pragma once

#include "helper/SafePath.h"

#include <utility>

// The exclusive lock on a receipt store, held for as long as this lives: the
// store folder's own descriptor, flock()ed, so no lock file is left behind.
namespace helper {

class StoreLock
{
public:
    explicit StoreLock(UniqueFd folder) : m_folder(std::move(folder)) {}

    // The locked folder, open.
    int folder() const { return m_folder.get(); }

private:
    UniqueFd m_folder;
};

} // namespace helper
