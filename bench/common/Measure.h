#pragma once

// What every benchmark program shares: a monotonic clock, the median of a
// series, starting a command the way a shell would and timing it to its end,
// and the one line a figure is printed as.

#include <QString>
#include <QStringList>

#include <vector>

namespace bench {

// Milliseconds on the monotonic clock.
double nowMs();

// Milliseconds this process spent on a CPU, in user and kernel mode.
double cpuMs();

double median(std::vector<double> values);

// Runs PROGRAM with ARGUMENTS (no shell), output to /dev/null unless
// `keepOutput`, and returns its wall time in milliseconds from spawn to
// reaped; negative when it could not start or did not exit 0.
double timedRun(const QString &program, const QStringList &arguments, bool keepOutput = false);

// "FIGURE <number> <name>: <ratio text>" plus the details, on standard output
// (the run script collects these lines).
void printFigure(int number, const QString &name, const QString &figure, const QString &target,
                 bool met, const QString &details);

} // namespace bench
