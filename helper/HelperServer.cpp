#include "helper/HelperServer.h"

#include "helper/FrameCodec.h"
#include "helper/InstallCommand.h"
#include "helper/ProcessHygiene.h"
#include "helper/SafePath.h"
#include "helper/SystemLocations.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace helper {

namespace {

std::string resolved(const std::string &path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Performs one command frame's text; an empty optional means it was refused.
std::optional<frame::CommandResult> answer(const std::string &command, ReceiptJournal &journal,
                                           int in, int out)
{
    const ParsedCommand parsed = parseInstallCommand(command);
    if (!parsed.ok)
        return std::nullopt;
    // The session closes its end to stop a long copy: between files, a hung-up
    // input ends it.
    const auto hungUp = [in] {
        pollfd input{in, POLLIN, 0};
        return ::poll(&input, 1, 0) > 0 && (input.revents & (POLLHUP | POLLERR)) != 0;
    };
    const OperationResult done = journal.perform(parsed.operation, hungUp);
    if (const std::string notice = journal.takeNotice(); !notice.empty())
        writeAll(out, frame::encode(frame::Type::notice, notice));
    frame::CommandResult result;
    if (!done.ok) {
        result.status = 1;
        result.standardError = done.message + '\n';
    }
    return result;
}

// The run's end: its changes kept or undone, as the session says.
std::optional<frame::CommandResult> finishRun(const std::string &how, ReceiptJournal &journal)
{
    if (how != frame::commitText && how != frame::rollbackText)
        return std::nullopt;
    const OperationResult done = journal.finish(how == frame::commitText);
    frame::CommandResult result;
    if (!done.ok) {
        result.status = 1;
        result.standardError = done.message + '\n';
    }
    return result;
}

} // namespace

std::optional<std::string> invokingUser(const char *uidText)
{
    if (!uidText || !*uidText)
        return std::nullopt;
    unsigned long long uid = 0;
    for (const char *p = uidText; *p; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
        uid = uid * 10 + static_cast<unsigned>(*p - '0');
        if (uid > 0xfffffffeULL)
            return std::nullopt;
    }
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        !found || !found->pw_name || !*found->pw_name)
        return std::nullopt;
    return std::string(found->pw_name);
}

std::string bundleProducts(const std::string &executable)
{
    return resolved(folderOf(executable) + '/' + std::string(locations::productsFromHelper));
}

InstallRoots systemRoots(const std::string &products)
{
    return {products,
            std::string(locations::app),
            {std::string(locations::stillPlugins), std::string(locations::videoPlugins)}};
}

void refuse(int out, const std::string &message)
{
    writeAll(out, frame::encode(frame::Type::error, message));
    std::string line = "quorvantic-helper: ";
    line += message;
    line += '\n';
    writeAll(STDERR_FILENO, line);
}

int serve(int in, int out, ReceiptJournal &journal)
{
    if (!writeAll(out, frame::encode(frame::Type::hello, frame::helloText)))
        return 1;
    std::string buffer;
    char chunk[65536];
    for (;;) {
        const frame::Decoded decoded = frame::decode(buffer, frame::Direction::toHelper);
        if (decoded.status == frame::DecodeStatus::malformed) {
            refuse(out, "malformed request: " + decoded.problem);
            return 2;
        }
        if (decoded.status == frame::DecodeStatus::complete) {
            buffer.erase(0, decoded.consumed);
            const bool finishing = decoded.frame.type == frame::Type::finish;
            const std::optional<frame::CommandResult> result =
                finishing ? finishRun(decoded.frame.payload, journal)
                          : answer(decoded.frame.payload, journal, in, out);
            if (!result) {
                refuse(out,
                       (finishing ? "not a way to end a run: " : "not an install operation: ") +
                           decoded.frame.payload);
                return 2;
            }
            if (!writeAll(out, frame::encode(frame::Type::result, frame::encodeResult(*result))))
                return 1;
            continue;
        }
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 1;
        if (n == 0) {
            if (buffer.empty())
                return 0;
            refuse(out, "malformed request: input ended inside a frame");
            return 2;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

int run(int argc, char **argv)
{
    resetSignals();
    resetLimits();
    closeInheritedDescriptors();
    ::prctl(PR_SET_DUMPABLE, 0);
    // A session of its own: the terminal's Ctrl-C goes to the installer, which
    // stops after the operation under way, not to root in the middle of it.
    ::setsid();
    ::umask(022);
    if (::chdir("/") != 0) {
        refuse(STDOUT_FILENO, "cannot change to the root folder");
        return 1;
    }
    if (::geteuid() != 0 || ::getuid() != 0) {
        refuse(STDOUT_FILENO, "refusing to run: the helper must run as root, through pkexec");
        return 1;
    }
    const std::optional<std::string> user = invokingUser(std::getenv("PKEXEC_UID"));
    if (!user) {
        refuse(STDOUT_FILENO, "refusing to run: PKEXEC_UID does not name a user");
        return 1;
    }
    if (argc != 3 || std::string(argv[1]) != "--products") {
        refuse(STDOUT_FILENO, "usage: quorvantic-helper --products FOLDER");
        return 1;
    }
    const std::string own = bundleProducts(resolved("/proc/self/exe"));
    if (own.empty() || resolved(argv[2]) != own) {
        refuse(STDOUT_FILENO, "refusing to run: " + std::string(argv[2]) +
                                  " is not the Products folder of this helper's bundle");
        return 1;
    }
    if (!dieWithParent())
        return 1;
    ReceiptJournal journal(systemRoots(own), std::string(locations::receipts), *user);
    return serve(STDIN_FILENO, STDOUT_FILENO, journal);
}

} // namespace helper
