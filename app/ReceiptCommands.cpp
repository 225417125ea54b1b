#include "app/ReceiptCommands.h"

#include "app/CommandLine.h"
#include "app/InterruptWatch.h"
#include "engine/Installer.h"
#include "engine/InterpreterExecutor.h"
#include "engine/Product.h"
#include "engine/ReceiptCheck.h"
#include "engine/UninstallComposer.h"
#include "script/Interpreter.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

// A run killed in the user's part is undone before its receipts are read.
void recoverInterrupted(const ReceiptBook &book)
{
    const QString notice = book.recoverUserStore();
    if (!notice.isEmpty())
        print(stderr, notice + QLatin1Char('\n'));
}

void reportDamaged(const ReceiptBook &book)
{
    for (const QString &line : book.damaged())
        print(stderr, QStringLiteral("Unreadable receipt, left alone: %1\n").arg(line));
}

// The named products among the installed ones, saying which are not installed.
QList<InstalledProduct> chosen(const QList<InstalledProduct> &installed, const QStringList &names,
                               QStringList &notInstalled)
{
    if (names.isEmpty())
        return installed;
    QList<InstalledProduct> picked;
    for (const QString &name : names) {
        const auto found =
            std::find_if(installed.begin(), installed.end(),
                         [&name](const InstalledProduct &p) { return p.name == name; });
        if (found == installed.end())
            notInstalled << name;
        else if (!std::any_of(picked.begin(), picked.end(),
                              [&name](const InstalledProduct &p) { return p.name == name; }))
            picked << *found;
    }
    return picked;
}

QStringList namesOf(const QList<InstalledProduct> &products)
{
    QStringList names;
    for (const InstalledProduct &product : products)
        names << product.name;
    return names;
}

// A line of standard input without its newline; false at the input's end.
// Through stdio, not <iostream>, whose streams every start of the program
// would set up, the window's included.
bool readLine(std::string &line)
{
    char *buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, stdin);
    if (length >= 0)
        line.assign(buffer, size_t(length) - (length > 0 && buffer[length - 1] == '\n'));
    std::free(buffer);
    return length >= 0;
}

