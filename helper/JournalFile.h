#pragma once

#include "helper/SafePath.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The journal of a transaction (helper/Transaction.h): a text file in the
// receipts folder, one line a step, each synced before its step runs. The
// first line names the process that wrote it; a last line without its line
// feed was cut off mid-write, before its step began, and is ignored.
namespace helper {

inline constexpr std::string_view journalName = "transaction.journal";

struct JournalStep
{
    enum class Kind
    {
        made,       // name was made new: remove it
        madeFolder, // the folder name was made: remove it once empty
        kept,       // name was hard linked to aside: put aside back
        movedAside, // name was renamed to aside: rename it back
        staged,     // a tree is built at name: remove it
        swapped,    // aside (staged) and name were exchanged; inode: what stood at name
        committed,  // every step succeeded: only the clean-up remains
    };
    Kind kind = Kind::made;
    std::string folder; // absolute, no trailing "/"
    std::string name;
    std::string aside;
    unsigned long long inode = 0;
    // The folder's own: a step whose folder was since swapped out or made
    // again is not undone in the folder that now has that path.
    unsigned long long folderInode = 0;
};

// One line, line feed included; and back (false for a line that is not one).
std::string encodeStep(const JournalStep &step);
bool decodeStep(std::string_view line, JournalStep &step);

struct JournalContents
{
    bool ok = false;
    long pid = 0; // of the process that wrote it
    std::vector<JournalStep> steps;
    std::string problem;
};
// The journal's text, read back.
JournalContents parseJournal(std::string_view text);

class JournalFile
{
public:
    bool isOpen() const { return m_fd.valid(); }
    // Creates the journal in the folder open at `folderFd` (it must not be
    // there), with its first line, and syncs it and the folder.
    bool create(int folderFd, const std::string &folderPath, std::string &problem);
    // Appends one line and syncs it (fdatasync): false when it is not on disk.
    bool append(const std::string &line, std::string &problem);
    // Removes the journal and syncs the folder: the transaction is over.
    bool remove(std::string &problem);

    // The journal a run left in the folder; `found` false when there is none.
    static JournalContents read(int folderFd, const std::string &folderPath, bool &found);
    // Removes a journal found by read().
    static bool removeAt(int folderFd, const std::string &folderPath, std::string &problem);

private:
    UniqueFd m_fd;
    int m_folderFd = -1;
    std::string m_path;
};

} // namespace helper
