#pragma once

#include "helper/ElementCopy.h"
#include "helper/SafePath.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The SHA-256 of each file a copy has written, read back from the written
// file itself on a second thread while the copy goes on with the next one.
// So a digest says what was installed, not what the bundle held when it was
// read, and the copy stays in the kernel.
namespace helper {

class WrittenDigests
{
public:
    explicit WrittenDigests(FileDigests &digests);
    // Waits for the files given.
    ~WrittenDigests();
    WrittenDigests(const WrittenDigests &) = delete;
    WrittenDigests &operator=(const WrittenDigests &) = delete;

    // `file` is open for reading, its contents final; `key` names it in the
    // digests. A file that cannot be read gets no digest.
    void add(UniqueFd file, std::string key);
    // Waits until every file given has its digest.
    void finish();

private:
    struct Pending
    {
        UniqueFd file;
        std::string key;
    };

    void hashLoop();
    void hash(Pending &pending);

    FileDigests &m_digests;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_pending;
    std::vector<char> m_buffer; // the hashing thread's
    bool m_busy = false;        // a file is being hashed
    bool m_ending = false;
    std::thread m_hasher; // absent where no thread could be had: hashed as given
};

} // namespace helper
