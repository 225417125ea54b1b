#include "app/UnattendedInstall.h"

#include "engine/Installer.h"
#include "engine/ProductNames.h"
#include "script/ScriptAnswer.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <memory>
#include <optional>

UnattendedInstall::Result UnattendedInstall::run(Installer &installer)
{
    AppSettings &settings = installer.settings();
    // Watch what the script really answered, so that a dismissed
    // authentication is told apart from a script that could not run at all.
    ScriptExecutor inner = installer.scriptExecutor();
    auto seen = std::make_shared<std::optional<ScriptOutcome>>();
    installer.setScriptExecutor([inner, seen](const QString &script, const ScriptHooks &hooks) {
        ScriptOutcome outcome = inner(script, hooks);
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
    installer.installSelectedProducts();

    // The job posted its outcome before the pool went idle; one pass of the
    // event queue applies it on this thread, as the window's loop would.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();

    Result result;
    const ScriptOutcome outcome = seen->value_or(ScriptOutcome{false, {}, {}});
    if (settings.currentPage() == Page::summary && !settings.completedWithErrors()) {
        result.outcome = Outcome::completed;
        result.products = ProductNames::selectedSorted(settings.products());
    } else if (settings.currentPage() == Page::summary) {
        result.message = settings.logDetailsStr();
    } else if (outcome.result == ScriptAnswer::userCanceled) {
        result.outcome = Outcome::canceled;
    } else if (outcome.errorInfo) {
        result.message = *outcome.errorInfo;
    } else {
        result.message = QStringLiteral("The install script could not be run.");
    }
    return result;
}
