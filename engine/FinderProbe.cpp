// The probe's script text, apart from the operation that runs it, so the
// interpreter's tests can run the very text without the installer state.
#include "engine/FinderProbe.h"

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
