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

QStringList Installer::elementsToCopy() const
{
    QStringList elements;
    const ProductMap &products = m_settings.products();
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        if (!it.value())
            continue;
        const FolderListing listing = listSubfolders(it.key());
        if (!listing.ok) {
            printDiagnostic(QStringLiteral("Fail__ ") + listing.error);
            continue;
        }
        // The listing gives plain paths without a trailing "/".
        elements.append(listing.subfolders);
    }
    return elements;
}

QString Installer::composeInstallScript() const
{
    return InstallScriptComposer::compose(elementsToCopy(), Product::installLocations(),
                                          ShellDialect::gnu);
}

void Installer::installSelectedProducts()
{
    const QString script = composeInstallScript();
    printDiagnostic(QStringLiteral("SCRIPT -- ") + script);
    performScript(script);
}

void Installer::performScript(const QString &script)
{
    runAndWait(script, [this](const ScriptOutcome &outcome) {
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
