#include "engine/Installer.h"

#include "core/Diagnostics.h"
#include "engine/ElementOwners.h"
#include "engine/FinderProbe.h"
#include "engine/FolderListing.h"
#include "engine/InputHold.h"
#include "engine/InstallScriptComposer.h"
#include "engine/InterpreterExecutor.h"
#include "engine/Product.h"
#include "engine/ProductNames.h"
#include "engine/Resources.h"
#include "engine/Run.h"
#include "engine/UninstallComposer.h"
#include "script/ScriptAnswer.h"
#include "script/UserAccount.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThreadPool>

#include <cstdio>
#include <latch>
#include <memory>
#include <unistd.h>
#include <utility>

Installer::Installer(AppSettings &settings, QObject *parent) : QObject(parent), m_settings(settings)
{}

QString Installer::resourcesFolder() const
{
    return m_resourcesFolder.isEmpty() ? bundleResourcesFolder() : m_resourcesFolder;
}

ScriptExecutor Installer::scriptExecutor() const
{
    return m_scriptExecutor ? m_scriptExecutor : defaultScriptExecutor();
}

void Installer::setScriptExecutor(PlainScriptExecutor executor)
{
    m_scriptExecutor = [executor = std::move(executor)](const QString &source,
                                                        const ScriptHooks &) {
        return executor(source);
    };
}

QString Installer::progressLine(int step, int total, const QString &product)
{
    const QString what = product.isEmpty() ? QStringLiteral("Installing")
                                           : QStringLiteral("Installing %1").arg(product);
    return QStringLiteral("%1 (step %2 of %3)").arg(what).arg(step).arg(total);
}

void Installer::requestStop()
{
    m_stop->store(true);
}

void Installer::setStopFlag(std::shared_ptr<std::atomic<bool>> flag)
{
    m_stop = std::move(flag);
    m_ownStop = false;
}

ProductMap Installer::productsToInstall() const
{
    ProductMap products;
    const QString resources = resourcesFolder();
    if (resources.isEmpty()) {
        printDiagnostic(
            QStringLiteral("Fail__ The application's resources folder could not be found."));
        return products;
    }
    const FolderListing listing = listSubfolders(resources + QStringLiteral("/Products"));
    if (!listing.ok) {
        printDiagnostic(QStringLiteral("Fail__ ") + listing.error);
        return products;
    }
    for (const QString &folder : listing.subfolders)
        products.insert(folder, true);
    return products;
}

void Installer::fillProducts()
{
    m_settings.setProducts({});
    m_settings.setProducts(productsToInstall());
}

QString Installer::bundleProblem() const
{
    const QString resources = resourcesFolder();
    if (resources.isEmpty())
        return QStringLiteral("The installer's resources folder could not be found.");
    const QString folder = resources + QStringLiteral("/Products");
    const FolderListing listing = listSubfolders(folder);
    if (!listing.ok)
        return listing.error;
    if (!listing.undecodable.isEmpty())
        return QStringLiteral("The product folder \"%1\" in \"%2\" has a name that is not UTF-8; "
                              "nothing was installed.")
            .arg(listing.undecodable.constFirst(), folder);
    if (listing.subfolders.isEmpty())
        return QStringLiteral("There is nothing to install: \"%1\" holds no product.").arg(folder);
    return QString();
}

Installer::Plan Installer::plan(bool report) const
{
    Plan plan;
    if (!m_licenseReadable)
        plan.refusal = QStringLiteral("The licence could not be read, so it cannot have been "
                                      "agreed to; nothing was installed.");
    const ProductMap &products = m_settings.products();
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        if (!it.value())
            continue;
        const FolderListing listing = listSubfolders(it.key());
        if (!listing.ok) {
            if (report)
                printDiagnostic(QStringLiteral("Fail__ ") + listing.error);
            plan.unreadable.append(listing.error);
            continue;
        }
        if (!listing.undecodable.isEmpty() && plan.refusal.isEmpty())
            plan.refusal = QStringLiteral("The element folder \"%1\" of \"%2\" has a name that is "
                                          "not UTF-8; nothing was installed.")
                               .arg(listing.undecodable.constFirst(), it.key());
        // The listing gives plain paths without a trailing "/".
        plan.elements.append(listing.subfolders);
    }
    if (plan.refusal.isEmpty())
        plan.refusal = ElementOwners::sharedNameProblem(plan.elements);
    if (plan.refusal.isEmpty() && plan.elements.isEmpty()) {
        const QString problem = bundleProblem();
        if (!problem.isEmpty())
            plan.refusal = problem;
        else if (!plan.unreadable.isEmpty())
            plan.refusal = plan.unreadable.join(QLatin1Char('\n'));
        else
            plan.refusal = QStringLiteral("There is nothing to install: the products hold no "
                                          "element folder.");
    }
    return plan;
}

