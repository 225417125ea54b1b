// Re-entering the License page: the wizard's window (the application object,
// menu bar and all, on the offscreen platform) with a resources folder whose
// licence is figure 4's generated 5 MB one. The page is laid out on its
// first entry and kept, so going back to it from the Introduction page
// should cost a redraw, not a layout. One entry is the page set, the views
// brought in line and the whole window painted synchronously, as figure 6
// takes a redraw; the first entry of each window is reported beside it.
//
//   quorvantic-bench-license RUNS
#include "GeneratedLicence.h"
#include "Measure.h"

#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "ui/ContentView.h"
#include "ui/LicensePage.h"
#include "ui/StateView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int reentriesPerWindow = 4;

// The bundle's resources with the generated licence in place of the demo's.
bool makeResources(const QString &folder, qsizetype &licenceBytes)
{
    const QString bundle = QStringLiteral(QUORVANTIC_RESOURCES_DIR);
    for (const QString &file : QDir(bundle).entryList(QDir::Files))
        if (!QFile::copy(bundle + '/' + file, folder + '/' + file))
            return false;
    const QByteArray licence = bench::generatedLicence(5 * 1024 * 1024);
    licenceBytes = licence.size();
    QFile rtf(folder + QStringLiteral("/QuorvanticEULA.rtf"));
    return QDir().mkpath(folder + QStringLiteral("/Products/Calmfield 6")) &&
           rtf.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           rtf.write(licence) == licence.size();
}

struct Entries
{
    std::vector<double> first;
    std::vector<double> again;
    int characters = 0;
};

// One window: its first entry to the License page, then the page left for
// the Introduction and entered again. False when the page is not the kept
// one or does not show the licence.
bool measureWindow(const QString &resources, Entries &entries, bool timed)
{
    QuorvanticInstallerApp app(resources);
    app.launch();
    AppSettings &settings = app.settings();
    MainWindow *window = app.window();
    ContentView *content = window->contentView();
    QApplication::processEvents();
    const auto enter = [&](Page page) {
        settings.setCurrentPage(page);
        const double start = bench::nowMs();
        content->redrawIfDue();
        window->repaint();
        return bench::nowMs() - start;
    };
    const double first = enter(Page::license);
    auto *page = qobject_cast<LicensePage *>(content->stateView()->current());
    auto *text = page ? qobject_cast<QTextEdit *>(page->textView()) : nullptr;
    if (!text || text->document()->characterCount() < 1000000)
        return false;
    entries.characters = text->document()->characterCount();
    QApplication::processEvents();
    std::vector<double> again;
    for (int i = 0; i < reentriesPerWindow; ++i) {
        enter(Page::intro);
        QApplication::processEvents();
        again.push_back(enter(Page::license));
        if (content->stateView()->current() != page)
            return false;
        QApplication::processEvents();
    }
    std::fprintf(stderr, "window: first entry %.1f ms, again %.2f ms (median)\n", first,
                 bench::median(again));
    if (timed) {
        entries.first.push_back(first);
        entries.again.insert(entries.again.end(), again.begin(), again.end());
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const int windows = std::max(5, application.arguments().value(1).toInt());
    QTemporaryDir scratch;
    qsizetype licenceBytes = 0;
    if (!makeResources(scratch.path(), licenceBytes)) {
        std::fprintf(stderr, "cannot make the resources\n");
        return 1;
    }
    Entries entries;
    // Window 0 is untimed: it warms the code and the fonts for both kinds.
    for (int run = 0; run <= windows; ++run) {
        if (!measureWindow(scratch.path(), entries, run > 0)) {
            std::fprintf(stderr, "the License page does not show the licence, or is made anew\n");
            return 1;
        }
    }
    const double again = bench::median(entries.again);
    bench::printFigure(
        8, "License page again",
        QString::asprintf("%.2f ms to enter the License page again", again), "< 16 ms", again < 16,
        QString::asprintf("from the Introduction page, with a %.1f MB licence (%d characters); "
                          "the first entry (the page laid out) %.1f ms; medians of %zu entries "
                          "again and of %zu first entries, one window each",
                          licenceBytes / 1048576.0, entries.characters,
                          bench::median(entries.first), entries.again.size(),
                          entries.first.size()));
    return 0;
}
