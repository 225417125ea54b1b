// Times the RTF reader on the largest file of the shared corpus, on the
// largest one with pictures and on a generated licence of about 5 MB,
// reading into a QTextDocument and then laying it out at a window's width
// (the best of a few runs), and then the reader against `unrtf --text` on the same files: the file
// read and turned into a document here against unrtf's whole process, the two alternating.
//
//   quorvantic-bench-rtf [RUNS]

#include "GeneratedLicence.h"
#include "Measure.h"

#include "rtf/RtfReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <cstdio>

namespace {

struct Timing
{
    double readMs = 0;
    double layoutMs = 0;
    int characters = 0;
};

Timing measure(const QByteArray &rtf, int runs)
{
    Timing best{1e12, 1e12, 0};
    for (int run = 0; run < runs; ++run) {
        QTextDocument document;
        QElapsedTimer timer;
        timer.start();
        const RtfReadResult result = RtfReader::read(rtf, &document);
        const double read = timer.nsecsElapsed() / 1e6;
        if (!result.ok) {
            std::fprintf(stderr, "read failed: %s\n", qPrintable(result.message));
            return best;
        }
        timer.restart();
        document.setTextWidth(600);
        document.size();
        const double layout = timer.nsecsElapsed() / 1e6;
        best.readMs = std::min(best.readMs, read);
        best.layoutMs = std::min(best.layoutMs, layout);
        best.characters = document.characterCount();
    }
    return best;
}

void report(const char *name, qsizetype bytes, const Timing &timing)
{
    std::printf("%-44s %9.1f KB  read %8.2f ms (%6.1f MB/s)  layout %8.2f ms  %d characters\n",
                name, bytes / 1024.0, timing.readMs, bytes / 1048576.0 / (timing.readMs / 1000.0),
                timing.layoutMs, timing.characters);
}

// The medians of reading FILE here and of `unrtf --text FILE`; negative
// when unrtf is missing or fails.
std::pair<double, double> againstUnrtf(const QString &path, int runs)
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        return {-1, -1};
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int run = 0; run <= runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool reader = (turn == 0) == (run % 2 == 0);
            double elapsed = 0;
            if (reader) {
                const double start = bench::nowMs();
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly))
                    return {-1, -1};
                QTextDocument document;
                if (!RtfReader::read(file.readAll(), &document).ok)
                    return {-1, -1};
                elapsed = bench::nowMs() - start;
            } else {
                elapsed = bench::timedRun(unrtf, {QStringLiteral("--text"), path});
                if (elapsed < 0)
                    return {-1, -1};
            }
            if (run > 0) // run 0 warms up both
                (reader ? ours : theirs).push_back(elapsed);
        }
    }
    return {bench::median(ours), bench::median(theirs)};
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const int runs = std::max(5, application.arguments().value(1).toInt());

    const QDir corpus(QStringLiteral(QUORVANTIC_SHARED_DIR "/testdata/rtf"));
    QString largest;
    qint64 largestSize = -1;
    for (const QFileInfo &info : corpus.entryInfoList({QStringLiteral("*.rtf")}, QDir::Files)) {
        if (info.size() > largestSize) {
            largestSize = info.size();
            largest = info.filePath();
        }
    }
    if (largest.isEmpty()) {
        std::fprintf(stderr, "no corpus in %s\n", qPrintable(corpus.path()));
        return 1;
    }
    QFile file(largest);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray corpusFile = file.readAll();
    report(qPrintable(QFileInfo(largest).fileName()), corpusFile.size(), measure(corpusFile, 20));

    // The largest file that carries pictures: their data is most of its bytes.
    QString pictures;
    QByteArray picturesFile;
    for (const QString &folder : {QStringLiteral("rtf"), QStringLiteral("rtf-tables")}) {
        const QDir shared(QStringLiteral(QUORVANTIC_SHARED_DIR "/testdata/") + folder);
        for (const QFileInfo &info : shared.entryInfoList({QStringLiteral("*.rtf")}, QDir::Files)) {
            QFile candidate(info.filePath());
            if (!candidate.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = candidate.readAll();
            if (bytes.contains("\\pict") && bytes.size() > picturesFile.size()) {
                picturesFile = bytes;
                pictures = info.fileName();
            }
        }
    }
    if (!picturesFile.isEmpty())
        report(qPrintable(pictures + QStringLiteral(" (pictures)")), picturesFile.size(),
               measure(picturesFile, 20));

    const QByteArray licence = bench::generatedLicence(5 * 1024 * 1024);
    report("generated licence", licence.size(), measure(licence, 3));

    QTemporaryDir scratch;
    const QString licenceFile = scratch.filePath(QStringLiteral("licence.rtf"));
    QFile out(licenceFile);
    if (!out.open(QIODevice::WriteOnly) || out.write(licence) != licence.size())
        return 1;
    out.close();
    const auto [corpusOurs, corpusUnrtf] = againstUnrtf(largest, runs);
    const auto [licenceOurs, licenceUnrtf] = againstUnrtf(licenceFile, runs);
    if (corpusUnrtf < 0 || licenceUnrtf < 0) {
        std::fprintf(stderr, "unrtf is missing or failed (Debian package unrtf)\n");
        return 1;
    }
    const double corpusRatio = corpusOurs / corpusUnrtf;
    const double licenceRatio = licenceOurs / licenceUnrtf;
    bench::printFigure(
        4, "RTF reading",
        QString::asprintf("%.3fx unrtf on %s, %.3fx on the generated licence", corpusRatio,
                          qPrintable(QFileInfo(largest).fileName()), licenceRatio),
        "< 1", corpusRatio < 1 && licenceRatio < 1,
        QString::asprintf("reader %.2f ms vs unrtf %.2f ms (%.0f KB); reader %.1f ms vs unrtf "
                          "%.1f ms (%.1f MB); medians of %d",
                          corpusOurs, corpusUnrtf, corpusFile.size() / 1024.0, licenceOurs,
                          licenceUnrtf, licence.size() / 1048576.0, runs));
    return 0;
}