QStringList Installer::elementsToCopy() const
{
    return plan().elements;
}

QString Installer::composeInstallScript() const
{
    return InstallScriptComposer::compose(elementsToCopy(), Product::installLocations(),
                                          ShellDialect::gnu);
}

void Installer::installSelectedProducts()
{
    const Plan planned = plan();
    if (!planned.refusal.isEmpty()) {
        failWithoutRunning(planned.refusal);
        return;
    }
    if (const QString problem = undoInterruptedRun(); !problem.isEmpty()) {
        failWithoutRunning(problem + QStringLiteral(" Nothing was installed."));
        return;
    }
    // What the user's side makes must be recorded: the store is ready and
    // held before anything runs, or nothing runs.
    QString storeProblem;
    const std::optional<helper::StoreLock> userStore = holdUserStore(storeProblem);
    if (!storeProblem.isEmpty()) {
        failWithoutRunning(storeProblem + QStringLiteral(" Nothing was installed."));
        return;
    }
    const QString script =
        withStaleRemoved(InstallScriptComposer::compose(
                             planned.elements, Product::installLocations(), ShellDialect::gnu),
                         planned.elements);
    printDiagnostic(QStringLiteral("SCRIPT -- ") + script);
    startLog(script);
    m_unreadable = planned.unreadable;
    m_elementProducts.clear();
    for (const QString &element : planned.elements)
        m_elementProducts.append({ProductNames::nameOf(element),
                                  ProductNames::nameOf(element.left(element.lastIndexOf('/')))});
    performScript(script);
    m_unreadable.clear();
    m_elementProducts.clear();
    m_heldUserStore.clear();
    m_receipts.tidyUserStore();
}

std::optional<helper::StoreLock> Installer::holdUserStore(QString &problem)
{
    m_heldUserStore.clear();
    m_storeNotice.clear();
    std::optional<helper::StoreLock> lock = m_receipts.prepareUserStore(problem, &m_storeNotice);
    if (lock)
        m_heldUserStore = m_receipts.userFolder();
    return lock;
}

void Installer::startLog(const QString &script)
{
    m_log = std::make_shared<RunLog>(script, m_logFolder.isEmpty() ? StateFolder::ofEnvironment()
                                                                   : StateFolder::at(m_logFolder));
    m_lastLogPath = m_log->path();
    // A log that cannot be kept costs a warning, never the install.
    if (!m_log->warning().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(m_log->warning()));
}

