#include "helper/ShellCommand.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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

// In the child, between fork and exec: async-signal-safe calls only.
[[noreturn]] void execShell(const char *const *argv, char *const *envp, const char *cwd, int nullIn,
                            int outWrite, int errWrite)
{
    struct sigaction defaults
    {};
    defaults.sa_handler = SIG_DFL;
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGHUP})
        ::sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (::dup2(nullIn, STDIN_FILENO) < 0 || ::dup2(outWrite, STDOUT_FILENO) < 0 ||
        ::dup2(errWrite, STDERR_FILENO) < 0)
        ::_exit(127);
    if (cwd && ::chdir(cwd) != 0)
        ::_exit(127);
    ::execve("/bin/sh", const_cast<char *const *>(argv), envp);
    ::_exit(127);
}

void drain(int outRead, int errRead, std::string &out, std::string &err)
{
    pollfd fds[2] = {{outRead, POLLIN, 0}, {errRead, POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

ShellRun runShellCommand(const ShellLaunch &launch)
{
    ShellRun run;
    if (launch.command.find('\0') != std::string::npos) {
        run.problem = "the command holds a NUL character";
        return run;
    }

    // Everything the child needs is prepared before fork: after it, this
    // (possibly multi-threaded) process may only make async-signal-safe calls.
    const char *argv[] = {"sh", "-c", launch.command.c_str(), nullptr};
    std::vector<char *> envp;
    if (launch.replaceEnvironment) {
        for (const std::string &entry : launch.environment)
            envp.push_back(const_cast<char *>(entry.c_str()));
        envp.push_back(nullptr);
    }
    const char *cwd = launch.workingDirectory.empty() ? nullptr : launch.workingDirectory.c_str();

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

    const pid_t pid = ::fork();
    if (pid == 0)
        execShell(argv, launch.replaceEnvironment ? envp.data() : environ, cwd, nullIn, outPipe[1],
                  errPipe[1]);
    const int forkErrno = errno;
    closeIfOpen(nullIn);
    closeIfOpen(outPipe[1]);
    closeIfOpen(errPipe[1]);
    if (pid < 0) {
        closeIfOpen(outPipe[0]);
        closeIfOpen(errPipe[0]);
        run.problem = std::string("cannot start /bin/sh: ") + std::strerror(forkErrno);
        return run;
    }

    drain(outPipe[0], errPipe[0], run.result.standardOutput, run.result.standardError);
    closeIfOpen(outPipe[0]);
    closeIfOpen(errPipe[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            run.problem = std::string("lost the shell: ") + std::strerror(errno);
            return run;
        }
    }
    run.started = true;
    if (WIFEXITED(status))
        run.result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.result.status = 128 + WTERMSIG(status);
    return run;
}
