// Start-up: from exec to the first frame of the wizard's window on the
// offscreen platform, and the peak memory until then, against a minimal Qt
// Widgets window. Both run with the frame probe plugin loaded, which ends
// them at their first frame; the two alternate.
//
//   quorvantic-bench-startup RUNS
#include "Measure.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct Start
{
    double ms = -1;
    double peakKb = -1;
};

Start startOnce(const QString &program, const QString &report)
{
    QFile::remove(report);
    const double start = bench::nowMs();
    if (bench::timedRun(program, {}) < 0)
        return {};
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = file.readAll().trimmed().split(' ');
    if (fields.size() != 2)
        return {};
    return {fields[0].toDouble() - start, fields[1].toDouble()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = std::max(5, app.arguments().value(1).toInt());
    QTemporaryDir scratch;
    const QString report = scratch.filePath("frame");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QT_PLUGIN_PATH", QUORVANTIC_PROBE_PLUGIN_PATH, 1);
    ::setenv("QT_QPA_GENERIC_PLUGINS", "quorvanticframeprobe", 1);
    ::setenv("QUORVANTIC_FRAME_REPORT", QFile::encodeName(report).constData(), 1);
    const QString wizard = QStringLiteral(QUORVANTIC_WIZARD);
    const QString minimal = QStringLiteral(QUORVANTIC_MINIMAL_WINDOW);

    std::vector<double> wizardMs, minimalMs, wizardKb, minimalKb;
    for (int run = 0; run <= runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool ours = (turn == 0) == (run % 2 == 0);
            const Start start = startOnce(ours ? wizard : minimal, report);
            if (start.ms < 0) {
                std::fprintf(stderr, "%s did not report a first frame\n",
                             qPrintable(ours ? wizard : minimal));
                return 1;
            }
            if (run == 0) // warms the page cache for both
                continue;
            (ours ? wizardMs : minimalMs).push_back(start.ms);
            (ours ? wizardKb : minimalKb).push_back(start.peakKb);
        }
    }
    const double timeRatio = bench::median(wizardMs) / bench::median(minimalMs);
    const double memoryRatio = bench::median(wizardKb) / bench::median(minimalKb);
    bench::printFigure(
        5, "start-up",
        QString::asprintf("%.2fx the minimal window's time to first frame, %.2fx its peak memory",
                          timeRatio, memoryRatio),
        "<= 1.15x both", timeRatio <= 1.15 && memoryRatio <= 1.15,
        QString::asprintf("wizard %.1f ms and %.1f MB, minimal window %.1f ms and %.1f MB "
                          "(medians of %d, offscreen)",
                          bench::median(wizardMs), bench::median(wizardKb) / 1024,
                          bench::median(minimalMs), bench::median(minimalKb) / 1024, runs));
    return 0;
}
