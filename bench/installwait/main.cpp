// Event-loop gaps during an install: the wizard's window (the application
// object, menu bar and all, on the offscreen platform) on its Products page
// installs figure 1's bundle through the real helper, as figure 1 does. A
// 5 ms timer on the main thread records the longest gap between its ticks
// from the start of the wait for the script to its end: what a user sees as
// the window's longest freeze. Runs as root inside bench/run's private mount
// namespace only, since it empties the install folders.
//
//   quorvantic-bench-install-wait ROOT RUNS
#include "HelperBundle.h"
#include "InstallBundle.h"
#include "Measure.h"

#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "ui/ContentView.h"
#include "ui/InstallProgress.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Gaps
{
    double longest = 0;    // ms between two ticks (or a tick and an end of the wait)
    int stepAtLongest = 0; // the command under way when it ended
    int ticks = 0;
    int paints = 0; // of the progress line, which only shows during the wait
    double waitMs = 0;
    double totalMs = 0;
};

// Ticks every 5 ms while the installer waits for a script, and keeps the
// longest gap between ticks, the wait's ends counting as ticks. Counts the
// paints of the progress line too: a wait that did not paint is no figure.
class GapRecorder : public QObject
{
public:
    GapRecorder(Installer &installer, QWidget *progress)
    {
        progress->installEventFilter(this);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
        // Connected after the window's own handler, so its paint before the
        // wait is not counted: the wait starts after it.
        QObject::connect(&installer, &Installer::scriptWaitStarted, &m_timer, [this] {
            m_gaps = {};
            m_step = 0;
            m_started = m_last = bench::nowMs();
            m_timer.start();
        });
        QObject::connect(&installer, &Installer::scriptWaitFinished, &m_timer, [this] {
            m_timer.stop();
            mark(bench::nowMs());
            m_gaps.waitMs = m_last - m_started;
        });
        QObject::connect(&installer, &Installer::progressChanged, &m_timer,
                         [this](int step) { m_step = step; });
    }

    const Gaps &gaps() const { return m_gaps; }
    Gaps &gaps() { return m_gaps; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_timer.isActive())
            ++m_gaps.paints;
        return QObject::eventFilter(watched, event);
    }

private:
    void tick()
    {
        mark(bench::nowMs());
        ++m_gaps.ticks;
    }
    void mark(double now)
    {
        if (now - m_last > m_gaps.longest) {
            m_gaps.longest = now - m_last;
            m_gaps.stepAtLongest = m_step;
        }
        m_last = now;
    }

    QTimer m_timer;
    Gaps m_gaps;
    int m_step = 0;
    double m_started = 0;
    double m_last = 0;
};

// The shipped bundle's own files (licence, logo) beside the products: the
// window refuses to install a licence it could not show.
bool placeShippedFiles(const QString &resources)
{
    const QString shipped = QStringLiteral(QUORVANTIC_RESOURCES_DIR);
    for (const QString &file : QDir(shipped).entryList(QDir::Files)) {
        const QString copy = resources + '/' + file;
        if ((QFile::exists(copy) && !QFile::remove(copy)) ||
            !QFile::copy(shipped + '/' + file, copy))
            return false;
    }
    return true;
}

int fail(const char *message)
{
    std::fprintf(stderr, "quorvantic-bench-install-wait: %s\n", message);
    return 1;
}

// One install from the Products page to the summary; false when it failed.
bool installOnce(QuorvanticInstallerApp &app, GapRecorder &recorder)
{
    AppSettings &settings = app.settings();
    Installer &installer = app.installer();
    if (!bench::emptyInstallDestinations()) {
        fail("cannot empty the destinations");
        return false;
    }
    settings.setProducts(installer.productsToInstall());
    settings.setCurrentPage(Page::install);
    app.window()->contentView()->redrawIfDue();
    QApplication::processEvents();
    const double start = bench::nowMs();
    installer.installSelectedProducts();
    // The answer is applied on the next turn of the loop, as in the window.
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    recorder.gaps().totalMs = bench::nowMs() - start;
    if (settings.currentPage() != Page::summary || settings.completedWithErrors()) {
        std::fprintf(stderr, "the install failed: %s\n", qPrintable(settings.logDetailsStr()));
        return false;
    }
    return true;
}

