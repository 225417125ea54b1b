#pragma once

// The install figures' bundle: 12 elements of the three kinds, about 300 MB
// in 3,000 files, laid out as shipped under ROOT (HelperBundle.h), and the
// wizard's interpreter with the real helper. Only for root inside bench/run's
// private mount namespace: emptying the destinations removes what is in them.

#include "engine/ScriptOutcome.h"

#include <QString>

#include <vector>

namespace bench {

struct BundleElement
{
    QString product;
    QString name;
};

const std::vector<BundleElement> &bundleElements();

// Makes the products in ROOT's resources folder once; a stamp keeps them.
bool makeInstallBundle(const QString &root);

struct TreeSize
{
    qint64 files = 0;
    qint64 bytes = 0;
};

TreeSize treeSize(const QString &folder);

// Everything an install wrote, gone, so each run starts from the same state.
bool emptyInstallDestinations();

// The interpreter as the wizard runs it, but with the real helper started
// through `env` instead of pkexec (this process is root already).
ScriptExecutor executorThroughHelper(const QString &helper);

} // namespace bench