QString Installer::undoInterruptedRun()
{
    QString problem;
    QString notice;
    if (::geteuid() == 0) {
        notice = m_receipts.recoverSystemPart(problem);
    } else if (m_receipts.systemRunUnfinished()) {
        // The helper undoes it before its first operation, which changes nothing.
        runAndWait(QStringLiteral("try\ndo shell script \"true\" with administrator privileges\n"
                                  "on error errMsg\nreturn errMsg\nend try\nreturn \"Ok\""),
                   nullptr, [&problem, &notice](const ScriptOutcome &outcome) {
                       notice = outcome.notices.join(QLatin1Char('\n'));
                       const QString answer =
                           outcome.result.value_or(outcome.errorInfo.value_or(QString()));
                       if (answer != ScriptAnswer::ok)
                           problem = answer;
                   });
        // Its answer is needed now, before the run it clears the way for.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    if (!notice.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(notice));
    return problem;
}

void Installer::failWithoutRunning(const QString &message)
{
    m_settings.setCompletedWithErrors(true);
    m_settings.setLogDetailsStr(message);
    m_settings.setCurrentPage(Page::summary);
}

void Installer::performScript(const QString &script)
{
    // What the run left out is part of its answer, applied with it; so is a
    // stop asked for while it ran.
    const QStringList unreadable = m_unreadable;
    const int total = int(script.count(QLatin1String("do shell script ")));
    if (m_ownStop)
        m_stop->store(false);
    // The log is handed on to this run and its answer; a later run starts its own.
    auto run = std::make_shared<Run>(Run::Kind::install, total, std::exchange(m_log, nullptr),
                                     m_elementProducts, m_stop);
    runAndWait(script, run, [this, unreadable, run](const ScriptOutcome &outcome) {
        const QString answer = run->answer(outcome);
        m_lastRunUndone = Run::undone(outcome);
        if (run->log())
            run->log()->finish(answer);
        for (const QString &notice : outcome.notices)
            std::fprintf(stderr, "%s\n", qPrintable(notice));
        if (outcome.errorInfo) {
            printDiagnostic(QStringLiteral("Error: ") + *outcome.errorInfo);
            m_settings.setCompletedWithErrors(true);
        }
        // Without an answer there is no summary to say it in.
        if (!outcome.result || *outcome.result == ScriptAnswer::userCanceled) {
            if (!m_unrecorded.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(m_unrecorded));
            return;
        }
        if (!m_unrecorded.isEmpty()) {
            // What the user has no record of cannot be uninstalled: the run failed.
            m_settings.setCompletedWithErrors(true);
            m_settings.setLogDetailsStr(answer == ScriptAnswer::ok
                                            ? m_unrecorded
                                            : answer + QStringLiteral("\n") + m_unrecorded);
        } else if (answer != ScriptAnswer::ok) {
            m_settings.setCompletedWithErrors(true);
            m_settings.setLogDetailsStr(answer);
        } else if (!unreadable.isEmpty()) {
            m_settings.setCompletedWithErrors(true);
            m_settings.setLogDetailsStr(
                QStringLiteral("The other products were installed; these could not be read:\n") +
                unreadable.join(QLatin1Char('\n')));
        }
        m_settings.setCurrentPage(Page::summary);
        printDiagnostic(QStringLiteral("ERROR VALUE ") + answer);
    });
}

void Installer::checkAccess()
{
    runAndWait(finderProbeScript(), nullptr, [this](const ScriptOutcome &outcome) {
        if (outcome.errorInfo) {
            m_settings.setAccessType(FinderAccess::unknown);
            printDiagnostic(QStringLiteral("Error: ") + *outcome.errorInfo);
            return;
        }
        if (!outcome.result)
            return;
        m_settings.setAccessType(
            FinderAccessInfo::fromRawValue(*outcome.result).value_or(FinderAccess::unknown));
        if (m_settings.accessType() == FinderAccess::allowed) {
            installSelectedProducts();
            m_settings.setShowFinderAlert(false);
        } else {
            m_settings.setShowFinderAlert(true);
        }
    });
}

void Installer::runAndWait(const QString &script, const std::shared_ptr<Run> &run,
                           std::function<void(const ScriptOutcome &)> handler,
                           const QStringList &forget)
{
    // One run at a time: a timer firing during the wait must not start another.
    if (m_running)
        return;
    m_running = true;
    // Copied here, on the main thread: the job must not read the installer.
    ScriptExecutor executor = scriptExecutor();
    ScriptHooks hooks;
    if (run) {
        QPointer<Installer> target(this);
        hooks = run->hooks([target](int number, int total, const QString &product) {
            QMetaObject::invokeMethod(
                target.data(),
                [target, number, total, product] {
                    if (target)
                        emit target->progressChanged(number, total, product);
                },
                Qt::QueuedConnection);
        });
        hooks.userJournalFolder = m_heldUserStore;
        hooks.userSettleHook = userReceiptsHook(run, forget);
    }
    auto finished = std::make_shared<std::latch>(1);
    auto outcome = std::make_shared<ScriptOutcome>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    QThreadPool::globalInstance()->start(
        [finished, outcome, waiting, script, hooks, executor = std::move(executor)] {
            *outcome = executor(script, hooks);
            // The loop lives until the count goes down: post to it first.
            QMetaObject::invokeMethod(waiting.data(), &QEventLoop::quit, Qt::QueuedConnection);
            finished->count_down();
        });

    emit scriptWaitStarted();
    {
        const InputHold hold(m_inputAllowed);
        loop.exec();
    }
    // Should the loop have been ended from elsewhere, the run still ends first.
    finished->wait();
    if (run && !m_storeNotice.isEmpty())
        outcome->notices.prepend(std::exchange(m_storeNotice, QString()));
    // Kept with the user's transaction; where there was none, as it stands,
    // and an uninstall's receipts go only when its changes were kept.
    if (run && !run->userSideSettled())
        userReceiptsHook(run, outcome->changesKept ? forget : QStringList())(!Run::undone(*outcome),
                                                                             {});
    const QString unrecorded = run ? run->userSideUnrecorded() : QString();
    m_running = false;
    emit scriptWaitFinished();
    if (!outcome->created)
        return;
    // Applied after this returns, on the next turn of the loop, as before.
    QPointer<Installer> target(this);
    QMetaObject::invokeMethod(
        this,
        [target, outcome, unrecorded, handler = std::move(handler)] {
            if (!target)
                return;
            target->m_unrecorded = unrecorded;
            handler(*outcome);
            target->m_unrecorded.clear();
        },
        Qt::QueuedConnection);
}

SettleHook Installer::userReceiptsHook(const std::shared_ptr<Run> &run,
                                       const QStringList &forget) const
{
    const std::optional<unsigned> owner = ownerOfNearest(Product::installLocations().lr);
    const std::optional<UserAccount> account = owner ? accountOf(*owner) : std::nullopt;
    // A copy: the hook runs on the running thread.
    return [book = m_receipts, run, user = account ? account->name : QString(),
            bundle = resourcesFolder() + QStringLiteral("/Products"),
            forget](bool keep, const JournalKeeper &keeper) mutable {
        QString problem;
        if (keep)
            book.record(*run->userSide(), user, bundle, problem, keeper);
        QString why;
        for (const QString &product : keep ? forget : QStringList()) {
            if (!book.forgetUserPart(product, why, keeper))
                problem += QStringLiteral("\nThe user's receipt could not be removed: ") + why;
        }
        run->settleUserSide(problem.trimmed());
    };
}

QString Installer::withStaleRemoved(const QString &script, const QStringList &elements)
{
    QStringList products;
    QHash<QString, QString> bundleElements; // where each element is installed -> the bundle's
    const QString app = Product::installLocations().app;
    for (const QString &element : elements) {
        products << ProductNames::nameOf(element.left(element.lastIndexOf(QLatin1Char('/'))));
        bundleElements.insert(app + ProductNames::nameOf(element), element);
    }
    QList<InstalledProduct> installed = m_receipts.load();
    const QList<InstalledProduct> all = installed;
    installed.removeIf(
        [&products](const InstalledProduct &p) { return !products.contains(p.name); });
    const QString lines = UninstallComposer::staleLines(
        installed, script, UninstallComposer::othersThan(all, installed), bundleElements);
    const qsizetype ending = script.lastIndexOf(QLatin1String("\non error errMsg"));
    if (lines.isEmpty() || ending < 0)
        return script;
    return QString(script).insert(ending + 1, lines);
}

void Installer::uninstall(const QList<InstalledProduct> &chosen, bool force)
{
    if (const QString problem = undoInterruptedRun(); !problem.isEmpty()) {
        emit uninstallFinished(RunEnd::failed, problem + QStringLiteral(" Nothing was removed."),
                               {});
        return;
    }
    // The receipts as they are now: an undone run may have put entries back.
    const QList<InstalledProduct> installed = m_receipts.load();
    QList<InstalledProduct> products = chosen;
    for (InstalledProduct &product : products) {
        for (const InstalledProduct &now : installed) {
            if (now.name == product.name)
                product = now;
        }
    }
    QString storeProblem;
    const std::optional<helper::StoreLock> userStore = holdUserStore(storeProblem);
    if (!storeProblem.isEmpty()) {
        emit uninstallFinished(RunEnd::failed,
                               storeProblem + QStringLiteral(" Nothing was removed."), {});
        return;
    }
    const UninstallComposer::Composed composed =
        UninstallComposer::compose(products, m_receipts.systemFolder(), force,
                                   UninstallComposer::othersThan(installed, products));
    startLog(composed.script);
    if (m_ownStop)
        m_stop->store(false);
    auto run = std::make_shared<Run>(Run::Kind::uninstall, composed.steps,
                                     std::exchange(m_log, nullptr), m_elementProducts, m_stop);
    m_uninstalling = true;
    QStringList forget; // the user parts whose receipts go with the run
    for (const InstalledProduct &product : products) {
        if (product.user)
            forget << product.name;
    }
    runAndWait(
        composed.script, run,
        [this, composed, run](const ScriptOutcome &outcome) {
            const QString answer = outcome.result || outcome.errorInfo
                                       ? run->answer(outcome)
                                       : QStringLiteral("No answer.");
            m_lastRunUndone = Run::undone(outcome);
            if (run->log())
                run->log()->finish(answer);
            for (const QString &notice : outcome.notices)
                std::fprintf(stderr, "%s\n", qPrintable(notice));
            if (outcome.result == ScriptAnswer::userCanceled) {
                emit uninstallFinished(RunEnd::canceled, answer, composed.kept);
                return;
            }
            if (answer != ScriptAnswer::ok) {
                emit uninstallFinished(RunEnd::failed, answer, composed.kept);
                return;
            }
            if (!m_unrecorded.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(m_unrecorded));
            emit uninstallFinished(RunEnd::completed, answer, composed.kept);
        },
        forget);
    m_uninstalling = false;
    m_heldUserStore.clear();
    m_receipts.tidyUserStore();
}
