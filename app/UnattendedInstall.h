#pragma once

#include <QString>
#include <QStringList>

class Installer;

// An installation without a window, walked through the same state object and
// operations as the wizard: Introduction, License with the agreement,
// Products, the install confirmation, the install.
namespace UnattendedInstall {

enum class Outcome
{
    completed,
    failed,
    canceled
};

struct Result
{
    Outcome outcome = Outcome::failed;
    QStringList products; // names of the products that were installed
    QString message;      // the script's answer when it failed
};

// Runs the install through `installer`, whose products are already filled.
// The licence must have been accepted by the caller.
Result run(Installer &installer);

} // namespace UnattendedInstall
