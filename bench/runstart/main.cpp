// The self-extracting installer's start-up: from exec of the .run to the
// wizard's first frame on the offscreen platform, against the same bundle
// already unpacked and started directly, so that the difference is what
// unpacking costs. Both end at their first frame through the frame probe
// plugin, the .run then removing its temporary folder; the two alternate.
//
//   quorvantic-bench-run-startup RUN UNPACKED_BUNDLE RUNS
#include "Measure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Milliseconds from exec to the first frame, negative when none was reported.
double toFirstFrame(const QString &program, const QString &report)
{
    QFile::remove(report);
    const double start = bench::nowMs();
    if (bench::timedRun(program, {}) < 0)
        return -1;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = file.readAll().trimmed().split(' ');
    return fields.size() == 2 ? fields[0].toDouble() - start : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: quorvantic-bench-run-startup RUN UNPACKED_BUNDLE RUNS\n");
        return 2;
    }
    const QString run = arguments.at(1);
    const QString unpacked = arguments.at(2) + QStringLiteral("/AppRun");
    const int runs = std::max(3, arguments.at(3).toInt());
    QTemporaryDir scratch;
    const QString report = scratch.filePath(QStringLiteral("frame"));
    const QString temporary = scratch.filePath(QStringLiteral("tmp"));
    const QString runtime = scratch.filePath(QStringLiteral("runtime"));
    QDir().mkpath(temporary);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ::setenv("TMPDIR", QFile::encodeName(temporary).constData(), 1);
    // As in a desktop session: Qt's runtime folder is not one the .run has to remove.
    ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime).constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QT_PLUGIN_PATH", QUORVANTIC_PROBE_PLUGIN_PATH, 1);
    ::setenv("QT_QPA_GENERIC_PLUGINS", "quorvanticframeprobe", 1);
    ::setenv("QUORVANTIC_FRAME_REPORT", QFile::encodeName(report).constData(), 1);

    std::vector<double> runMs, unpackedMs;
    for (int round = 0; round <= runs; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool fromRun = (turn == 0) == (round % 2 == 0);
            const double ms = toFirstFrame(fromRun ? run : unpacked, report);
            if (ms < 0) {
                std::fprintf(stderr, "%s did not report a first frame\n",
                             qPrintable(fromRun ? run : unpacked));
                return 1;
            }
            if (round > 0) // the first round warms the page cache
                (fromRun ? runMs : unpackedMs).push_back(ms);
        }
    }
    if (!QDir(temporary).isEmpty()) {
        std::fprintf(stderr, "the .run left its temporary folder behind\n");
        return 1;
    }
    const double fromRun = bench::median(runMs);
    const double direct = bench::median(unpackedMs);
    bench::printFigure(
        9, ".run start-up",
        QString::asprintf("%.0f ms from starting the .run to the wizard's first frame", fromRun),
        "< 400 ms", fromRun < 400,
        QString::asprintf("the unpacked bundle alone %.0f ms, so unpacking %.0f ms; the .run "
                          "%.1f MB (medians of %d, offscreen)",
                          direct, fromRun - direct,
                          static_cast<double>(QFileInfo(run).size()) / 1e6, runs));
    return 0;
}
