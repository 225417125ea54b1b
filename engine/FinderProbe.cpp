// The operation of AppSettings that asks whether the file manager may be automated.
#include "engine/FinderProbe.h"

#include "core/AppSettings.h"
#include "core/Diagnostics.h"
#include "engine/ScriptJob.h"

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
