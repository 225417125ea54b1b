#include "helper/ProcessHygiene.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace helper {

void resetSignals()
{
    struct sigaction defaults
    {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP)
            continue;
        ::sigaction(signal, &defaults, nullptr); // unknown real-time numbers fail harmlessly
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

void resetLimits()
{
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    for (int resource : {RLIMIT_FSIZE, RLIMIT_CPU, RLIMIT_DATA, RLIMIT_AS}) {
        if (::setrlimit(resource, &unlimited) == 0)
            continue;
        // Without CAP_SYS_RESOURCE (some containers) a hard limit stays; the
        // soft one can still go up to it.
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(resource, &limit);
        }
    }
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 1024) {
        files.rlim_cur = 1024;
        if (files.rlim_max < files.rlim_cur)
            files.rlim_max = files.rlim_cur;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
}

void closeInheritedDescriptors()
{
    std::vector<int> open;
    if (DIR *folder = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(folder);
        while (const dirent *entry = ::readdir(folder)) {
            char *end = nullptr;
            const long fd = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && fd > STDERR_FILENO && fd != own)
                open.push_back(static_cast<int>(fd));
        }
        ::closedir(folder);
    }
    for (int fd : open)
        ::close(fd);
}

bool dieWithParent()
{
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended between exec and the request above.
    return parent != 1 && ::getppid() == parent;
}

} // namespace helper
