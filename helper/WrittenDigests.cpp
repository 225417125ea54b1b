#include "helper/WrittenDigests.h"

#include "helper/Sha256.h"

#include <cerrno>
#include <string_view>
#include <unistd.h>

namespace helper {

namespace {

// Files waiting for their digest hold a descriptor each: the copy waits
// rather than run out of them.
constexpr std::size_t maxPending = 64;

} // namespace

WrittenDigests::WrittenDigests(FileDigests &digests)
    : m_digests(digests), m_buffer(std::size_t(256) << 10)
{
    try {
        m_hasher = std::thread([this] { hashLoop(); });
    } catch (...) { // no thread to be had: each file is hashed as it is given
    }
}

WrittenDigests::~WrittenDigests()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    if (m_hasher.joinable())
        m_hasher.join();
}

void WrittenDigests::add(UniqueFd file, std::string key)
{
    Pending pending{std::move(file), std::move(key)};
    if (!m_hasher.joinable()) {
        hash(pending);
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending.size() < maxPending; });
        m_pending.push_back(std::move(pending));
    }
    m_changed.notify_all();
}

void WrittenDigests::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending.empty() && !m_busy; });
}

void WrittenDigests::hashLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_pending.empty() || m_ending; });
        if (m_pending.empty())
            return;
        Pending pending = std::move(m_pending.front());
        m_pending.pop_front();
        m_busy = true;
        lock.unlock();
        m_changed.notify_all(); // room for the next
        try {
            hash(pending);
        } catch (...) { // out of memory: the listing hashes this file itself
        }
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

// From the start, whatever the descriptor's offset: the copy wrote through it.
void WrittenDigests::hash(Pending &pending)
{
    Sha256 sha;
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(pending.file.get(), m_buffer.data(), m_buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return;
        if (n == 0)
            break;
        sha.update(std::string_view(m_buffer.data(), static_cast<std::size_t>(n)));
        offset += n;
    }
    std::string digest = sha.hexDigest();
    if (digest.empty())
        return;
    const std::lock_guard lock(m_mutex);
    m_digests[std::move(pending.key)] = std::move(digest);
}

} // namespace helper
