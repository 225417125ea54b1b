#include "helper/HelperServer.h"

#include "helper/FrameCodec.h"
#include "helper/ShellCommand.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

bool writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

const std::string rootFolder(1, '/');

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

std::vector<std::string> commandEnvironment(const std::string &user)
{
    return {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C.UTF-8", "USER=" + user,
            "LOGNAME=" + user};
}

void refuse(int out, const std::string &message)
{
    writeAll(out, frame::encode(frame::Type::error, message));
    std::string line = "quorvantic-helper: ";
    line += message;
    line += '\n';
    writeAll(STDERR_FILENO, line);
}

int serve(int in, int out, const std::vector<std::string> &environment)
{
    if (!writeAll(out, frame::encode(frame::Type::hello, frame::helloText)))
        return 1;
    std::string buffer;
    char chunk[65536];
    for (;;) {
        const frame::Decoded decoded = frame::decode(buffer, frame::Direction::toHelper);
        if (decoded.status == frame::DecodeStatus::malformed) {
            std::string message = "malformed request: ";
            message += decoded.problem;
            refuse(out, message);
            return 2;
        }
        if (decoded.status == frame::DecodeStatus::complete) {
            buffer.erase(0, decoded.consumed);
            const ShellLaunch launch{decoded.frame.payload, true, environment, rootFolder};
            const ShellRun run = runShellCommand(launch);
            if (!run.started) {
                refuse(out, run.problem);
                return 1;
            }
            const std::string payload = frame::encodeResult(run.result);
            if (payload.size() > frame::maxReplyPayload) {
                refuse(out, "the command's output is too large to return");
                return 1;
            }
            if (!writeAll(out, frame::encode(frame::Type::result, payload)))
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

int run()
{
    // A session that went away must end us through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
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
    return serve(STDIN_FILENO, STDOUT_FILENO, commandEnvironment(*user));
}

} // namespace helper
