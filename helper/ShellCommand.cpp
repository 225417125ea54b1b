#include "helper/ShellCommand.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

void closeIfOpen(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Ends a shell that outlives a stop: SIGTERM to its group after the grace,
// SIGKILL 5 s later. Checked between reads, so the reads wake up to it.
class Stopper
{
public:
    Stopper(const ShellLaunch &launch, pid_t pid) : m_launch(launch), m_pid(pid) {}

    // How long a poll may wait before the next check.
    int pollTimeout() const { return m_launch.stopRequested ? 100 : -1; }

    void check()
    {
        if (!m_launch.stopRequested || !m_launch.stopRequested->load())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!m_since)
            m_since = now;
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - *m_since).count();
        if (m_sent == 0 && waited >= m_launch.stopGraceMs) {
            ::kill(-m_pid, SIGTERM);
            m_sent = SIGTERM;
        } else if (m_sent == SIGTERM && waited >= m_launch.stopGraceMs + 5000) {
            ::kill(-m_pid, SIGKILL);
            m_sent = SIGKILL;
        }
    }

private:
    const ShellLaunch &m_launch;
    pid_t m_pid;
    std::optional<std::chrono::steady_clock::time_point> m_since;
    int m_sent = 0;
};

// Reads both pipes until both close, keeping at most `limit` bytes of each;
// true when anything was dropped.
bool drain(int outRead, int errRead, std::string &out, std::string &err, std::size_t limit,
           Stopper &stopper)
{
    bool dropped = false;
    pollfd fds[2] = {{outRead, POLLIN, 0}, {errRead, POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        stopper.check();
        const int ready = ::poll(fds, 2, stopper.pollTimeout());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return dropped;
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                const std::size_t room = limit - std::min(limit, sinks[i]->size());
                const auto got = static_cast<std::size_t>(n);
                sinks[i]->append(chunk, std::min(room, got));
                dropped = dropped || got > room;
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return dropped;
}

// Starts `/bin/sh -c command` with the given standard descriptors; returns
// posix_spawn's error number, 0 when it started.
//
// posix_spawn, not fork: the child shares this process's memory until it
// execs, so neither copies page tables nor takes copy-on-write faults
// afterwards, which costs as much as the shell itself in a large process.
// The child gets default dispositions for the signals a caller may
// ignore or block (the helper ignores SIGPIPE) and an empty mask.
int spawnShell(const ShellLaunch &launch, int in, int out, int err, pid_t &pid)
{
    const char *argv[] = {"sh", "-c", launch.command.c_str(), nullptr};
    std::vector<char *> envp;
    if (launch.replaceEnvironment) {
        for (const std::string &entry : launch.environment)
            envp.push_back(const_cast<char *>(entry.c_str()));
        envp.push_back(nullptr);
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    if (!launch.workingDirectory.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, launch.workingDirectory.c_str());
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGHUP})
        sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETPGROUP);

    const int error =
        ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char *const *>(argv),
                      launch.replaceEnvironment ? envp.data() : environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return error;
}

// The same as another user, for a root caller: posix_spawn cannot change
// identity, so the child is forked and, before exec, takes the user's groups
// and ids and the signal state posix_spawn would give it. Only system calls
// run between fork and exec; the group list is made before the fork.
int spawnShellAs(const ShellLaunch &launch, int in, int out, int err, pid_t &pid)
{
    const ShellIdentity &who = *launch.identity;
    const std::vector<gid_t> groups(who.groups.begin(), who.groups.end());
    const char *argv[] = {"sh", "-c", launch.command.c_str(), nullptr};
    std::vector<char *> envp;
    for (const std::string &entry : launch.environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return error;
    }
    if (pid == 0) {
        struct sigaction defaults
        {};
        defaults.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &defaults, nullptr);
        sigset_t none;
        sigemptyset(&none);
        const bool ready =
            ::sigprocmask(SIG_SETMASK, &none, nullptr) == 0 && ::setpgid(0, 0) == 0 &&
            ::dup2(in, STDIN_FILENO) >= 0 && ::dup2(out, STDOUT_FILENO) >= 0 &&
            ::dup2(err, STDERR_FILENO) >= 0 &&
            (launch.workingDirectory.empty() || ::chdir(launch.workingDirectory.c_str()) == 0) &&
            ::setgroups(groups.size(), groups.data()) == 0 &&
            ::setresgid(who.gid, who.gid, who.gid) == 0 &&
            ::setresuid(who.uid, who.uid, who.uid) == 0;
        if (ready)
            ::execve("/bin/sh", const_cast<char *const *>(argv), envp.data());
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int error = 0;
    const ssize_t n = ::read(report[0], &error, sizeof error);
    ::close(report[0]);
    if (n == sizeof error) {
        ::waitpid(pid, nullptr, 0);
        return error;
    }
    return 0;
}

// The shell's exit status, or 128 plus the signal that ended it.
bool waitForShell(pid_t pid, ShellRun &run)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            run.problem = std::string("lost the shell: ") + std::strerror(errno);
            return false;
        }
    }
    if (WIFEXITED(status))
        run.result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.result.status = 128 + WTERMSIG(status);
    return true;
}

} // namespace

ShellRun runShellCommand(const ShellLaunch &launch)
{
    ShellRun run;
    if (launch.command.find('\0') != std::string::npos) {
        run.problem = "the command holds a NUL character";
        return run;
    }

    int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (nullIn < 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        run.problem = std::string("cannot make pipes: ") + std::strerror(errno);
        closeIfOpen(nullIn);
        for (int *fd : {&outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1]})
            closeIfOpen(*fd);
        return run;
    }

    pid_t pid = -1;
    const int spawnError = launch.identity
                               ? spawnShellAs(launch, nullIn, outPipe[1], errPipe[1], pid)
                               : spawnShell(launch, nullIn, outPipe[1], errPipe[1], pid);
    closeIfOpen(nullIn);
    closeIfOpen(outPipe[1]);
    closeIfOpen(errPipe[1]);
    if (spawnError != 0) {
        closeIfOpen(outPipe[0]);
        closeIfOpen(errPipe[0]);
        run.problem =
            std::string("cannot start /bin/sh") +
            (launch.workingDirectory.empty() ? std::string() : " in " + launch.workingDirectory) +
            ": " + std::strerror(spawnError);
        return run;
    }

    Stopper stopper(launch, pid);
    run.truncated = drain(outPipe[0], errPipe[0], run.result.standardOutput,
                          run.result.standardError, launch.outputLimit, stopper);
    closeIfOpen(outPipe[0]);
    closeIfOpen(errPipe[0]);
    run.started = waitForShell(pid, run);
    return run;
}
