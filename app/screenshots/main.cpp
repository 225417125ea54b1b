// Puts the wizard's real window into each page and overlay in turn and saves
// what it shows as PNG files in the folder given as the last argument; with
// `--variant NAME` first, on that desktop (DesktopVariant.h).
#include "DesktopVariant.h"
#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "engine/FinderProbe.h"
#include "ui/ContentView.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <QThread>

#include <functional>
#include <vector>

namespace {

struct Shot
{
    const char *name;
    std::function<void(AppSettings &)> arrange;
};

QString longLog()
{
    QStringList lines;
    lines << QStringLiteral("cp: cannot create directory '/opt/Quorvantic/Calmfield 6 Plugin': "
                            "Permission denied while copying the element into the install folder");
    for (int i = 1; i <= 40; ++i)
        lines << QStringLiteral("line %1 of the install log").arg(i);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

// Every page and overlay, each arranged from the state the one before left.
std::vector<Shot> wizardShots()
{
    return {
        {"01-introduction",
         [](AppSettings &) {
         }},
        {"02-license",
         [](AppSettings &s) {
             s.nextAction();
         }},
        {"03-agreement-alert",
         [](AppSettings &s) {
             s.nextAction();
         }},
        {"04-products",
         [](AppSettings &s) {
             s.agreeWithLicense();
         }},
        {"05-install-confirmation",
         [](AppSettings &s) {
             s.nextAction();
         }},
        {"06-finder-access-alert",
         [](AppSettings &s) {
             s.setShowPermanentlyAlert(false);
             s.setShowFinderAlert(true);
         }},
        {"07-summary-success",
         [](AppSettings &s) {
             s.setShowFinderAlert(false);
             s.setCurrentPage(Page::summary);
         }},
        {"08-summary-failure",
         [](AppSettings &s) {
             s.setCompletedWithErrors(true);
             s.setLogDetailsStr(longLog());
         }},
        {"09-log-window",
         [](AppSettings &s) {
             s.setShowLogDetailsWindow(true);
         }},
        {"10-log-window-short",
         [](AppSettings &s) {
             s.setLogDetailsStr(QStringLiteral("The administrator password was not accepted."));
             s.setShowLogDetailsWindow(true);
         }},
    };
}

// An install under way, grabbed at its fifth step from a run that takes its
// time, as the window shows it: progress, Cancel, the buttons off.
bool grabInstall(QuorvanticInstallerApp &installer, MainWindow *window, const QString &folder)
{
    AppSettings &s = installer.settings();
    s.setShowLogDetailsWindow(false);
    s.setCompletedWithErrors(false);
    s.setCurrentPage(Page::install);
    installer.installer().setLogFolder(folder + QStringLiteral("/logs"));
    installer.installer().setScriptExecutor([](const QString &source, const ScriptHooks &hooks) {
        const int total = int(source.count(QStringLiteral("do shell script ")));
        for (int step = 1; step <= total; ++step) {
            // The command as the shell gets it: the script's quoting undone.
            hooks.commandStarted(step,
                                 source.section(QStringLiteral("do shell script "), step, step)
                                     .replace(QStringLiteral("\\\""), QStringLiteral("\"")));
            QThread::msleep(40);
        }
        return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
    });
    const QString installing = folder + QStringLiteral("/11-installing.png");
    bool grabbed = false;
    QObject::connect(&installer.installer(), &Installer::progressChanged, window, [&](int step) {
        if (step != 5 || grabbed)
            return;
        QApplication::processEvents();
        grabbed = window->grab().save(installing);
    });
    installer.installer().installSelectedProducts();
    if (!grabbed) {
        QTextStream(stderr) << "cannot write " << installing << "\n";
        return false;
    }
    QTextStream(stdout) << installing << "\n";
    return true;
}

// The variant named by `--variant NAME`, or the plain light desktop.
const DesktopVariant *chosenVariant(int argc, char *argv[])
{
    static const std::vector<DesktopVariant> variants = desktopVariants();
    if (argc < 4 || QLatin1String(argv[1]) != QLatin1String("--variant"))
        return argc == 2 ? &variants.front() : nullptr;
    for (const DesktopVariant &variant : variants) {
        if (QLatin1String(variant.name) == QLatin1String(argv[2]))
            return &variant;
    }
    return nullptr;
}

int main(int argc, char *argv[])
{
    const DesktopVariant *variant = chosenVariant(argc, argv);
    if (!variant) {
        QTextStream(stderr) << "usage: quorvantic-screenshots [--variant NAME] FOLDER\n";
        return 2;
    }
    prepareProcess(*variant);
    QApplication application(argc, argv);
    dressDesktop(*variant);
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "cannot make " << folder << "\n";
        return 1;
    }

    QuorvanticInstallerApp installer(QStringLiteral(QUORVANTIC_RESOURCES_DIR));
    AppSettings &s = installer.settings();
    // Nothing here may run a real script: every run answers as a refused probe would.
    installer.installer().setScriptExecutor([](const QString &) {
        return ScriptOutcome{true, QStringLiteral("0"), std::nullopt};
    });
    installer.launch();
    MainWindow *window = installer.window();

    const std::vector<Shot> shots = wizardShots();

    for (const Shot &shot : shots) {
        shot.arrange(s);
        window->contentView()->redrawIfDue();
        QApplication::processEvents();
        const QString file = folder + QLatin1Char('/') + QLatin1String(shot.name) + ".png";
        if (!window->grab().save(file)) {
            QTextStream(stderr) << "cannot write " << file << "\n";
            return 1;
        }
        QTextStream(stdout) << file << "\n";
    }

    if (!grabInstall(installer, window, folder))
        return 1;

    // A large window: the sidebar keeps to its widest, the overlay stays centred;
    // the log window now names the run's log file.
    s.setCompletedWithErrors(true);
    s.setLogDetailsStr(longLog());
    s.setShowLogDetailsWindow(true);
    window->contentView()->redrawIfDue();
    window->resize(1000, 650);
    QApplication::processEvents();
    const QString large = folder + QStringLiteral("/12-log-window-large.png");
    if (!window->grab().save(large)) {
        QTextStream(stderr) << "cannot write " << large << "\n";
        return 1;
    }
    QTextStream(stdout) << large << "\n";
    return 0;
}
