// The operation of AppSettings that runs the install script and applies its answer.
#include "core/AppSettings.h"
#include "core/Diagnostics.h"
#include "engine/ScriptJob.h"

void AppSettings::performScript(const QString &script)
{
    runScriptAndWait(*this, script, [this](const ScriptOutcome &outcome) {
        if (outcome.errorInfo) {
            printDiagnostic(QStringLiteral("Error: ") + *outcome.errorInfo);
            setCompletedWithErrors(true);
        }
        if (!outcome.result)
            return;
        const QString &answer = *outcome.result;
        if (answer == QLatin1String("User canceled."))
            return;
        if (answer != QLatin1String("Ok")) {
            setCompletedWithErrors(true);
            setLogDetailsStr(answer);
        }
        setCurrentPage(Page::summary);
        printDiagnostic(QStringLiteral("ERROR VALUE ") + answer);
    });
}
