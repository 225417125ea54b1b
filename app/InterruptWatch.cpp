#include "app/InterruptWatch.h"

#include <csignal>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> received{0};
std::atomic<int> done{0};
std::atomic<int> total{0};

// Appends `value` in decimal; no allocation, so a signal handler may call it.
char *appendNumber(char *at, int value)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 12);
    while (count > 0)
        *at++ = digits[--count];
    return at;
}

char *appendText(char *at, const char *text)
{
    while (*text)
        *at++ = *text++;
    return at;
}

void onSignal(int signal)
{
    if (stopRequested.exchange(true) && signal == SIGINT) {
        char line[96];
        char *at = appendText(line, "Installation interrupted after ");
        at = appendNumber(at, done.load());
        at = appendText(at, " of ");
        at = appendNumber(at, total.load());
        at = appendText(at, " steps.\n");
        (void)!::write(STDERR_FILENO, line, static_cast<size_t>(at - line));
        ::_exit(128 + SIGINT);
    }
    int none = 0;
    received.compare_exchange_strong(none, signal);
}

} // namespace

namespace InterruptWatch {

void install(int steps)
{
    total = steps;
    done = 0;
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

std::shared_ptr<std::atomic<bool>> stopFlag()
{
    // The flag lives as long as the process; the pointer owns nothing.
    return std::shared_ptr<std::atomic<bool>>(std::shared_ptr<void>(), &stopRequested);
}

void stepDone()
{
    ++done;
}

int signalReceived()
{
    return received.load();
}

QString message()
{
    return QStringLiteral("Installation interrupted after %1 of %2 steps.")
        .arg(done.load())
        .arg(total.load());
}

} // namespace InterruptWatch
