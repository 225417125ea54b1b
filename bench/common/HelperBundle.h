#pragma once

// A bundle laid out as it ships, for the benchmarks that start the privileged
// helper: the helper serves only the Products folder of its own bundle, found
// from where its executable lies, so it is copied into a scratch bundle.
//
//   ROOT/usr/libexec/quorvantic-installer/quorvantic-helper   (the built one, copied)
//   ROOT/usr/share/quorvantic-installer/Products/             (the resources folder's)

#include <QString>

namespace bench {

// ROOT/usr/share/quorvantic-installer: what the installer takes as its resources folder.
QString bundleResources(const QString &root);

// Copies `builtHelper` into ROOT's libexec folder, replacing an older copy (the
// helper may have been rebuilt since), and makes the Products folder if it is
// missing. Returns the copy's path, or an empty string when it failed.
QString placeHelper(const QString &root, const QString &builtHelper);

} // namespace bench