bool confirmed(const QList<InstalledProduct> &products)
{
    print(stderr,
          QStringLiteral("Remove %1? [y/N] ").arg(namesOf(products).join(QStringLiteral(", "))));
    std::string answer;
    if (!readLine(answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

// Runs the removal like an unattended install: a stop on SIGINT or SIGTERM
// between commands, the run's log named on standard error.
int runUninstall(Installer &installer, const QList<InstalledProduct> &products, bool force)
{
    const UninstallComposer::Composed composed =
        UninstallComposer::compose(products, installer.receipts().systemFolder(), force);
    InterruptWatch::install(composed.steps);
    EvaluationContext context = Interpreter::platformContext();
    context.commandFinished = [](const CommandReport &) {
        InterruptWatch::stepDone();
    };
    installer.setScriptExecutor(interpreterExecutor(std::move(context)));
    installer.setStopFlag(InterruptWatch::stopFlag());

    Installer::RunEnd end = Installer::RunEnd::failed;
    QString message = QStringLiteral("The uninstall script could not be run.");
    QStringList kept;
    QObject::connect(&installer, &Installer::uninstallFinished,
                     [&](Installer::RunEnd e, const QString &m, const QStringList &k) {
                         end = e;
                         message = m;
                         kept = k;
                     });
    installer.uninstall(products, force);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();

    for (const QString &line : std::as_const(kept))
        print(stderr, line + QLatin1Char('\n'));
    if (!installer.lastLogPath().isEmpty())
        print(stderr, QStringLiteral("Log: %1\n").arg(installer.lastLogPath()));
    if (const int signal = InterruptWatch::signalReceived();
        signal != 0 && end != Installer::RunEnd::completed) {
        print(stderr, QStringLiteral("Uninstall interrupted: %1\n").arg(message));
        return 128 + signal;
    }
    switch (end) {
    case Installer::RunEnd::completed:
        for (const InstalledProduct &product : products)
            print(stdout, QStringLiteral("Uninstalled: %1\n").arg(product.name));
        print(stdout, QStringLiteral("Uninstall completed.\n"));
        return CommandLine::success;
    case Installer::RunEnd::canceled:
        print(stderr, QStringLiteral("Uninstall canceled. Nothing was removed.\n"));
        return CommandLine::installationCanceled;
    case Installer::RunEnd::failed:
        break;
    }
    print(stderr, QStringLiteral("Uninstall failed: %1\n").arg(message));
    return CommandLine::installationFailed;
}

} // namespace

int ReceiptCommands::listInstalled(bool json)
{
    ReceiptBook book;
    recoverInterrupted(book);
    const QList<InstalledProduct> installed = book.load();
    reportDamaged(book);
    if (json) {
        QJsonArray list;
        for (const InstalledProduct &product : installed) {
            const helper::Receipt &r = product.summary();
            QJsonArray parts;
            if (product.system)
                parts << QStringLiteral("system");
            if (product.user)
                parts << QStringLiteral("user");
            list << QJsonObject{{QStringLiteral("product"), product.name},
                                {QStringLiteral("version"), fromStd(r.version)},
                                {QStringLiteral("time"), fromStd(r.time)},
                                {QStringLiteral("bundle"), fromStd(r.bundle)},
                                {QStringLiteral("user"), fromStd(r.user)},
                                {QStringLiteral("parts"), parts}};
        }
        print(stdout, QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
        return CommandLine::success;
    }
    if (installed.isEmpty())
        print(stdout, QStringLiteral("No Quorvantic products are installed.\n"));
    for (const InstalledProduct &product : installed) {
        const helper::Receipt &r = product.summary();
        print(stdout,
              QStringLiteral("%1\t%2\t%3\t%4\n")
                  .arg(product.name, fromStd(r.version), fromStd(r.time), fromStd(r.bundle)));
    }
    return CommandLine::success;
}

int ReceiptCommands::verify(const QStringList &names)
{
    ReceiptBook book;
    recoverInterrupted(book);
    const QList<InstalledProduct> installed = book.load();
    reportDamaged(book);
    QStringList notInstalled;
    const QList<InstalledProduct> products = chosen(installed, names, notInstalled);
    QSet<QString> recorded;
    for (const InstalledProduct &product : installed) {
        for (const auto &part : {product.system, product.user}) {
            if (!part)
                continue;
            for (const helper::ReceiptEntry &entry : part->entries)
                recorded << fromStd(entry.path);
        }
    }
    bool allMatch =
        notInstalled.isEmpty() && book.damaged().isEmpty() && book.unfinished().isEmpty();
    // Until that run is undone the disk holds a mix of two states, whatever
    // each path below says.
    for (const QString &journal : book.unfinished())
        print(stdout, QStringLiteral("An installer run was interrupted and is not finished: %1. "
                                     "The next run of the installer undoes it.\n")
                          .arg(journal));
    for (const QString &name : std::as_const(notInstalled))
        print(stdout, QStringLiteral("%1: not installed\n").arg(name));
    for (const InstalledProduct &product : products) {
        int paths = 0;
        QList<ReceiptCheck::Finding> findings;
        for (const auto &part : {product.system, product.user}) {
            if (!part)
                continue;
            paths += int(part->entries.size());
            findings += ReceiptCheck::check(*part, recorded, Product::appQuorvantic());
        }
        for (const ReceiptCheck::Finding &finding : std::as_const(findings))
            print(stdout, QStringLiteral("%1: %2\n").arg(product.name, finding.line()));
        if (findings.isEmpty())
            print(stdout,
                  QStringLiteral("%1: all %2 paths as installed\n").arg(product.name).arg(paths));
        allMatch = allMatch && findings.isEmpty();
    }
    return allMatch ? CommandLine::success : CommandLine::installationFailed;
}

int ReceiptCommands::uninstall(const UninstallOptions &options)
{
    AppSettings settings;
    Installer installer(settings);
    recoverInterrupted(installer.receipts());
    const QList<InstalledProduct> installed = installer.receipts().load();
    reportDamaged(installer.receipts());
    QStringList notInstalled;
    const QList<InstalledProduct> products = chosen(installed, options.products, notInstalled);
    for (const QString &name : std::as_const(notInstalled))
        print(stdout, QStringLiteral("%1 is not installed.\n").arg(name));
    if (products.isEmpty()) {
        if (options.products.isEmpty())
            print(stdout, QStringLiteral("No Quorvantic products are installed.\n"));
        return CommandLine::success;
    }
    if (options.printOnly) {
        const UninstallComposer::Composed composed =
            UninstallComposer::compose(products, installer.receipts().systemFolder(), options.force,
                                       UninstallComposer::othersThan(installed, products));
        for (const QString &line : composed.kept)
            print(stderr, line + QLatin1Char('\n'));
        print(stdout, composed.script + QLatin1Char('\n'));
        return CommandLine::success;
    }
    if (!options.yes) {
        if (!::isatty(STDIN_FILENO)) {
            print(stderr, QStringLiteral("Uninstalling asks for confirmation; standard input is "
                                         "not a terminal, so give --yes. Nothing was removed.\n"));
            return CommandLine::usageError;
        }
        if (!confirmed(products)) {
            print(stderr, QStringLiteral("Nothing was removed.\n"));
            return CommandLine::installationCanceled;
        }
    }
    return runUninstall(installer, products, options.force);
}
