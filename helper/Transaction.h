#pragma once

#include "helper/JournalFile.h"
#include "helper/SafePath.h"

#include <functional>
#include <string>
#include <vector>

// One run's changes to a set of folders, made so that they can all be undone:
// before a step replaces or removes an entry, the old one is moved (or hard
// linked) aside on the same file system; a new folder tree is built under a
// staging name and swapped in whole. The journal in the store folder records
// each step, synced, before the step runs, so a run killed at any point is
// undone by the next one (recover()).
//
// What a power loss leaves: the journal's records reach the disk before
// their steps (fdatasync), and the commit record only after everything the
// run wrote (syncfs of each file system it touched). Renames are not synced
// one by one: undoing checks what stands (by inode) rather than trusting
// that a step happened, so either outcome of a lost rename is undone.
namespace helper {

// Opens an absolute folder path (no trailing "/") the way the side that owns
// the transaction reaches its folders: root following only root's links, a
// user as the user.
using FolderOpener = std::function<OpenedFolder(const std::string &folder)>;

struct TransactionEnd
{
    bool ok = true;
    std::string problem; // what is left undone and how to finish it
};

class Transaction
{
public:
    // The journal lives in the store folder open at `storeFd` (which the
    // caller keeps open and locked for as long as this lives).
    Transaction(int storeFd, std::string storePath, FolderOpener open);
    // A transaction neither committed nor rolled back is rolled back.
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool begun() const { return m_journal.isOpen(); }

    // Each of these records its step and syncs the journal before anything
    // changes; false (with `problem`) means nothing was done and the step
    // must not run. `folderFd` is the open folder `folder` names.

    // A new entry will be made at `name`: undone by removing it.
    bool willMake(int folderFd, const std::string &folder, const std::string &name,
                  std::string &problem);
    // A folder will be made at `name`: undone by removing it once empty.
    bool willMakeFolder(int folderFd, const std::string &folder, const std::string &name,
                        std::string &problem);
    // The file or link at `name` will be replaced or removed: it is hard
    // linked aside first and put back on undo. Missing: as willMake.
    bool keep(int folderFd, const std::string &folder, const std::string &name,
              std::string &problem);
    // The entry at `name`, of any type, is moved aside now (a removal that
    // can be undone). Missing: nothing to do.
    bool moveAside(int folderFd, const std::string &folder, const std::string &name,
                   std::string &problem);
    // A fresh staging name in `folder` for a tree built before it is swapped
    // in; removed on undo and at commit. Empty on failure.
    std::string stage(int folderFd, const std::string &folder, std::string &problem);
    // Puts the staged tree at `name` in one step: exchanged with what stands
    // there (which then waits under the staging name for the commit), or
    // renamed there when nothing does.
    bool swapIn(int folderFd, const std::string &folder, const std::string &staged,
                const std::string &name, std::string &problem);
    // Whether the folder open at `folderFd` holds nothing but what this
    // transaction set aside in it: empty, as far as a removal is concerned.
    bool holdsOnlySetAside(int folderFd, const std::string &folder) const;
    // Makes the run's changes final: what was moved aside is removed and the
    // journal goes.
    TransactionEnd commit();
    // Undoes every recorded step, last first; the journal goes once all are
    // undone, else it stays for the next run to finish.
    TransactionEnd rollback();

    // Leaves the journal as it stands for the next run to settle, when this
    // process may not act in the folders now; nothing is undone here.
    void abandon() { m_ended = true; }

    struct Recovered
    {
        bool found = false;     // a dead run's journal was there
        bool committed = false; // it had committed: only its clean-up was finished
        TransactionEnd end;
    };
    // Finishes what a dead run left: its commit when it had committed, else
    // undoes it. Call with the store locked, before anything else.
    static Recovered recover(int storeFd, const std::string &storePath, const FolderOpener &open);

private:
    bool record(JournalStep step, int folderFd, std::string &problem);
    std::string asideName();

    int m_storeFd;
    std::string m_storePath;
    FolderOpener m_open;
    JournalFile m_journal;
    std::vector<JournalStep> m_steps;
    // A folder on each file system the steps touched, synced before the commit.
    std::vector<std::pair<unsigned long long, UniqueFd>> m_fileSystems;
    unsigned m_next = 0;
    bool m_ended = false;
};

} // namespace helper
