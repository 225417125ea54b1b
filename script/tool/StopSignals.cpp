#include "script/tool/StopSignals.h"

#include <csignal>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> firstSignal{0};

void onSignal(int signal)
{
    if (stopRequested.exchange(true) && signal == SIGINT) {
        static const char line[] = "Error: The run was interrupted.\n";
        (void)!::write(STDERR_FILENO, line, sizeof line - 1);
        ::_exit(128 + SIGINT);
    }
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
}

} // namespace

namespace StopSignals {

void install()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

std::shared_ptr<const std::atomic<bool>> stopFlag()
{
    // The flag lives as long as the process; the pointer owns nothing.
    return std::shared_ptr<const std::atomic<bool>>(std::shared_ptr<void>(), &stopRequested);
}

int received()
{
    return firstSignal.load();
}

} // namespace StopSignals
