#pragma once

#include <QString>

// The bundle's resources folder, "../share/quorvantic-installer" from the
// executable's folder, in the build tree as in an installed bundle. Empty
// when there is no application object to ask.
QString bundleResourcesFolder();

// The privileged helper's folder, "../libexec/quorvantic-installer".
QString bundleLibexecFolder();
