// Times the RTF reader on the largest file of the shared corpus, on the
// largest one with pictures and on a generated licence of about 5 MB,
// reading into a QTextDocument and then laying it out at a window's width
// (the best of a few runs), and then the reader against `unrtf --text` on the same files: the file
// read and turned into a document here against unrtf's whole process, the two alternating.
//
//   quorvantic-bench-rtf [RUNS]

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

// A licence of the kind word processors write: styled headings, justified
// paragraphs, lists with their marker text, links, escapes, \u characters,
// a table now and then, and the tables and ignorable groups in front.
QByteArray generatedLicence(qsizetype size)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\froman\\fcharset0 Times "
                     "New Roman;}{\\f2\\fnil\\fcharset2 Symbol;}}"
                     "{\\colortbl;\\red0\\green0\\blue0;\\red31\\green78\\blue121;}"
                     "{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs32 Heading;}}"
                     "{\\*\\generator bench}{\\info{\\title Licence}}\n";
    for (int section = 1; rtf.size() < size; ++section) {
        rtf += "\\pard\\s1\\qc\\sb240\\sa120\\b\\fs32\\cf2 " + QByteArray::number(section) +
               ". Section heading\\b0\\cf1\\par\n";
        for (int paragraph = 0; paragraph < 6; ++paragraph)
            rtf += "\\pard\\plain\\qj\\sa120\\f1\\fs22 The licensee may use the \\b Software\\b0  "
                   "on computers that the licensee owns or controls, subject to "
                   "\\i these terms\\i0 ; see {\\field{\\*\\fldinst{HYPERLINK "
                   "\"https://example.org/terms\"}}{\\fldrslt{\\ul the terms}}} and "
                   "\\ldblquote Schedule A\\rdblquote  (\\u8364?100, caf\\'e9, na\\u239?ve). "
                   "{\\*\\bkmkstart s}{\\*\\bkmkend s}Nothing here limits rights that the law "
                   "gives and that cannot be limited.\\par\n";
        for (int item = 0; item < 3; ++item)
            rtf += "\\pard\\li720\\fi-360\\sa60{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2"
                   "{\\pntxtb\\'b7}}A list item that names one more thing the licensee may "
                   "not do.\\par\n";
        if (section % 10 == 0)
            rtf += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Term\\cell Meaning\\cell\\row"
                   "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Software\\cell The programs\\cell"
                   "\\row\\pard\n";
    }
    return rtf + "}";
}

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

    const QByteArray licence = generatedLicence(5 * 1024 * 1024);
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
