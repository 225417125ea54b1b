// The operation of AppSettings that asks whether the file manager may be automated.
#include "engine/FinderProbe.h"

#include "core/AppSettings.h"
#include "core/Diagnostics.h"
#include "engine/ScriptJob.h"

const QString &finderProbeScript()
{
    static const QString script =
        QStringLiteral("            try\n"
                       "            tell application \"Finder\"\n"
                       "            set pathAppSupp to path to application support\n"
                       "            return 1\n"
                       "            end tell\n"
                       "            on error errMsg\n"
                       "            return 0\n"
                       "            end try");
    return script;
}

void AppSettings::checkAccess()
{
    runScriptAndWait(*this, finderProbeScript(), [this](const ScriptOutcome &outcome) {
        if (outcome.errorInfo) {
            setAccessType(FinderAccess::unknown);
            printDiagnostic(QStringLiteral("Error: ") + *outcome.errorInfo);
            return;
        }
        if (!outcome.result)
            return;
        setAccessType(
            FinderAccessInfo::fromRawValue(*outcome.result).value_or(FinderAccess::unknown));
        if (m_accessType == FinderAccess::allowed) {
            installSelectedProducts();
            setShowFinderAlert(false);
        } else {
            setShowFinderAlert(true);
        }
    });
}
