#include "app/UnattendedInstall.h"

#include "core/AppSettings.h"
#include "engine/ScriptJob.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

#include <memory>
#include <optional>

namespace {

QStringList selectedProductNames(const ProductMap &products)
{
    QStringList names;
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        if (it.value())
            names.append(QFileInfo(it.key()).fileName());
    }
    return names;
}

} // namespace

UnattendedInstall::Result UnattendedInstall::run(AppSettings &settings)
{
    // Watch what the script really answered, so that a dismissed
    // authentication is told apart from a script that could not run at all.
    ScriptExecutor inner = settings.scriptExecutor();
    if (!inner)
        inner = defaultScriptExecutor();
    auto seen = std::make_shared<std::optional<ScriptOutcome>>();
    settings.setScriptExecutor([inner, seen](const QString &script) {
        ScriptOutcome outcome = inner(script);
        *seen = outcome;
        return outcome;
    });

    // The page flow, as the window's buttons would drive it.
    settings.nextAction(); // Introduction -> License
    settings.nextAction(); // raises the agreement on License
    if (settings.showLicenseAlert())
        settings.agreeWithLicense();
    settings.nextAction(); // the install confirmation on Products
    settings.setShowPermanentlyAlert(false);
    settings.installSelectedProducts();

    // The job posted its outcome before the pool went idle; one pass of the
    // event queue applies it on this thread, as the window's loop would.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();

    Result result;
    const ScriptOutcome outcome = seen->value_or(ScriptOutcome{false, {}, {}});
    if (settings.currentPage() == Page::summary && !settings.completedWithErrors()) {
        result.outcome = Outcome::completed;
        result.products = selectedProductNames(settings.products());
    } else if (settings.currentPage() == Page::summary) {
        result.message = settings.logDetailsStr();
    } else if (outcome.result == QStringLiteral("User canceled.")) {
        result.outcome = Outcome::canceled;
    } else if (outcome.errorInfo) {
        result.message = *outcome.errorInfo;
    } else {
        result.message = QStringLiteral("The install script could not be run.");
    }
    return result;
}
