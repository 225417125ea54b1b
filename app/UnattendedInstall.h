#pragma once

#include <QString>
#include <QStringList>

class AppSettings;

// An installation without a window, walked through the same state object and
// operations as the wizard: Introduction, License with the agreement,
// Products, the install confirmation, the install.
class UnattendedInstall
{
public:
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

    // Runs the install on `settings`, whose products are already filled. The
    // license must have been accepted by the caller.
    static Result run(AppSettings &settings);
};
