#pragma once

#include <QString>

// The probe script: asks the file manager for the application-support folder,
// answering 1 when it may be automated and 0 when it may not.
const QString &finderProbeScript();
