#include "engine/Installer.h"

#include "core/Diagnostics.h"
#include "engine/FinderProbe.h"
#include "engine/FolderListing.h"
#include "engine/InstallScriptComposer.h"
#include "engine/InterpreterExecutor.h"
#include "engine/Product.h"
#include "engine/Resources.h"
#include "script/ScriptAnswer.h"

#include <QPointer>
#include <QThreadPool>

#include <latch>
#include <memory>

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

Installer::Plan Installer::plan() const
{
    Plan plan;
    const ProductMap &products = m_settings.products();
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        if (!it.value())
            continue;
        const FolderListing listing = listSubfolders(it.key());
        if (!listing.ok) {
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
    const QString script = InstallScriptComposer::compose(
        planned.elements, Product::installLocations(), ShellDialect::gnu);
    printDiagnostic(QStringLiteral("SCRIPT -- ") + script);
    m_unreadable = planned.unreadable;
    performScript(script);
    m_unreadable.clear();
}

void Installer::failWithoutRunning(const QString &message)
{
    m_settings.setCompletedWithErrors(true);
    m_settings.setLogDetailsStr(message);
    m_settings.setCurrentPage(Page::summary);
}

void Installer::performScript(const QString &script)
{
    // What the run left out is part of its answer, applied with it.
    const QStringList unreadable = m_unreadable;
    runAndWait(script, [this, unreadable](const ScriptOutcome &outcome) {
        if (outcome.errorInfo) {
            printDiagnostic(QStringLiteral("Error: ") + *outcome.errorInfo);
            m_settings.setCompletedWithErrors(true);
        }
        if (!outcome.result)
            return;
        const QString &answer = *outcome.result;
        if (answer == ScriptAnswer::userCanceled)
            return;
        if (answer != ScriptAnswer::ok) {
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
    runAndWait(finderProbeScript(), [this](const ScriptOutcome &outcome) {
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

void Installer::runAndWait(const QString &script,
                           std::function<void(const ScriptOutcome &)> handler)
{
    // Copied here, on the main thread: the job must not read the installer.
    ScriptExecutor executor = scriptExecutor();
    auto done = std::make_shared<std::latch>(1);
    QPointer<Installer> target(this);
    QThreadPool::globalInstance()->start(
        [done, target, script, executor = std::move(executor), handler = std::move(handler)] {
            const ScriptOutcome outcome = executor(script);
            done->count_down();
            if (!outcome.created)
                return;
            QMetaObject::invokeMethod(
                target.data(),
                [target, outcome, handler] {
                    if (target)
                        handler(outcome);
                },
                Qt::QueuedConnection);
        });

    emit scriptWaitStarted();
    done->wait();
    emit scriptWaitFinished();
}
