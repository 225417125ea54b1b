#include "helper/JournalFile.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

constexpr std::string_view header = "quorvantic-journal 1 ";
constexpr std::size_t maxJournalSize = 64u << 20;

constexpr std::array<std::string_view, 7> kindNames = {
    "made", "made-folder", "kept", "moved-aside", "staged", "swapped", "committed",
};

// Fields are separated by spaces; a space, a control character or "%" in
// one is written as "%XX", so any name fits on one line.
void appendField(std::string &line, std::string_view field)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    line += ' ';
    if (field.empty())
        line += '%'; // an empty field, kept visible
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '%') {
            line += '%';
            line += hex[byte >> 4];
            line += hex[byte & 0x0f];
        } else {
            line += c;
        }
    }
}

bool decodeField(std::string_view field, std::string &into)
{
    into.clear();
    if (field == "%")
        return true;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            into += field[i];
            continue;
        }
        unsigned value = 0;
        if (i + 3 > field.size())
            return false;
        const auto parsed = std::from_chars(field.data() + i + 1, field.data() + i + 3, value, 16);
        if (parsed.ec != std::errc() || parsed.ptr != field.data() + i + 3)
            return false;
        into += static_cast<char>(value);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t space = line.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

template <typename Number> bool number(std::string_view text, Number &value)
{
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size();
}

} // namespace

std::string encodeStep(const JournalStep &step)
{
    std::string line(kindNames[static_cast<std::size_t>(step.kind)]);
    appendField(line, step.folder);
    appendField(line, step.name);
    appendField(line, step.aside);
    line += ' ' + std::to_string(step.inode) + ' ' + std::to_string(step.folderInode);
    line += '\n';
    return line;
}

bool decodeStep(std::string_view line, JournalStep &step)
{
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.size() != 6)
        return false;
    std::size_t kind = 0;
    while (kind < kindNames.size() && kindNames[kind] != fields[0])
        ++kind;
    if (kind == kindNames.size())
        return false;
    step.kind = static_cast<JournalStep::Kind>(kind);
    return decodeField(fields[1], step.folder) && decodeField(fields[2], step.name) &&
           decodeField(fields[3], step.aside) && number(fields[4], step.inode) &&
           number(fields[5], step.folderInode);
}

JournalContents parseJournal(std::string_view text)
{
    JournalContents contents;
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos || text.substr(0, header.size()) != header ||
        !number(text.substr(header.size(), firstEnd - header.size()), contents.pid)) {
        contents.problem = "not a journal of this installer";
        return contents;
    }
    std::size_t start = firstEnd + 1;
    for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
        JournalStep step;
        if (!decodeStep(text.substr(start, end - start), step)) {
            contents.problem = "a step of the journal cannot be read";
            return contents;
        }
        contents.steps.push_back(std::move(step));
    }
    contents.ok = true; // what follows the last line feed was never synced
    return contents;
}

bool JournalFile::create(int folderFd, const std::string &folderPath, std::string &problem)
{
    m_path = folderPath + std::string(journalName);
    UniqueFd fd(::openat(folderFd, std::string(journalName).c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        problem = failure("cannot start the journal", m_path);
        return false;
    }
    m_fd = std::move(fd);
    m_folderFd = folderFd;
    if (!writeAll(m_fd.get(), std::string(header) + std::to_string(::getpid()) + '\n') ||
        ::fdatasync(m_fd.get()) != 0 || ::fsync(folderFd) != 0) {
        problem = failure("cannot write the journal", m_path);
        std::string ignored;
        remove(ignored);
        return false;
    }
    return true;
}

bool JournalFile::append(const std::string &line, std::string &problem)
{
    if (writeAll(m_fd.get(), line) && ::fdatasync(m_fd.get()) == 0)
        return true;
    problem = failure("cannot write the journal", m_path);
    return false;
}

bool JournalFile::remove(std::string &problem)
{
    m_fd.reset();
    if (!removeAt(m_folderFd, m_path.substr(0, m_path.size() - journalName.size()), problem))
        return false;
    m_folderFd = -1;
    return true;
}

JournalContents JournalFile::read(int folderFd, const std::string &folderPath, bool &found)
{
    JournalContents contents;
    const std::string path = folderPath + std::string(journalName);
    UniqueFd fd(::openat(folderFd, std::string(journalName).c_str(),
                         O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    found = fd.valid() || errno != ENOENT;
    struct stat status = {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > off_t(maxJournalSize)) {
        contents.problem = found ? path + ": is not a journal that can be read" : std::string();
        return contents;
    }
    std::string text;
    readUpTo(fd.get(), static_cast<std::size_t>(status.st_size), text);
    contents = parseJournal(text);
    if (!contents.ok)
        contents.problem = path + ": " + contents.problem;
    return contents;
}

bool JournalFile::removeAt(int folderFd, const std::string &folderPath, std::string &problem)
{
    if ((::unlinkat(folderFd, std::string(journalName).c_str(), 0) != 0 && errno != ENOENT) ||
        ::fsync(folderFd) != 0) {
        problem = failure("cannot remove the journal", folderPath + std::string(journalName));
        return false;
    }
    return true;
}

} // namespace helper