void report(const std::vector<Gaps> &runs, int totalSteps)
{
    std::vector<double> longest, ticks, paints, waits, totals;
    const Gaps *worst = &runs.front();
    for (const Gaps &gaps : runs) {
        longest.push_back(gaps.longest);
        ticks.push_back(gaps.ticks);
        paints.push_back(gaps.paints);
        waits.push_back(gaps.waitMs);
        totals.push_back(gaps.totalMs);
        if (gaps.longest > worst->longest)
            worst = &gaps;
    }
    const double wait = bench::median(waits);
    bench::printFigure(
        7, "event-loop gaps during an install",
        QString::asprintf("%.1f ms longest gap between turns of the loop", worst->longest),
        "< 50 ms", worst->longest < 50,
        QString::asprintf(
            "the worst of %zu installs (median of their longest %.1f ms), during "
            "step %d of %d; a 5 ms timer ticked %.0f times in a wait of %.0f ms "
            "(%.0f if never late) and the progress line painted %.0f times; the install %.0f ms in "
            "all (medians)",
            runs.size(), bench::median(longest), worst->stepAtLongest, totalSteps,
            bench::median(ticks), wait, wait / 5, bench::median(paints), bench::median(totals)));
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // The installer prints its script and answer; only the figure goes out.
    const int figureOut = ::dup(STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (figureOut < 0 || devNull < 0 || ::dup2(devNull, STDOUT_FILENO) < 0)
        return fail("cannot set standard output aside");
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3)
        return fail("usage: quorvantic-bench-install-wait ROOT RUNS");
    if (::getuid() != 0 || qEnvironmentVariable("QUORVANTIC_BENCH_SANDBOX") != "1")
        return fail("runs only as root inside bench/run's private mount namespace");
    const QString root = QDir(arguments.at(1)).absolutePath();
    const int runs = std::max(5, arguments.at(2).toInt());
    if (!bench::makeInstallBundle(root))
        return fail("cannot make the bundle");
    const QString helper = bench::placeHelper(root, QStringLiteral(QUORVANTIC_HELPER));
    if (helper.isEmpty())
        return fail("cannot copy the helper into the bundle");

    if (!placeShippedFiles(bench::bundleResources(root)))
        return fail("cannot copy the shipped files into the bundle");
    QuorvanticInstallerApp app(bench::bundleResources(root));
    app.installer().setScriptExecutor(bench::executorThroughHelper(helper));
    app.launch();
    QApplication::processEvents();
    GapRecorder recorder(app.installer(), app.window()->contentView()->installProgress());
    int totalSteps = 0;
    QObject::connect(&app.installer(), &Installer::progressChanged, &application,
                     [&totalSteps](int, int total) { totalSteps = total; });

    std::vector<Gaps> timed;
    // Run 0 is untimed: it warms the page cache and the window's first paints.
    for (int run = 0; run <= runs; ++run) {
        if (!installOnce(app, recorder))
            return fail("the install did not succeed");
        const Gaps &gaps = recorder.gaps();
        std::fprintf(stderr,
                     "run %d: longest gap %.1f ms at step %d, %d ticks, %d paints, wait %.0f ms\n",
                     run, gaps.longest, gaps.stepAtLongest, gaps.ticks, gaps.paints, gaps.waitMs);
        if (gaps.ticks == 0 || gaps.paints == 0)
            return fail("the window did not tick or paint during the wait");
        if (run > 0)
            timed.push_back(gaps);
    }
    bench::emptyInstallDestinations();
    std::fflush(stdout);
    ::dup2(figureOut, STDOUT_FILENO);
    report(timed, totalSteps);
    return 0;
}
