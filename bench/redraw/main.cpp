// Redraw: the wizard's window on its Products page with 1,000 products, on
// the offscreen platform. One redraw is what every announced change of the
// state costs while the page shows: the views brought in line with the state
// and the whole window painted at once. Entering the page, which builds its
// list, is reported beside it.
//
//   quorvantic-bench-redraw RUNS
#include "Measure.h"

#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "ui/ContentView.h"
#include "ui/ProductListPage.h"
#include "ui/StateView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int products = 1000;

// The bundle's resources with 1,000 products in place of the demo's.
bool makeResources(const QString &folder)
{
    const QString bundle = QStringLiteral(QUORVANTIC_RESOURCES_DIR);
    for (const QString &file : QDir(bundle).entryList(QDir::Files))
        if (!QFile::copy(bundle + '/' + file, folder + '/' + file))
            return false;
    for (int i = 0; i < products; ++i)
        if (!QDir().mkpath(folder + QStringLiteral("/Products/Calmfield %1 Plugin").arg(i)))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const int runs = std::max(5, application.arguments().value(1).toInt()) * 4;
    QTemporaryDir scratch;
    if (!makeResources(scratch.path())) {
        std::fprintf(stderr, "cannot make the resources\n");
        return 1;
    }

    QuorvanticInstallerApp installer(scratch.path());
    installer.launch();
    AppSettings &settings = installer.settings();
    MainWindow *window = installer.window();
    ContentView *content = window->contentView();
    QApplication::processEvents();

    // Brings the views in line with the state and paints the whole window now.
    const auto redrawNow = [&] {
        const double start = bench::nowMs();
        content->redrawIfDue();
        window->repaint();
        return bench::nowMs() - start;
    };

    std::vector<double> entries;
    std::vector<double> redraws;
    for (int run = 0; run <= runs; ++run) {
        settings.setCurrentPage(Page::license);
        redrawNow();
        settings.setCurrentPage(Page::install);
        const double entry = redrawNow();
        auto *page = qobject_cast<ProductListPage *>(content->stateView()->current());
        if (!page || page->shownNames().size() != products) {
            std::fprintf(stderr, "the Products page does not show the %d products\n", products);
            return 1;
        }
        // Any announced change redraws: here the products written again.
        settings.setProducts(settings.products());
        const double redraw = redrawNow();
        QApplication::processEvents();
        if (run == 0)
            continue;
        entries.push_back(entry);
        redraws.push_back(redraw);
    }
    const double redraw = bench::median(redraws);
    bench::printFigure(
        6, "redraw", QString::asprintf("%.2f ms for one redraw", redraw), "< 16 ms", redraw < 16,
        QString::asprintf("Products page with %d products in a %dx%d window; "
                          "entering the page (its list built) %.1f ms; medians of %d",
                          products, window->width(), window->height(), bench::median(entries),
                          runs));
    return 0;
}
